#include "script/ScriptBudget.h"

#include <algorithm>

namespace qx {
namespace {

// Steps handed out between checkpoints: small enough that a checkpoint comes round often
// even when each statement calls something slow, large enough to cost nothing per step.
constexpr uint64_t kChunk = 1024;

uint64_t gLimit = kDefaultScriptBudget;
int gRuns = 0;          // runs in progress, the outermost included
uint64_t gUsed = 0;     // steps of the outermost run before the current chunk
uint64_t gGranted = 0;  // size of the current chunk

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

Checkpoint ScriptCheckpoint() {
  if (gRuns == 0) {
    // Evaluating outside any run (tests, tools): no budget applies.
    Grant(true);
    return Checkpoint::Go;
  }
  if (gRunHalted) return Checkpoint::Halted;
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
  gRunHalted = false;
  Grant(false);
}

void EndScriptRun() {
  if (gRuns > 0 && --gRuns == 0) gRunHalted = false;
}
}  // namespace detail

void SetScriptBudget(uint64_t steps) { gLimit = steps; }
uint64_t ScriptBudget() { return gLimit; }

}  // namespace qx
