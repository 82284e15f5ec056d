// TQXShape: a plain filled rectangle with a colour and a blend code, hit as a rectangle.
#pragma once

#include "elements/ColorWord.h"
#include "scene/QXElement.h"

namespace qx {

class TQXShape : public TQXElement, public TColorWordHolder {
 public:
  explicit TQXShape(TQXElement* parent);
  const ClassInfo& Class() const override;

  void SetSizeX(int32_t v) override { sizeX_ = v; }
  void SetSizeY(int32_t v) override { sizeY_ = v; }
  int32_t GetSizeX() override { return sizeX_; }
  int32_t GetSizeY() override { return sizeY_; }
  // A hit inside the rectangle, both ends inclusive; children are never asked.
  TQXElement* HitTest(int32_t layer, int32_t x, int32_t y, int32_t margin, uint8_t alphaThreshold) override;
  // A filled rectangle in the pass of its layer; children are never drawn.
  void Render(int32_t layer, uint32_t color, double offsetX, double offsetY, bool flag) override;

  uint32_t hxDrawFx = 1284;

 protected:
  bool ReadField(PropField field, PropValue& value) override;
  bool WriteField(PropField field, const PropValue& value) override;

 private:
  int32_t sizeX_ = 100, sizeY_ = 100;
};

}  // namespace qx
