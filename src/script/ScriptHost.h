// What the interpreter needs from the game around it: element properties by name, the
// element tree's parent and root links, the running event, text translation and the
// error log. The scene implements it; tests and qxtool use the plain default.
#pragma once

#include <cstdint>
#include <string>

#include "script/ScriptValue.h"

namespace qx {

// An element as scripts see it: a 32-bit handle, 0 for none.
using ElementHandle = uint32_t;

class ScriptHost {
 public:
  virtual ~ScriptHost() = default;

  virtual bool GetPropValue(ElementHandle element, const std::string& name, ScriptValue& value) = 0;
  virtual bool SetPropValue(ElementHandle element, const std::string& name, const ScriptValue& value) = 0;
  // Whether SetPropValue may take `name` on `element` for some value (true when unsure),
  // and a stamp of the names it takes: while the stamp is the same, so are the answers (0:
  // no stamp, the names are asked each time). The interpreter then need not offer a new
  // variable that the element has refused before.
  virtual bool TakesName(ElementHandle, const std::string&) { return true; }
  virtual uint64_t NamesStamp(ElementHandle) { return 0; }
  virtual ElementHandle ParentOf(ElementHandle element) = 0;
  virtual ElementHandle Root() = 0;
  // The element whose event script runs, and the event's name.
  virtual ElementHandle CurrentElement() = 0;
  virtual std::string CurrentEventName() = 0;
  // "Id <ClassName>" of an element, "" for none: the error log's element description.
  virtual std::string Describe(ElementHandle element) = 0;
  // The language text of a reference ("Section.Key", or "Key" in section "Default").
  virtual std::string TranslateText(const std::string& reference) = 0;
  // Appends one line to the error log "korvane.err" of the game folder.
  virtual void AppendErrorLog(const std::string& line) = 0;
  // The disk path of a game file named by a script (USES, INCLUDE, built-ins), or "" when it
  // is refused (outside the game folder) or not found.
  virtual std::string ResolveGameFile(const std::string& name) = 0;
};

// A host with no game: no elements, no translations; `folder` (default: the current
// directory) stands for the game folder: the error log goes there and script files are
// found there as a game's are (TGameFs).
class PlainScriptHost : public ScriptHost {
 public:
  explicit PlainScriptHost(std::string folder = {}) : folder_(std::move(folder)) {}
  bool GetPropValue(ElementHandle, const std::string&, ScriptValue&) override { return false; }
  bool SetPropValue(ElementHandle, const std::string&, const ScriptValue&) override { return false; }
  ElementHandle ParentOf(ElementHandle) override { return 0; }
  ElementHandle Root() override { return 0; }
  ElementHandle CurrentElement() override { return 0; }
  std::string CurrentEventName() override { return {}; }
  std::string Describe(ElementHandle) override { return {}; }
  std::string TranslateText(const std::string&) override { return {}; }
  void AppendErrorLog(const std::string& line) override;
  std::string ResolveGameFile(const std::string& name) override;

 private:
  std::string folder_;
};

// Appends one line to the error log "korvane.err" in `folder` (the current folder when it is
// empty), making the file when it is missing; nothing when it cannot be opened or when the
// name leads out of the folder (a korvane.err that links elsewhere). The log is bounded
// (base/BoundedLog.h): repeats of the line before are counted, not written, and a log over
// 1 MiB is moved to korvane.err.1 first.
void AppendErrorLogLine(const std::string& folder, const std::string& line);

// The process-wide host; never null (a PlainScriptHost until the game sets its own).
namespace detail {
extern ScriptHost* gScriptHost;  // set through SetHost only
}
inline ScriptHost& Host() { return *detail::gScriptHost; }
// Installs a host (nullptr restores the plain one). The caller keeps ownership.
void SetHost(ScriptHost* host);

}  // namespace qx
