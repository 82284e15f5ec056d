#include "elements/QXExAnim.h"

#include "elements/QXAnim.h"
#include "scene/QXDB.h"

namespace qx {

TQXExAnim::TQXExAnim(TQXElement* parent) : TQXElement(parent) {}

TQXAnim* TQXExAnim::Target() {
  if (!target_ && Root()) target_ = static_cast<TQXAnim*>(Root()->FindTopLevel(obAnim_, "TQXAnim"));
  return target_;
}

void TQXExAnim::SetPos(int32_t v) {
  pos_ = v;
  if (TQXAnim* target = Target(); target && v >= target->FrameCount()) {
    pos_ = Rep ? 0 : target->FrameCount() - 1;
  }
}

bool TQXExAnim::ReadField(PropField field, PropValue& v) {
  switch (field) {
    case PropField::PosHor: v.i = PosHor; return true;
    case PropField::PosVert: v.i = PosVert; return true;
    case PropField::obAnim: v.i = obAnim_; return true;
    case PropField::Pos: v.i = pos_; return true;
    case PropField::Rep: v.i = Rep; return true;
    case PropField::Active: v.i = Active; return true;
    default: return TQXElement::ReadField(field, v);
  }
}

bool TQXExAnim::WriteField(PropField field, const PropValue& v) {
  switch (field) {
    case PropField::PosHor: PosHor = static_cast<TQXPosHor>(v.i); return true;
    case PropField::PosVert: PosVert = static_cast<TQXPosVert>(v.i); return true;
    case PropField::obAnim: SetobAnim(static_cast<int32_t>(v.i)); return true;
    case PropField::Pos: SetPos(static_cast<int32_t>(v.i)); return true;
    case PropField::Rep: Rep = v.i != 0; return true;
    case PropField::Active: Active = v.i != 0; return true;
    default: return TQXElement::WriteField(field, v);
  }
}

}  // namespace qx
