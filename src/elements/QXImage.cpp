#include "elements/QXImage.h"

#include <cmath>

#include "scene/QXDB.h"

namespace qx {

int32_t ToThousandths(double v) {
  const double r = RoundHalfEven(v * 1000.0);
  if (!(r > -2147483648.0)) return INT32_MIN;  // also NaN
  if (r > 2147483647.0) return INT32_MAX;
  return static_cast<int32_t>(r);
}

TQXImage::TQXImage(TQXElement* parent) : TQXElement(parent) {}

void TQXImage::SetScale(double v) { scaleMilli_ = ToThousandths(v); }
void TQXImage::SetAngle(double v) { angleMilli_ = ToThousandths(v); }

void TQXImage::SetTextId(const std::string& id) {
  textId_ = id;
  if (Root()) Root()->TranslateText(id);
}

bool TQXImage::ReadField(PropField field, PropValue& v) {
  switch (field) {
    case PropField::imImage: v.s = imImage_; return true;
    case PropField::hxDrawFx: v.i = hxDrawFx; return true;
    case PropField::PosHor: v.i = PosHor; return true;
    case PropField::PosVert: v.i = PosVert; return true;
    case PropField::Scale: v.d = Scale(); return true;
    case PropField::Angle: v.d = Angle(); return true;
    case PropField::hxColor: v.i = hxColor(); return true;
    case PropField::hxTrans: v.i = hxTrans(); return true;
    case PropField::Anim: v.i = Anim; return true;
    case PropField::ScaleX: v.d = ScaleX; return true;
    case PropField::ScaleY: v.d = ScaleY; return true;
    case PropField::Interpol: v.i = Interpol; return true;
    case PropField::InterpolSc: v.i = InterpolSc; return true;
    case PropField::TextId: v.s = textId_; return true;
    default: return TQXElement::ReadField(field, v);
  }
}

bool TQXImage::WriteField(PropField field, const PropValue& v) {
  switch (field) {
    case PropField::imImage: SetImImage(v.s); return true;
    case PropField::hxDrawFx: hxDrawFx = static_cast<uint32_t>(v.i); return true;
    case PropField::PosHor: PosHor = static_cast<TQXPosHor>(v.i); return true;
    case PropField::PosVert: PosVert = static_cast<TQXPosVert>(v.i); return true;
    case PropField::Scale: SetScale(v.d); return true;
    case PropField::Angle: SetAngle(v.d); return true;
    case PropField::hxColor: SethxColor(static_cast<uint32_t>(v.i)); return true;
    case PropField::hxTrans: SethxTrans(static_cast<uint8_t>(v.i)); return true;
    case PropField::Anim: Anim = static_cast<int32_t>(v.i); return true;
    case PropField::ScaleX: ScaleX = v.d; return true;
    case PropField::ScaleY: ScaleY = v.d; return true;
    case PropField::Interpol: Interpol = v.i != 0; return true;
    case PropField::InterpolSc: InterpolSc = v.i != 0; return true;
    case PropField::TextId: SetTextId(v.s); return true;
    default: return TQXElement::WriteField(field, v);
  }
}

}  // namespace qx
