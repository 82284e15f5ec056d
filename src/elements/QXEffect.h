// TQXEffect: places one particle system in the scene, keeps its emitter at the element's
// position and advances it once per process tick.
#pragma once

#include "scene/QXElement.h"

namespace qx {

class TQXEffect : public TQXElement {
 public:
  explicit TQXEffect(TQXElement* parent);
  const ClassInfo& Class() const override;

  // The effect's name. Loading it into a particle system arrives with the particle system.
  const std::string& EffectFN() const { return effectFN_; }
  void SetEffectFN(const std::string& name) { effectFN_ = name; }
  bool Active() const { return active_; }
  // Starting and stopping the emitter arrives with the particle system.
  void SetActive(bool on) { active_ = on; }
  // Tint of all particles (alpha is always 255).
  uint32_t hxColor() const { return color_ & 0x00FFFFFFu; }
  void SethxColor(uint32_t v) { color_ = 0xFF000000u | (v & 0x00FFFFFFu); }

  double DAnim = 0;

 protected:
  bool ReadField(PropField field, PropValue& value) override;
  bool WriteField(PropField field, const PropValue& value) override;

 private:
  std::string effectFN_;
  bool active_ = false;
  uint32_t color_ = 0xFFFFFFFFu;
};

}  // namespace qx
