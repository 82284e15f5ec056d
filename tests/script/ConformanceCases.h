// The statement conformance cases (tests/data/script/statements/*.txt): each case is a script
// and what running it must leave, in the form `qxtool script run` prints. Shared by the
// interpreter suite, the element-event runs and the end-to-end qxtool test.
//
// File format:
//   === case name
//   script text ...
//   ---
//   error CODE: MESSAGE @ STATEMENT TEXT    first, when preparing or running stops on an error
//   NAME = VALUE (KIND)                     one line per variable left, in order
// Expected text is UTF-8; scripts are plain ASCII. Lines before the first "===" are notes.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/CodePage.h"
#include "script/scriptengine.h"

namespace qx::test {

struct ConformanceCase {
  std::string file;  // the case file's name
  int line = 0;      // line of the "===" that opens the case
  std::string name;
  std::string script;
  std::vector<std::string> expected;
};

inline std::string ConformanceFolder() { return std::string(QX_TEST_DATA_DIR) + "/script/statements"; }

inline std::vector<ConformanceCase> LoadConformanceCases() {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(ConformanceFolder())) {
    if (entry.path().extension() == ".txt" && entry.path().stem().string().rfind("case_", 0) == 0)
      files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  std::vector<ConformanceCase> cases;
  for (const std::string& path : files) {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    ConformanceCase* current = nullptr;
    bool inExpected = false;
    for (int number = 1; std::getline(in, line); ++number) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.rfind("=== ", 0) == 0) {
        cases.push_back({std::filesystem::path(path).filename().string(), number, line.substr(4), {}, {}});
        current = &cases.back();
        inExpected = false;
      } else if (!current) {
        continue;
      } else if (line == "---") {
        inExpected = true;
      } else if (inExpected) {
        if (!line.empty()) current->expected.push_back(line);
      } else {
        current->script += line + "\n";
      }
    }
  }
  return cases;
}

// A variable as `qxtool script run` prints it.
inline std::string ConformanceVarLine(const TVar& var) {
  const ScriptValue& v = var.Value;
  const std::string value = v.Kind() == ValueKind::String ? "'" + v.StrValue() + "'" : v.ToText();
  return Cp1251ToUtf8(var.Name + " = " + value + " (" + ValueKindName(v.Kind()) + ")");
}

inline std::string ConformanceErrorLine(int code, const std::string& message, std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return "error " + std::to_string(code) + ": " + Cp1251ToUtf8(message) + " @ " + Cp1251ToUtf8(text);
}

// What a run left, in the expected lines' form.
inline std::vector<std::string> ConformanceOutcome(const TScriptEngine& engine, bool ok) {
  std::vector<std::string> lines;
  if (!ok) lines.push_back(ConformanceErrorLine(engine.ErrorCode(), engine.ErrorMessage(), engine.ErrorText()));
  for (int i = 0; i < engine.Vars().Count(); ++i) lines.push_back(ConformanceVarLine(engine.Vars()[i]));
  return lines;
}

inline std::string JoinLines(const std::vector<std::string>& lines) {
  std::string s;
  for (const std::string& l : lines) s += "  " + l + "\n";
  return s;
}

}  // namespace qx::test
