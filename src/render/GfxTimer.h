// TGfxTimer: paces the frame loop. Each idle pass raises one frame event (at most MaxFPS a
// second) and lets that frame run the whole fixed-rate process ticks (Speed a second) that
// are due, at most 32 after a stall.
#pragma once

#include <cstdint>
#include <functional>

#include "render/TimerClock.h"

namespace qx {

enum class TTimerPrecision { ppLow, ppHigh };

class TGfxTimer {
 public:
  explicit TGfxTimer(TimerClock& clock);

  double Speed() const { return speed_; }
  void SetSpeed(double ticksPerSecond);  // at least 1.0
  int MaxFPS() const { return maxFps_; }
  void SetMaxFPS(int fps);               // at least 1
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool on) { enabled_ = on; }
  TTimerPrecision Precision() const;

  std::function<void()> OnTimer;
  std::function<void()> OnProcess;

  // Re-reads the clock so that the time spent until now is not counted.
  void Reset();
  // Runs the due process ticks (called from the OnTimer handler).
  void Process();
  // One pass of the application's idle loop.
  void Idle();

  // The period of `perSecond` events in ms x 2^20, rounded (the tick period of a Speed, the
  // minimum frame time of a MaxFPS).
  static int64_t PeriodFor(double perSecond);

  // Fixed-point values, in ms x 2^20 and ticks x 2^20; exposed for tests and diagnostics.
  int64_t TickPeriod() const { return tickPeriod_; }
  int64_t MinFrameTime() const { return minFrameTime_; }
  int64_t Accumulated() const { return accumulated_; }

 private:
  TimerClock& clock_;
  double speed_ = 60.0;
  int maxFps_ = 100;
  bool enabled_ = false;
  int64_t tickPeriod_ = 0;
  int64_t minFrameTime_ = 0;
  int64_t lastReading_ = 0;
  int64_t elapsed_ = 0;
  int64_t accumulated_ = 0;
  bool processed_ = false;
};

}  // namespace qx
