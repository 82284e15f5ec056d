// Particle systems: an emitter that spawns sprites at a fixed rate for a limited time, moves
// them under velocity, gravity, radial and tangential acceleration, changes their scale,
// rotation, colour and pattern over their life, and draws them through the canvas. One
// 136-byte parameter record (the effect file) sets everything.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace qx {

class TGfxCanvas;
class TGfxDevice;
class TGfxImage;
struct TQXIm;

struct Vec2 {
  float x = 0, y = 0;
};

// The effect file: exactly 136 bytes, little-endian.
struct TXEffectParams {
  int32_t firstPattern = 0, lastPattern = 0;
  uint32_t drawFx = 0;
  int32_t emissionRate = 0;
  float duration = 0;
  float life[2] = {0, 0};
  float direction = 0, spread = 0;
  bool relativeToMotion = false;
  float speed[2] = {0, 0}, gravity[2] = {0, 0}, radial[2] = {0, 0}, tangential[2] = {0, 0};
  float scaleStart = 0, scaleMiddle = 0, scaleEnd = 0, scaleVariation = 0;
  float angleStart = 0, angleMiddle = 0, angleEnd = 0, angleVariation = 0;
  uint32_t colorStart = 0, colorMiddle = 0, colorEnd = 0;
  float colorVariation = 0, alphaVariation = 0;
  float middleFraction = 0;
  bool newestFirst = false;
};
inline constexpr size_t kEffectRecordSize = 136;
// Reads the record from the start of `data`. A shorter file defines only the fields it
// holds; the rest stay 0. False for empty data.
bool ParseEffectRecord(std::string_view data, TXEffectParams& params);

// The root's holder of the shared particle texture ("particles.bmp"), and of the canvas and
// device its systems draw on (particles off the device's area are skipped; without a device
// the area is 1024 x 768).
class TXParticleManager {
 public:
  explicit TXParticleManager(TGfxCanvas* canvas, const TGfxDevice* device = nullptr)
      : canvas_(canvas), device_(device) {}
  TGfxCanvas* Canvas() const { return canvas_; }
  const TGfxDevice* Device() const { return device_; }
  // The texture's cache entry; the picture itself may come and go with screen changes.
  void SetImage(TQXIm* entry) { image_ = entry; }
  TGfxImage* Image() const;

 private:
  TGfxCanvas* canvas_;
  const TGfxDevice* device_;
  TQXIm* image_ = nullptr;
};

// A positioned object.
class TXObject {
 public:
  virtual ~TXObject() = default;
  virtual void Advance(float dt) = 0;
  void HeadTo(float x, float y);
  Vec2 position;
  float heading = 0;
};

class TXParticleSystem : public TXObject {
 public:
  struct Particle {
    float frame = 0, frameRate = 0;
    Vec2 position, centreOffset, velocity;
    float gravity = 0, radial = 0, tangential = 0;
    float angle = 0, angleRate = 0;
    float scale = 0, scaleRate = 0;
    float color[4] = {0, 0, 0, 0};  // red, green, blue, alpha
    float colorRate[4] = {0, 0, 0, 0};
    float age = 0, middleTime = 0, life = 0;
  };

  TXParticleSystem(int capacity, const TXParticleManager* manager);

  bool LoadFromData(std::string_view data) { return ParseEffectRecord(data, params_); }
  TXEffectParams& Params() { return params_; }

  void AddEmissionPoint(Vec2 offset) { emitters_.push_back(offset); }
  void ClearEmissionPoints() { emitters_.clear(); }
  void StartEmission();
  // Emission ends; with `clear` every particle vanishes at once.
  void StopEmission(bool clear);
  void ShiftBy(Vec2 delta, bool rigid);
  void PlaceAt(Vec2 point, bool rigid) { ShiftBy({point.x - position.x, point.y - position.y}, rigid); }
  void RestartAt(Vec2 point);
  void Advance(float dt) override;
  void Draw(TGfxCanvas& canvas, float dx, float dy, uint32_t mask) const;

  float EmissionClock() const { return clock_; }
  int Count() const { return count_; }
  const Particle& At(int i) const { return particles_[static_cast<size_t>(i)]; }

 private:
  void Spawn();

  const TXParticleManager* manager_;
  std::vector<Particle> particles_;  // capacity records; live ones first
  int count_ = 0;
  TXEffectParams params_;
  std::vector<Vec2> emitters_{Vec2{}};
  float clock_ = -1;
  float remainder_ = 0;
  Vec2 previous_;
};

}  // namespace qx
