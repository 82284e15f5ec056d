// TQXImList: shows image elements that live elsewhere in the tree in a grid of cells (an
// inventory panel). The hovered cell's picture grows, and a click goes to its image.
#pragma once

#include <vector>

#include "scene/QXElement.h"

namespace qx {

class TQXImage;

class TQXImList : public TQXElement {
 public:
  struct Item {
    TQXImage* image = nullptr;  // not owned
    double zoom = 1.0;
  };

  explicit TQXImList(TQXElement* parent);
  const ClassInfo& Class() const override;

  void SetSizeX(int32_t v) override;
  void SetSizeY(int32_t v) override;
  int32_t GetSizeX() override { return sizeX_; }
  int32_t GetSizeY() override { return sizeY_; }
  // The list when the point is inside the grid (the hovered cell follows the point and
  // drives the hover scripts); only in the list's own layer.
  TQXElement* HitTest(int32_t layer, int32_t x, int32_t y, int32_t margin, uint8_t alphaThreshold) override;
  void Render(int32_t layer, uint32_t color, double offsetX, double offsetY, bool flag) override;
  // The zoom of every cell moves toward its goal (the list's own Process script does not run).
  void DoProcess() override;
  void DoMouseIn() override;
  void DoMouseOut() override;
  // Goes to the hovered item's image first, then to the list's own script.
  void DoMouseDown() override;
  void LoadResources() override;
  void ReloadResources() override;
  // "ELEMENTS" (the items' keys, each followed by ";") and "SELEL" (the hovered image).
  bool GetPropValue(const std::string& name, ScriptValue& value) override;
  bool SetPropValue(const std::string& name, const ScriptValue& value) override;

  int32_t RowCount() const { return rowCount_; }
  int32_t ColCount() const { return colCount_; }
  int32_t Space() const { return space_; }
  void SetRowCount(int32_t v);
  void SetColCount(int32_t v);
  void SetSpace(int32_t v);
  // The cell size, computed from the grid; writing it has no effect.
  int32_t ElWidth() const { return elWidth_; }
  int32_t ElHeight() const { return elHeight_; }
  // The first shown item index: the scroll row times ColCount.
  int32_t ScrollPos() const { return scrollRow_ * colCount_; }
  // Scrolls to the row of the item `index`, as far as the items fill the grid.
  void SetScrollPos(int32_t index);

  // Appends an item (the same image may be added twice) and scrolls to it.
  void Add(TQXImage* image);
  // Removes the first item showing `image`, or the first whose image's Id is `id` exactly;
  // a view left past the last item row comes back to the last full view.
  bool Remove(const TQXImage* image);
  bool Remove(const std::string& id);
  const std::vector<Item>& Items() const { return items_; }

  double Scale = 0.0;
  int32_t HoveredIndex = -1;

 protected:
  bool ReadField(PropField field, PropValue& value) override;
  bool WriteField(PropField field, const PropValue& value) override;

 private:
  void Layout();
  void KeepViewOnItems();
  void DrawCell(int32_t index, int32_t row, int32_t column, double offsetX, double offsetY);

  std::vector<Item> items_;
  int32_t rowCount_ = 0, colCount_ = 0, space_ = 0;
  int32_t sizeX_ = 0, sizeY_ = 0;
  int32_t elWidth_ = 0, elHeight_ = 0;
  int32_t scrollRow_ = 0;
};

}  // namespace qx
