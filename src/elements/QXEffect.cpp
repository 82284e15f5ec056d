#include "elements/QXEffect.h"

#include <cmath>

#include "render/GfxCanvas.h"
#include "render/GfxTimer.h"
#include "resources/GameFs.h"
#include "resources/ResArchive.h"
#include "scene/QXDB.h"

namespace qx {
namespace {
constexpr int kEffectCapacity = 5000;

double TicksPerSecond(const TQXElement& e) {
  const TGfxTimer* timer = e.Root() ? e.Root()->Services().timer : nullptr;
  return timer ? timer->Speed() : 30.0;
}
}  // namespace

const ClassInfo& TQXEffect::Class() const { return ClassEntry(ClassId::Effect); }

TQXEffect::TQXEffect(TQXElement* parent) : TQXElement(parent) { SetVis(true); }

TQXEffect::~TQXEffect() = default;

void TQXEffect::SetEffectFN(const std::string& name) {
  effectFN_ = name;
  TXParticleManager* manager = Root() ? Root()->Particles() : nullptr;
  if (!manager) return;
  system_ = std::make_unique<TXParticleSystem>(kEffectCapacity, manager);
  // The file in the game folder, else the archive's record; neither leaves the parameters
  // empty, and such an effect never emits.
  std::vector<uint8_t> data;
  if (ReadGameFile(Root()->Files(), Root()->Services().archive, name, data)) {
    system_->LoadFromData(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
  }
  system_->PlaceAt({static_cast<float>(X()), static_cast<float>(Y())}, false);
  if (active_) system_->StartEmission();
}

void TQXEffect::SetActive(bool on) {
  active_ = on;
  if (!system_) return;
  if (on) system_->StartEmission();
  else system_->StopEmission(false);
}

void TQXEffect::SetX(int32_t v) {
  TQXElement::SetX(v);
  if (system_) system_->PlaceAt({static_cast<float>(X()), static_cast<float>(Y())}, false);
}

void TQXEffect::SetY(int32_t v) {
  TQXElement::SetY(v);
  if (system_) system_->PlaceAt({static_cast<float>(X()), static_cast<float>(Y())}, false);
}

void TQXEffect::SetRealPos(int32_t x, int32_t y) {
  TQXElement::SetRealPos(x, y);
  if (!system_) return;
  const Vec2 to{static_cast<float>(x), static_cast<float>(y)};
  if (active_) system_->RestartAt(to);
  else system_->PlaceAt(to, false);
}

void TQXEffect::AdvanceSteps(double steps) {
  if (system_) system_->Advance(static_cast<float>(steps / TicksPerSecond(*this) * DAnim));
}

void TQXEffect::DoProcess() {
  if (system_) {
    system_->Advance(static_cast<float>(DAnim / TicksPerSecond(*this)));
    if (active_ && system_->EmissionClock() < 0 && system_->Count() == 0) SetActive(false);
  }
  TQXElement::DoProcess();
}

void TQXEffect::Render(int32_t layer, uint32_t color, double offsetX, double offsetY, bool flag) {
  TQXElement::Render(layer, color, offsetX, offsetY, flag);
  TGfxCanvas* canvas = Canvas();
  if (layer != Order() || !system_ || !canvas) return;
  canvas->SetAntialias(true);
  // Particles live in the parent's space: the element's own position is not added.
  system_->Draw(*canvas, static_cast<float>(RoundHalfEven(offsetX)), static_cast<float>(RoundHalfEven(offsetY)),
                color_);
}

bool TQXEffect::ReadField(PropField field, PropValue& v) {
  switch (field) {
    case PropField::EffectFN: v.s = effectFN_; return true;
    case PropField::DAnim: v.d = DAnim; return true;
    case PropField::Active: v.i = active_; return true;
    case PropField::hxColor: v.i = hxColor(); return true;
    default: return TQXElement::ReadField(field, v);
  }
}

bool TQXEffect::WriteField(PropField field, const PropValue& v) {
  switch (field) {
    case PropField::EffectFN: SetEffectFN(v.s); return true;
    case PropField::DAnim: DAnim = v.d; return true;
    case PropField::Active: SetActive(v.i != 0); return true;
    case PropField::hxColor: SethxColor(static_cast<uint32_t>(v.i)); return true;
    default: return TQXElement::WriteField(field, v);
  }
}

}  // namespace qx
