// TQXEffect: places one particle system in the scene, keeps its emitter at the element's
// position, advances it once per process tick and draws it in a tint.
#pragma once

#include <memory>

#include "runtime/ParticleSystem.h"
#include "scene/QXElement.h"

namespace qx {

class TQXEffect : public TQXElement {
 public:
  explicit TQXEffect(TQXElement* parent);
  ~TQXEffect() override;
  const ClassInfo& Class() const override;

  // Moving the element moves the emitter; a real-position move of a running effect
  // restarts its emission there.
  void SetX(int32_t v) override;
  void SetY(int32_t v) override;
  void SetRealPos(int32_t x, int32_t y) override;
  void Render(int32_t layer, uint32_t color, double offsetX, double offsetY, bool flag) override;
  void DoProcess() override;

  // The effect's name: a file of the game folder or a record of the archive. Writing it
  // makes a new particle system (when the game has a particle manager).
  const std::string& EffectFN() const { return effectFN_; }
  void SetEffectFN(const std::string& name);
  bool Active() const { return active_; }
  // Starts or stops the emitter (live particles finish their lives).
  void SetActive(bool on);
  // Tint of all particles (alpha is always 255).
  uint32_t hxColor() const { return color_ & 0x00FFFFFFu; }
  void SethxColor(uint32_t v) { color_ = 0xFF000000u | (v & 0x00FFFFFFu); }
  TXParticleSystem* System() const { return system_.get(); }
  // Advances the system by `steps` process ticks' worth of time at once (ProcEf).
  void AdvanceSteps(double steps);

  double DAnim = 0;

 protected:
  bool ReadField(PropField field, PropValue& value) override;
  bool WriteField(PropField field, const PropValue& value) override;

 private:
  std::string effectFN_;
  bool active_ = false;
  uint32_t color_ = 0xFFFFFFFFu;
  std::unique_ptr<TXParticleSystem> system_;
};

}  // namespace qx
