// TQXImList: shows image elements that live elsewhere in the tree in a grid of cells (an
// inventory panel).
#pragma once

#include "scene/QXElement.h"

namespace qx {

class TQXImList : public TQXElement {
 public:
  explicit TQXImList(TQXElement* parent);
  const ClassInfo& Class() const override;

  void SetSizeX(int32_t v) override;
  void SetSizeY(int32_t v) override;
  int32_t GetSizeX() override { return sizeX_; }
  int32_t GetSizeY() override { return sizeY_; }

  int32_t RowCount() const { return rowCount_; }
  int32_t ColCount() const { return colCount_; }
  int32_t Space() const { return space_; }
  void SetRowCount(int32_t v);
  void SetColCount(int32_t v);
  void SetSpace(int32_t v);
  // The cell size, computed from the grid; writing it has no effect.
  int32_t ElWidth() const { return elWidth_; }
  int32_t ElHeight() const { return elHeight_; }
  // First shown item index: scroll row x ColCount.
  int32_t ScrollPos() const { return scrollRow_ * colCount_; }
  // Scrolling arrives with the image list's behaviour; the grid does not scroll yet.
  void SetScrollPos(int32_t) {}

  double Scale = 0.0;
  int32_t HoveredIndex = -1;

 protected:
  bool ReadField(PropField field, PropValue& value) override;
  bool WriteField(PropField field, const PropValue& value) override;

 private:
  void Layout();
  int32_t rowCount_ = 0, colCount_ = 0, space_ = 0;
  int32_t sizeX_ = 0, sizeY_ = 0;
  int32_t elWidth_ = 0, elHeight_ = 0;
  int32_t scrollRow_ = 0;
};

}  // namespace qx
