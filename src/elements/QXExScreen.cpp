#include "elements/QXExScreen.h"

#include "base/WrapInt.h"
#include "elements/QXScreen.h"
#include "elements/Placement.h"
#include "scene/QXDB.h"

namespace qx {

const ClassInfo& TQXExScreen::Class() const { return ClassEntry(ClassId::ExScreen); }

TQXExScreen::TQXExScreen(TQXElement* parent) : TQXElement(parent) {}

TQXScreen* TQXExScreen::Target() { return EmbeddedTarget(*this, target_, obScreen_, ClassId::Screen); }

int32_t TQXExScreen::GetSizeX() { return Target() ? Target()->GetSizeX() : 0; }
int32_t TQXExScreen::GetSizeY() { return Target() ? Target()->GetSizeY() : 0; }

int32_t TQXExScreen::GetAbsX() { return AnchoredAbsX(*this, GetSizeX(), PosHor); }
int32_t TQXExScreen::GetAbsY() { return AnchoredAbsY(*this, GetSizeY(), PosVert); }

void TQXExScreen::SetVis(bool v) {
  if (v == Vis) return;
  Vis = v;
  // DoShow forwards Show to the target, so the target is shown once on this path.
  if (v && Target()) DoShow();
}

TQXElement* TQXExScreen::HitTest(int32_t layer, int32_t x, int32_t y, int32_t margin, uint8_t alphaThreshold) {
  if (!TakesPart()) return nullptr;
  TQXElement* hit = nullptr;
  // The point is made relative to the anchored origin Render draws at, so a centred pop-up
  // answers where it is seen.
  if (TQXScreen* target = Target()) {
    const TAnchoredOrigin at = AnchoredOrigin(*this, *target, PosHor, PosVert);
    hit = target->HitTest(layer, WrapSub(x, at.left), WrapSub(y, at.top), margin, alphaThreshold);
  }
  if (!hit && layer == Order() && Modal) return this;
  return hit;
}

void TQXExScreen::Render(int32_t layer, uint32_t color, double offsetX, double offsetY, bool flag) {
  if (!ResourcesLoaded) LoadResources();
  if (TQXScreen* target = Target()) {
    const TAnchoredOrigin at = AnchoredOrigin(*this, *target, PosHor, PosVert);
    target->Render(layer, color, offsetX + at.left, offsetY + at.top, false);
  }
  TQXElement::Render(layer, color, offsetX, offsetY, flag);
}

void TQXExScreen::DoProcess() {
  if (!TakesPart()) return;
  if (TQXScreen* target = Target(); target && Processing) target->DoProcess();
  TQXElement::DoProcess();
}

void TQXExScreen::DoShow() {
  if (TQXScreen* target = Target()) target->DoShow();
  TQXElement::DoShow();
}

void TQXExScreen::DoUpdate() {
  if (TQXScreen* target = Target()) target->DoUpdate();
  TQXElement::DoUpdate();
}

void TQXExScreen::DoInit() {
  if (TQXScreen* target = Target()) target->DoInit();
  TQXElement::DoInit();
}

void TQXExScreen::DoInitPr() {
  if (TQXScreen* target = Target()) target->DoInitPr();
  TQXElement::DoInitPr();
}

void TQXExScreen::LoadResources() {
  const bool wasLoaded = ResourcesLoaded;
  TQXElement::LoadResources();
  if (!wasLoaded) {
    if (TQXScreen* target = Target()) target->LoadResources();
  }
}

void TQXExScreen::ReloadResources() {
  TQXElement::ReloadResources();
  if (TQXScreen* target = Target()) target->ReloadResources();
}

bool TQXExScreen::ReadField(PropField field, PropValue& v) {
  switch (field) {
    case PropField::PosHor: v.i = PosHor; return true;
    case PropField::PosVert: v.i = PosVert; return true;
    case PropField::obScreen: v.i = obScreen_; return true;
    case PropField::Modal: v.i = Modal; return true;
    case PropField::Processing: v.i = Processing; return true;
    default: return TQXElement::ReadField(field, v);
  }
}

bool TQXExScreen::WriteField(PropField field, const PropValue& v) {
  switch (field) {
    case PropField::PosHor: PosHor = static_cast<TQXPosHor>(v.i); return true;
    case PropField::PosVert: PosVert = static_cast<TQXPosVert>(v.i); return true;
    case PropField::obScreen: SetobScreen(static_cast<int32_t>(v.i)); return true;
    case PropField::Modal: Modal = v.i != 0; return true;
    case PropField::Processing: Processing = v.i != 0; return true;
    default: return TQXElement::WriteField(field, v);
  }
}

}  // namespace qx
