#include "elements/QXShape.h"

#include "elements/Placement.h"
#include "render/GfxCanvas.h"
#include "scene/QXDB.h"

namespace qx {

const ClassInfo& TQXShape::Class() const { return ClassEntry(ClassId::Shape); }

TQXShape::TQXShape(TQXElement* parent) : TQXElement(parent) {}

TQXElement* TQXShape::HitTest(int32_t layer, int32_t x, int32_t y, int32_t, uint8_t) {
  return BoxHit(*this, layer, x, y, sizeX_, sizeY_);
}

void TQXShape::Render(int32_t layer, uint32_t, double offsetX, double offsetY, bool) {
  TGfxCanvas* canvas = Canvas();
  if (layer != Order() || !canvas) return;
  canvas->FillRect(RoundToInt32(offsetX + rX), RoundToInt32(offsetY + rY), sizeX_, sizeY_, color_, hxDrawFx);
}

bool TQXShape::ReadField(PropField field, PropValue& v) {
  switch (field) {
    case PropField::hxDrawFx: v.i = hxDrawFx; return true;
    case PropField::hxColor: v.i = hxColor(); return true;
    case PropField::hxTrans: v.i = hxTrans(); return true;
    default: return TQXElement::ReadField(field, v);
  }
}

bool TQXShape::WriteField(PropField field, const PropValue& v) {
  switch (field) {
    case PropField::hxDrawFx: hxDrawFx = static_cast<uint32_t>(v.i); return true;
    case PropField::hxColor: SethxColor(static_cast<uint32_t>(v.i)); return true;
    case PropField::hxTrans: SethxTrans(static_cast<uint8_t>(v.i)); return true;
    default: return TQXElement::WriteField(field, v);
  }
}

}  // namespace qx
