#include "runtime/ParticleSystem.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include "base/Random.h"
#include "base/Rounding.h"
#include "render/GfxCanvas.h"
#include "render/GfxDevice.h"
#include "resources/GfxImage.h"
#include "runtime/MediaCache.h"

namespace qx {
namespace {

constexpr float kAccelerationScale = 10.0f;

// A uniform value in [min(a, b), max(a, b)) from the runtime's generator.
float Between(float a, float b) {
  const float lo = std::min(a, b), hi = std::max(a, b);
  const double u = std::generate_canonical<double, 53>(RandomGenerator());
  return static_cast<float>(lo + (hi - lo) * u);
}

// Rates over a span of time; a span of 0 (a life or middle fraction of 0 or 1) gives none.
float Rate(float change, float span) { return span != 0 ? change / span : 0.0f; }

float ColorChannel(uint32_t word, int channel) { return static_cast<float>((word >> (8 * channel)) & 0xFF); }

void Clamp(float color[4]) {
  for (int c = 0; c < 4; ++c) {
    // NaN too: a damaged record's infinite life gives 0/0 rates, and a colour must stay a number.
    if (!(color[c] >= 0)) color[c] = 0;
    if (c < 3 && color[c] > 255) color[c] = 255;
  }
  if (color[3] > 255) color[3] = 254;  // alpha is held just below full
}

class Record {
 public:
  explicit Record(std::string_view data) : data_(data) {}
  int32_t Int(size_t at) const {
    uint32_t u = 0;
    for (int i = 3; i >= 0; --i) u = (u << 8) | Byte(at + static_cast<size_t>(i));
    return static_cast<int32_t>(u);
  }
  float Float(size_t at) const {
    const uint32_t u = static_cast<uint32_t>(Int(at));
    float f;
    std::memcpy(&f, &u, 4);
    return f;
  }
  uint8_t Byte(size_t at) const { return at < data_.size() ? static_cast<uint8_t>(data_[at]) : 0; }

 private:
  std::string_view data_;
};

}  // namespace

bool ParseEffectRecord(std::string_view data, TXEffectParams& p) {
  if (data.empty()) return false;
  const Record r(data.substr(0, std::min(data.size(), kEffectRecordSize)));
  p.firstPattern = r.Int(0);
  p.lastPattern = r.Int(4);
  p.drawFx = static_cast<uint32_t>(r.Int(12));
  p.emissionRate = r.Int(16);
  p.duration = r.Float(20);
  p.life[0] = r.Float(24), p.life[1] = r.Float(28);
  p.direction = r.Float(32);
  p.spread = r.Float(36);
  p.relativeToMotion = r.Byte(40) != 0;
  p.speed[0] = r.Float(44), p.speed[1] = r.Float(48);
  p.gravity[0] = r.Float(52), p.gravity[1] = r.Float(56);
  p.radial[0] = r.Float(60), p.radial[1] = r.Float(64);
  p.tangential[0] = r.Float(68), p.tangential[1] = r.Float(72);
  p.scaleStart = r.Float(76), p.scaleMiddle = r.Float(80), p.scaleEnd = r.Float(84), p.scaleVariation = r.Float(88);
  p.angleStart = r.Float(92), p.angleMiddle = r.Float(96), p.angleEnd = r.Float(100), p.angleVariation = r.Float(104);
  p.colorStart = static_cast<uint32_t>(r.Int(108));
  p.colorMiddle = static_cast<uint32_t>(r.Int(112));
  p.colorEnd = static_cast<uint32_t>(r.Int(116));
  p.colorVariation = r.Float(120);
  p.alphaVariation = r.Float(124);
  p.middleFraction = r.Float(128);
  p.newestFirst = r.Byte(132) != 0;
  return true;
}

TGfxImage* TXParticleManager::Image() const { return image_ ? image_->Image : nullptr; }

void TXObject::HeadTo(float x, float y) { heading = std::atan2(y - position.y, x - position.x); }

TXParticleSystem::TXParticleSystem(int capacity, const TXParticleManager* manager)
    : manager_(manager), particles_(static_cast<size_t>(std::max(0, capacity))) {}

void TXParticleSystem::StartEmission() {
  if (emitters_.empty()) return;
  clock_ = params_.duration > 0 ? 0.0f : -1.0f;
}

void TXParticleSystem::StopEmission(bool clear) {
  clock_ = -1;
  if (clear) count_ = 0;
}

void TXParticleSystem::ShiftBy(Vec2 delta, bool rigid) {
  if (rigid) {
    for (int i = 0; i < count_; ++i) {
      particles_[static_cast<size_t>(i)].position.x += delta.x;
      particles_[static_cast<size_t>(i)].position.y += delta.y;
    }
    previous_.x += delta.x;
    previous_.y += delta.y;
  } else if (clock_ >= 0) {
    previous_ = position;  // the next spawns spread along the move
  } else {
    previous_ = {position.x + delta.x, position.y + delta.y};
  }
  position.x += delta.x;
  position.y += delta.y;
}

void TXParticleSystem::RestartAt(Vec2 point) {
  StopEmission(false);
  PlaceAt(point, false);
  StartEmission();
}

void TXParticleSystem::Spawn() {
  if (count_ >= static_cast<int>(particles_.size()) || emitters_.empty()) return;
  const TXEffectParams& p = params_;
  Particle& q = particles_[static_cast<size_t>(count_)];
  q = Particle{};
  q.life = Between(p.life[0], p.life[1]);
  q.middleTime = q.life * p.middleFraction;
  const float r = Between(0, 1);
  const Vec2& emitter = emitters_[std::uniform_int_distribution<size_t>(0, emitters_.size() - 1)(RandomGenerator())];
  q.position = {previous_.x + (position.x - previous_.x) * r + emitter.x,
                previous_.y + (position.y - previous_.y) * r + emitter.y};
  q.centreOffset = {position.x - q.position.x, position.y - q.position.y};
  float angle = Between(0, p.spread) + p.direction - p.spread / 2;
  if (p.relativeToMotion) angle += std::atan2(previous_.x - position.x, previous_.y - position.y);
  const float speed = Between(p.speed[0], p.speed[1]);
  q.velocity = {std::sin(angle) * speed, std::cos(angle) * speed};
  q.gravity = Between(p.gravity[0], p.gravity[1]);
  q.radial = Between(p.radial[0], p.radial[1]);
  q.tangential = Between(p.tangential[0], p.tangential[1]);
  q.scale = Between(p.scaleStart, p.scaleStart + (p.scaleMiddle - p.scaleStart) * p.scaleVariation);
  q.scaleRate = Rate(p.scaleMiddle - q.scale, q.middleTime);
  q.angle = Between(p.angleStart, p.angleStart + (p.angleMiddle - p.angleStart) * p.angleVariation);
  q.angleRate = Rate(p.angleMiddle - q.angle, q.middleTime);
  q.frame = static_cast<float>(p.firstPattern);
  const bool still = p.lastPattern < 0 || p.lastPattern == p.firstPattern;
  // In 64 bits: the two patterns may lie further apart than 32 bits can hold.
  const auto patterns = static_cast<float>(int64_t{p.lastPattern} - p.firstPattern);
  q.frameRate = still ? 0.0f : Rate(patterns, q.life);
  const float u = Between(0, p.colorVariation), v = Between(0, p.alphaVariation);
  for (int c = 0; c < 4; ++c) {
    const float start = ColorChannel(p.colorStart, c), middle = ColorChannel(p.colorMiddle, c);
    q.color[c] = start + (middle - start) * (c < 3 ? u : v);
  }
  Clamp(q.color);
  for (int c = 0; c < 4; ++c) q.colorRate[c] = Rate(ColorChannel(p.colorMiddle, c) - q.color[c], q.middleTime);
  ++count_;
}

void TXParticleSystem::Advance(float dt) {
  if (clock_ >= 0) {
    clock_ += dt;
    if (clock_ >= params_.duration) clock_ = -1;
  }
  const TXEffectParams& p = params_;
  int kept = 0;
  for (int i = 0; i < count_; ++i) {
    Particle q = particles_[static_cast<size_t>(i)];
    q.age += dt;
    if (q.age >= q.life) continue;
    const bool crossing = q.age - dt < q.middleTime && q.middleTime <= q.age;
    const Vec2 centre{position.x + q.centreOffset.x, position.y + q.centreOffset.y};
    Vec2 dir{q.position.x - centre.x, q.position.y - centre.y};
    const float length = std::sqrt(dir.x * dir.x + dir.y * dir.y);
    dir = length > 0 ? Vec2{dir.x / length, dir.y / length} : Vec2{};
    q.velocity.x += (dir.x * q.radial - dir.y * q.tangential) * kAccelerationScale * dt;
    q.velocity.y += (dir.y * q.radial + dir.x * q.tangential) * kAccelerationScale * dt;
    q.velocity.y += dt * q.gravity * kAccelerationScale;
    q.position.x += q.velocity.x * dt;
    q.position.y += q.velocity.y * dt;
    q.angle += q.angleRate * dt;
    q.scale += q.scaleRate * dt;
    q.frame += q.frameRate * dt;
    if (crossing) {
      const float rest = q.life - q.middleTime;
      q.angleRate = Rate(p.angleEnd - q.angle, rest);
      q.scaleRate = Rate(p.scaleEnd - q.scale, rest);
      for (int c = 0; c < 4; ++c) q.colorRate[c] = Rate(ColorChannel(p.colorEnd, c) - q.color[c], rest);
    }
    for (int c = 0; c < 4; ++c) q.color[c] += q.colorRate[c] * dt;
    Clamp(q.color);
    particles_[static_cast<size_t>(kept++)] = q;
  }
  count_ = kept;
  if (clock_ >= 0) {
    const float a = dt * static_cast<float>(p.emissionRate) + remainder_;
    const float n = static_cast<float>(RoundHalfEven(a));
    remainder_ = a - n;
    // No more than the free places: a huge rate (or tick) must not loop over spawns that find
    // the system full.
    const float room = static_cast<float>(particles_.size() - static_cast<size_t>(count_));
    const int spawns = n > 0 ? static_cast<int>(std::min(n, room)) : 0;
    for (int k = 0; k < spawns; ++k) Spawn();
  }
  previous_ = position;
}

void TXParticleSystem::Draw(TGfxCanvas& canvas, float dx, float dy, uint32_t mask) const {
  TGfxImage* texture = manager_ ? manager_->Image() : nullptr;
  if (count_ <= 0 || !texture) return;
  const TGfxDevice* device = manager_->Device();
  const float deviceW = device ? static_cast<float>(device->Width()) : 1024.0f;
  const float deviceH = device ? static_cast<float>(device->Height()) : 768.0f;
  const float w = static_cast<float>(texture->VisibleWidth()), h = static_cast<float>(texture->VisibleHeight());
  for (int k = 0; k < count_; ++k) {
    const Particle& q = particles_[static_cast<size_t>(params_.newestFirst ? count_ - 1 - k : k)];
    const float x = q.position.x + dx, y = q.position.y + dy;
    if (x + w * q.scale < 0 || y + h * q.scale < 0 || x - w * q.scale > deviceW || y - h * q.scale > deviceH) continue;
    uint32_t color = 0;
    for (int c = 0; c < 4; ++c) color |= static_cast<uint32_t>(RoundHalfEven(q.color[c])) << (8 * c);
    // A frame beyond the 32-bit range is held at its end; the canvas clamps it to the pictures.
    canvas.DrawImageRotated(texture, color & mask, params_.drawFx, RoundToInt32(std::trunc(q.frame)), x, y, q.scale,
                            q.angle);
  }
}

}  // namespace qx
