#include "elements/QXAnim.h"

#include "shell/RuntimeState.h"

namespace qx {

TQXAnim::TQXAnim(TQXElement* parent) : TQXElement(parent) { MousedNotVis = true; }

void TQXAnim::SetPos(int32_t v) {
  pos_ = v;
  if (v >= frameCount_) pos_ = Rep ? 0 : frameCount_ - 1;
}

void TQXAnim::BuildFrames() {
  if (Runtime().FileLoading) return;
  frameCount_ = 0;
  SetPos(pos_);
}

bool TQXAnim::ReadField(PropField field, PropValue& v) {
  switch (field) {
    case PropField::ImBack: v.s = imBack_; return true;
    case PropField::hxDrawFx: v.i = hxDrawFx; return true;
    case PropField::Agro: v.i = Agro; return true;
    case PropField::Modal: v.i = Modal; return true;
    case PropField::Pos: v.i = pos_; return true;
    case PropField::Morph: v.i = Morph; return true;
    case PropField::Rep: v.i = Rep; return true;
    case PropField::ShowAn: v.i = ShowAn; return true;
    case PropField::Active: v.i = Active; return true;
    case PropField::Angle: v.d = Angle; return true;
    case PropField::Interpol: v.i = Interpol; return true;
    default: return TQXElement::ReadField(field, v);
  }
}

bool TQXAnim::WriteField(PropField field, const PropValue& v) {
  switch (field) {
    case PropField::ImBack: SetImBack(v.s); return true;
    case PropField::hxDrawFx: hxDrawFx = static_cast<uint32_t>(v.i); return true;
    case PropField::Agro: Agro = static_cast<int32_t>(v.i); return true;
    case PropField::Modal: Modal = v.i != 0; return true;
    case PropField::Pos: SetPos(static_cast<int32_t>(v.i)); return true;
    case PropField::Morph:
      Morph = v.i != 0;
      BuildFrames();
      return true;
    case PropField::Rep: Rep = v.i != 0; return true;
    case PropField::ShowAn: ShowAn = v.i != 0; return true;
    case PropField::Active: Active = v.i != 0; return true;
    case PropField::Angle: Angle = v.d; return true;
    case PropField::Interpol: Interpol = v.i != 0; return true;
    default: return TQXElement::WriteField(field, v);
  }
}

}  // namespace qx
