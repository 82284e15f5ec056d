// How much one script run may do: a count of statements and loop passes shared by an
// outermost run and every run it starts (event scripts nest on other interpreters), so a
// script that never ends is stopped and the game goes on. Passes are counted, not time, so a
// replay stops at the same statement every time. The same checkpoints read the stop flag
// through which qxrun, asked to close, ends whatever script is running.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

namespace qx {

// About a second of a busy loop on an ordinary machine.
inline constexpr uint64_t kDefaultScriptBudget = 50'000'000;
// The error code of a run stopped by its budget (next to the interpreter's codes 1 to 29).
inline constexpr int kScriptTooLongCode = 30;

// The error code of a run stopped because qxrun is closing (not written to the error log).
inline constexpr int kScriptStoppedCode = 31;

// The budget of every outermost run started from now on; 0 is unlimited.
void SetScriptBudget(uint64_t steps);
uint64_t ScriptBudget();

// The stop flag: a run in progress stops at its next checkpoint (a few hundred statements at
// most), every level of it, and runs started while it is set stop at once. Safe to call
// from a signal handler.
void RequestScriptStop();
void ClearScriptStop();
bool ScriptStopRequested();

// Called about every 50 ms while a run is in progress, so that the caller can look for a
// request to close (a window's close button) while a long script runs; empty: none.
void SetScriptPoll(std::function<void()> poll);

namespace detail {
// Steps left before the budget's next checkpoint; the interpreter counts it down once per
// statement and loop pass and calls ScriptCheckpoint when it goes below 0.
extern int64_t gStepsLeft;
// Set once the outermost run in progress must stop: every level of it unwinds.
extern bool gRunHalted;
// Whether gRunHalted came from the stop flag rather than the budget.
extern bool gRunStopped;
// Native calls since the last checkpoint.
extern int gNativeCalls;

enum class Checkpoint : uint8_t {
  Go,      // carry on
  Spent,    // the budget ran out just now: report it (once)
  Stopped,  // the stop flag was found just now (nothing is logged)
  Halted,   // the run already stopped: unwind quietly
};
Checkpoint ScriptCheckpoint();

// Brings the next checkpoint forward to the next step, leaving the count of steps exact.
void CheckpointAtNextStep();

// After each native call: a native may take long (a file written, a picture loaded), so
// every few calls the next step is a checkpoint, and a stop is seen soon even in a loop of
// slow calls.
inline void AfterNativeCall() {
  if (++gNativeCalls >= 16) [[unlikely]] CheckpointAtNextStep();
}

// A run starts and ends; the outermost one (no other run in progress) starts a new budget.
void BeginScriptRun();
void EndScriptRun();
}  // namespace detail

}  // namespace qx
