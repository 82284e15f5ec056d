// The clock the frame timer reads and the sleep it uses, injected so that tests and
// --fixed-step runs are exact.
#pragma once

#include <cstdint>

namespace qx {

// Milliseconds in 20-bit fixed point: 1 ms = 0x100000.
inline constexpr int64_t kFixedMs = int64_t{1} << 20;

class TimerClock {
 public:
  virtual ~TimerClock() = default;
  // A monotonic reading in milliseconds x 2^20.
  virtual int64_t Now() = 0;
  virtual void SleepMs(int ms) = 0;
  // The platform has a high-resolution counter (the timer reports ppHigh).
  virtual bool HighResolution() const { return true; }
};

// The process's monotonic clock with real sleeping.
class SteadyTimerClock final : public TimerClock {
 public:
  int64_t Now() override;
  void SleepMs(int ms) override;
};

// A clock that only moves when told to; sleeping advances it. For tests.
class ManualTimerClock final : public TimerClock {
 public:
  int64_t Now() override { return now_; }
  void SleepMs(int ms) override {
    slept_ += ms;
    ++sleeps_;
    now_ += ms * kFixedMs;
  }
  void AdvanceMs(double ms) { now_ += static_cast<int64_t>(ms * kFixedMs); }
  void AdvanceFixed(int64_t fixed) { now_ += fixed; }
  int64_t sleptMs() const { return slept_; }
  int sleeps() const { return sleeps_; }

 private:
  int64_t now_ = 0;
  int64_t slept_ = 0;
  int sleeps_ = 0;
};

// --fixed-step: every reading is exactly one step later than the previous one and
// sleeping does nothing, so each frame sees one whole process tick.
class FixedStepTimerClock final : public TimerClock {
 public:
  explicit FixedStepTimerClock(int64_t step) : step_(step) {}
  int64_t Now() override { return now_ += step_; }
  void SleepMs(int) override {}

 private:
  int64_t step_;
  int64_t now_ = 0;
};

}  // namespace qx
