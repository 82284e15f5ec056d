// Event scripts on the interpreter pool: one interpreter per nesting level of running event
// scripts, the current element and event name while a script runs, and the preparation of
// script text. The interpreter plugs in through EventInterpreter.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "script/VarList.h"

namespace qx {

class TQXElement;

// What the element model needs of one interpreter.
class EventInterpreter {
 public:
  virtual ~EventInterpreter() = default;
  // Turns script source into the program that runs (interpreter 0 prepares for everyone).
  virtual std::string Prepare(const std::string& source) = 0;
  virtual void ClearVars() = 0;
  // Runs a prepared program; false when it stopped on an error (already logged).
  virtual bool Run(const std::string& prepared) = 0;
  virtual const TVarList& Vars() const = 0;
};

inline constexpr int kInterpreterPoolSize = 10;

struct ScriptContext {
  // 1 while no event script runs; the current interpreter is number ScriptDepth - 1.
  int ScriptDepth = 1;
  std::array<std::unique_ptr<EventInterpreter>, kInterpreterPoolSize> InterpreterPool;
  TQXElement* CurrentElement = nullptr;
  std::string CurrentEventName;
};

ScriptContext& Scripts();

// Creates the ten interpreters with `make` (called with 0..9).
void CreateInterpreterPool(const std::function<std::unique_ptr<EventInterpreter>(int)>& make);
// Frees them (the window's close does this before freeing the tree).
void FreeInterpreterPool();
// The interpreter of the current nesting level, or nullptr when there is no pool.
EventInterpreter* CurrentInterpreter();
// Prepares script source on interpreter 0; without a pool the source is kept as it is.
std::string PrepareScript(const std::string& source);

}  // namespace qx
