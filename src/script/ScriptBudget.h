// How much one script run may do: a count of statements and loop passes shared by an
// outermost run and every run it starts (event scripts nest on other interpreters), so a
// script that never ends is stopped and the game goes on. Passes are counted, not time, so a
// replay stops at the same statement every time.
#pragma once

#include <cstdint>
#include <string_view>

namespace qx {

// About a second of a busy loop on an ordinary machine.
inline constexpr uint64_t kDefaultScriptBudget = 50'000'000;
// The error code of a run stopped by its budget (next to the interpreter's codes 1 to 29).
inline constexpr int kScriptTooLongCode = 30;

// The budget of every outermost run started from now on; 0 is unlimited.
void SetScriptBudget(uint64_t steps);
uint64_t ScriptBudget();

namespace detail {
// Steps left before the budget's next checkpoint; the interpreter counts it down once per
// statement and loop pass and calls ScriptCheckpoint when it goes below 0.
extern int64_t gStepsLeft;
// Set once the outermost run in progress must stop: every level of it unwinds.
extern bool gRunHalted;

enum class Checkpoint : uint8_t {
  Go,      // carry on
  Spent,   // the budget ran out just now: report it (once)
  Halted,  // the run already stopped: unwind quietly
};
Checkpoint ScriptCheckpoint();

// A run starts and ends; the outermost one (no other run in progress) starts a new budget.
void BeginScriptRun();
void EndScriptRun();
}  // namespace detail

}  // namespace qx
