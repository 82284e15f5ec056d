#include "elements/QXExAnim.h"

#include "elements/QXAnim.h"
#include "elements/Placement.h"
#include "scene/QXDB.h"

namespace qx {

const ClassInfo& TQXExAnim::Class() const { return ClassEntry(ClassId::ExAnim); }

TQXExAnim::TQXExAnim(TQXElement* parent) : TQXElement(parent) {}

TQXAnim* TQXExAnim::Target() { return EmbeddedTarget(*this, target_, obAnim_, ClassId::Anim); }

void TQXExAnim::SetPos(int32_t v) {
  pos_ = v;
  if (TQXAnim* target = Target(); target && v >= target->FrameCount()) {
    pos_ = Rep ? 0 : target->FrameCount() - 1;
  }
}

int32_t TQXExAnim::GetSizeX() { return Target() ? Target()->GetSizeX() : 0; }
int32_t TQXExAnim::GetSizeY() { return Target() ? Target()->GetSizeY() : 0; }

int32_t TQXExAnim::GetAbsX() { return AnchoredAbsX(*this, GetSizeX(), PosHor); }
int32_t TQXExAnim::GetAbsY() { return AnchoredAbsY(*this, GetSizeY(), PosVert); }

void TQXExAnim::Render(int32_t layer, uint32_t color, double offsetX, double offsetY, bool) {
  if (!ResourcesLoaded) LoadResources();
  TQXAnim* target = Target();
  if (!target || layer != Order()) return;
  const TAnchoredOrigin at = AnchoredOrigin(*this, *target, PosHor, PosVert);
  target->DrawFrame(pos_, offsetX + at.left, offsetY + at.top, color);
}

void TQXExAnim::DoProcess() {
  if (Active && pos_ >= 0) SetPos(pos_ + 1);
  TQXElement::DoProcess();
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
