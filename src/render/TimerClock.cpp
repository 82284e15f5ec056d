#include "render/TimerClock.h"

#include <chrono>
#include <thread>

namespace qx {

int64_t SteadyTimerClock::Now() {
  const int64_t ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                         std::chrono::steady_clock::now().time_since_epoch())
                         .count();
  // Split to keep ns x 2^20 from overflowing.
  return (ns / 1000000) * kFixedMs + ((ns % 1000000) * kFixedMs) / 1000000;
}

void SteadyTimerClock::SleepMs(int ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace qx
