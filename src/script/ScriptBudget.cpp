#include "script/ScriptBudget.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <utility>

namespace qx {
namespace {

// Steps handed out between checkpoints: small enough that a checkpoint comes round often
// even when each statement calls something slow, large enough to cost nothing per step.
constexpr uint64_t kChunk = 1024;

uint64_t gLimit = kDefaultScriptBudget;
int gRuns = 0;          // runs in progress, the outermost included
uint64_t gUsed = 0;     // steps of the outermost run before the current chunk
uint64_t gGranted = 0;  // size of the current chunk

// Set from signal handlers: it must be lock-free.
std::atomic<bool> gStop{false};
static_assert(std::atomic<bool>::is_always_lock_free);

using Clock = std::chrono::steady_clock;
constexpr Clock::duration kPollEvery = std::chrono::milliseconds(50);
std::function<void()> gPoll;
Clock::time_point gLastPoll;

// The caller's look at the world outside, when it is due.
void PollWhenDue() {
  const Clock::time_point now = Clock::now();
  if (now - gLastPoll < kPollEvery) return;
  gLastPoll = now;
  gPoll();
}

// The next chunk, with this step taken from it when `taking`.
void Grant(bool taking) {
  const uint64_t room = gLimit == 0 ? kChunk : std::min(kChunk, gLimit - gUsed);
  gGranted = room;
  detail::gStepsLeft = static_cast<int64_t>(room) - (taking ? 1 : 0);
}

}  // namespace

namespace detail {
int64_t gStepsLeft = static_cast<int64_t>(kChunk);
bool gRunHalted = false;
bool gRunStopped = false;

int gNativeCalls = 0;

void CheckpointAtNextStep() {
  gNativeCalls = 0;
  if (gStepsLeft < 0) return;  // a checkpoint comes next anyway
  gUsed += gGranted - static_cast<uint64_t>(gStepsLeft);
  gGranted = 0;
  gStepsLeft = 0;
}

Checkpoint ScriptCheckpoint() {
  gNativeCalls = 0;
  if (gRuns == 0) {
    // Evaluating outside any run (tests, tools): no budget applies.
    Grant(true);
    return Checkpoint::Go;
  }
  if (gRunHalted) return Checkpoint::Halted;
  if (gPoll) PollWhenDue();
  if (gStop.load(std::memory_order_relaxed)) {
    gRunHalted = gRunStopped = true;
    return Checkpoint::Stopped;
  }
  gUsed += gGranted;
  gGranted = 0;
  if (gLimit != 0 && gUsed >= gLimit) {
    gRunHalted = true;
    return Checkpoint::Spent;
  }
  Grant(true);
  return Checkpoint::Go;
}

void BeginScriptRun() {
  if (gRuns++ > 0) return;
  gUsed = 0;
  gRunHalted = gRunStopped = false;
  Grant(false);
  if (gPoll) gLastPoll = Clock::now();
  // Closing: the run stops at its first step.
  if (gStop.load(std::memory_order_relaxed)) detail::gStepsLeft = 0;
}

void EndScriptRun() {
  if (gRuns > 0 && --gRuns == 0) gRunHalted = gRunStopped = false;
}
}  // namespace detail

void SetScriptBudget(uint64_t steps) { gLimit = steps; }
uint64_t ScriptBudget() { return gLimit; }

void RequestScriptStop() { gStop.store(true, std::memory_order_relaxed); }
void ClearScriptStop() { gStop.store(false, std::memory_order_relaxed); }
bool ScriptStopRequested() { return gStop.load(std::memory_order_relaxed); }

void SetScriptPoll(std::function<void()> poll) { gPoll = std::move(poll); }

}  // namespace qx
