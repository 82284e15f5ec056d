// Statement lists parsed once: a program's lists are cut into statements and their
// expressions parsed on their first run, then kept per distinct program text. Internal to
// the interpreter.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qx {

struct CStatement;

// One statement list, parsed when it first runs (nested lists only when they are reached,
// so text nested too deeply is refused before it is parsed).
struct CList {
  explicit CList(std::string_view tokens);
  ~CList();
  CList(const CList&) = delete;
  CList& operator=(const CList&) = delete;

  std::string_view text;  // inside the text of the CompiledProgram that owns the list
  bool parsed = false;
  std::vector<std::unique_ptr<CStatement>> statements;
  // Set when the list ends in a statement whose BEGIN/CASE ... END or REPEAT ... UNTIL do
  // not balance; reported when running (or a label search) gets that far.
  int splitErrorCode = 0;
  std::string_view splitErrorMessage;
  std::string_view splitErrorTokens;
};

struct CompiledProgram {
  explicit CompiledProgram(std::string_view program) : text(program), list(text) {}
  const std::string text;
  CList list;
};

// Compiled programs by their text. Runs hold their program, so the cache may be emptied
// at any time.
class ProgramCache {
 public:
  std::shared_ptr<CompiledProgram> Get(std::string_view text);
  size_t Size() const { return map_.size(); }
  void Clear() { map_.clear(); }

 private:
  std::unordered_map<std::string_view, std::shared_ptr<CompiledProgram>> map_;  // keys view the programs' text
};

}  // namespace qx
