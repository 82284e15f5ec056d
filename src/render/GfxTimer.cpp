#include "render/GfxTimer.h"

#include <algorithm>
#include <cmath>

namespace qx {
namespace {
constexpr int64_t kOneTick = int64_t{1} << 20;
constexpr int64_t kMaxTicksPerFrame = 32 * kOneTick;
constexpr double kPeriodScale = 1000.0 * 1048576.0;  // 1000 ms in 20-bit fixed point

}  // namespace

int64_t TGfxTimer::PeriodFor(double perSecond) {
  return static_cast<int64_t>(std::nearbyint(kPeriodScale / perSecond));
}

TGfxTimer::TGfxTimer(TimerClock& clock) : clock_(clock) {
  SetSpeed(speed_);
  SetMaxFPS(maxFps_);
  lastReading_ = clock_.Now();
}

void TGfxTimer::SetSpeed(double ticksPerSecond) {
  speed_ = std::max(1.0, ticksPerSecond);
  tickPeriod_ = PeriodFor(speed_);
}

void TGfxTimer::SetMaxFPS(int fps) {
  maxFps_ = std::max(1, fps);
  minFrameTime_ = PeriodFor(maxFps_);
}

TTimerPrecision TGfxTimer::Precision() const {
  return clock_.HighResolution() ? TTimerPrecision::ppHigh : TTimerPrecision::ppLow;
}

void TGfxTimer::Reset() { lastReading_ = clock_.Now(); }

void TGfxTimer::Idle() {
  const int64_t now = clock_.Now();
  // A clock that went backwards counts as no time at all. Long stalls do count: the cap
  // below bounds the catch-up.
  elapsed_ = std::max<int64_t>(0, now - lastReading_);
  lastReading_ = now;

  if (!enabled_) {
    clock_.SleepMs(5);
    return;
  }
  if (elapsed_ < minFrameTime_) {
    clock_.SleepMs(static_cast<int>((minFrameTime_ - elapsed_) >> 20));
    // The sleep belongs to this frame. Left to the next measurement it would let that frame
    // through at once, and frames would come in pairs, up to twice MaxFPS.
    const int64_t after = clock_.Now();
    elapsed_ += std::max<int64_t>(0, after - lastReading_);
    lastReading_ = after;
  }

  const int64_t due = std::min(elapsed_ * kOneTick / tickPeriod_, kMaxTicksPerFrame);
  if (processed_) {
    accumulated_ += due;
    processed_ = false;
  }
  if (OnTimer) OnTimer();
}

void TGfxTimer::Process() {
  processed_ = true;
  const int64_t whole = accumulated_ >> 20;
  accumulated_ &= kOneTick - 1;
  for (int64_t i = 0; i < whole; ++i) {
    if (OnProcess) OnProcess();
  }
}

}  // namespace qx
