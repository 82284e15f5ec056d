#include "elements/QXText.h"

#include "scene/QXDB.h"

namespace qx {

TQXText::TQXText(TQXElement* parent) : TQXElement(parent) {}

void TQXText::SetSizeX(int32_t v) {
  sizeX_ = v;
  Relayout();
}

void TQXText::SetText(const std::string& text) {
  text_ = (!textId_.empty() && Root()) ? Root()->TranslateText(textId_) : text;
}

void TQXText::SetTextId(const std::string& id) {
  textId_ = id;
  // An empty identifier looks up an empty text, which empties the element.
  text_ = Root() ? Root()->TranslateText(id) : std::string();
  Relayout();
}

void TQXText::SetFont(const std::string& name) {
  font_ = name;
  Relayout();
}

bool TQXText::ReadField(PropField field, PropValue& v) {
  switch (field) {
    case PropField::hxDrawFx: v.i = hxDrawFx; return true;
    case PropField::hxColor1: v.i = hxColor1(); return true;
    case PropField::hxTrans1: v.i = hxTrans1(); return true;
    case PropField::hxColor2: v.i = hxColor2(); return true;
    case PropField::hxTrans2: v.i = hxTrans2(); return true;
    case PropField::Font: v.s = font_; return true;
    case PropField::PosHor: v.i = PosHor; return true;
    case PropField::PosVert: v.i = PosVert; return true;
    case PropField::TextId: v.s = textId_; return true;
    case PropField::AutoEnter: v.i = AutoEnter; return true;
    case PropField::EnEnter: v.i = EnEnter; return true;
    case PropField::AutoScale: v.i = AutoScale; return true;
    case PropField::Interval: v.d = Interval; return true;
    case PropField::Text: v.s = text_; return true;
    case PropField::Scale: v.d = Scale; return true;
    default: return TQXElement::ReadField(field, v);
  }
}

bool TQXText::WriteField(PropField field, const PropValue& v) {
  switch (field) {
    case PropField::hxDrawFx: hxDrawFx = static_cast<uint32_t>(v.i); return true;
    case PropField::hxColor1: color1_ = WithColor(color1_, static_cast<uint32_t>(v.i)); return true;
    case PropField::hxTrans1: color1_ = WithAlpha(color1_, static_cast<uint8_t>(v.i)); return true;
    case PropField::hxColor2: color2_ = WithColor(color2_, static_cast<uint32_t>(v.i)); return true;
    case PropField::hxTrans2: color2_ = WithAlpha(color2_, static_cast<uint8_t>(v.i)); return true;
    case PropField::Font: SetFont(v.s); return true;
    case PropField::PosHor: PosHor = static_cast<TQXPosHor>(v.i); return true;
    case PropField::PosVert: PosVert = static_cast<TQXPosVert>(v.i); return true;
    case PropField::TextId: SetTextId(v.s); return true;
    case PropField::AutoEnter:
      AutoEnter = v.i != 0;
      Relayout();
      return true;
    case PropField::EnEnter:
      EnEnter = v.i != 0;
      Relayout();
      return true;
    case PropField::AutoScale:
      AutoScale = v.i != 0;
      Relayout();
      return true;
    case PropField::Interval: Interval = v.d; return true;
    case PropField::Text: SetText(v.s); return true;
    case PropField::Scale:
      Scale = v.d;
      Relayout();
      return true;
    default: return TQXElement::WriteField(field, v);
  }
}

}  // namespace qx
