// What can be known of a script before it runs. The program is prepared as a run prepares
// it, and every statement and expression of it, in every branch, is parsed by the
// interpreter's own parser and walked in the order a run takes it; a finding is the error,
// with its message and code, that a run reaching that place would report whatever the
// variables hold. Names are judged against the functions registered on the engine and the
// procedures the program declares.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

class TScriptEngine;

// Where in the script's files something is: `file` is "" for the source given to the
// check, else a USES or INCLUDE file as its statement names it; `line` is 1-based, 0 when
// it is not known (a source that is a TokenStream already).
struct ScriptPlace {
  std::string file;
  int line = 0;
};

struct ScriptFinding {
  ScriptPlace place;
  int code = 0;
  std::string message;  // as a run reports it (code page 1251)
  std::string text;     // the tokens the run's error names, joined with blanks
};

// A call in the program, for checks of what it names (sounds, texts, the loading screen).
struct ScriptCall {
  std::string name;       // upper case
  std::string procedure;  // the declared procedure whose body holds it; "" for the main program
  // Per argument: its value when the argument is a string constant alone (a text key keeps
  // its double quotes).
  std::vector<std::optional<std::string>> constants;
  ScriptPlace place;
};

// NAME := 'constant' (the name as written, upper case).
struct ScriptConstantAssignment {
  std::string target;
  std::string value;
  ScriptPlace place;
};

// A double-quoted string constant: a text key of the language files.
struct ScriptTextKey {
  std::string key;  // without its quotes
  ScriptPlace place;
};

struct ScriptCheckResult {
  std::vector<ScriptFinding> findings;  // in the order of the files and lines they are at
  std::vector<ScriptCall> calls;
  std::vector<ScriptConstantAssignment> assignments;
  std::vector<ScriptTextKey> textKeys;
};

// A finding as one line for people: "error CODE: MESSAGE (STATEMENT)", the message and the
// statement cut at their first line break (an unterminated string runs on to the end of the
// script) and the statement at 100 bytes; " ..." marks a cut. The statement is left out when
// the message shows it already; a string constant that runs past its line's end gets a hint
// that its closing quote may be missing. Code page 1251.
std::string DescribeFinding(const ScriptFinding& finding);

// Whether a native function refuses `count` arguments (the call fails whatever they hold).
using CountRefusal = std::function<bool(std::string_view upperName, size_t count)>;

// Prepares `source` on `engine` (its registered functions are those a run has; the script
// host in place finds the USES and INCLUDE files, and receives any log line the preparation
// writes) and checks the whole program it gives. Reports every problem, not only the first.
ScriptCheckResult CheckScript(TScriptEngine& engine, std::string_view source, const CountRefusal& refuses = {});

}  // namespace qx
