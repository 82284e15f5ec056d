#include "script/ScriptHost.h"

#include "base/BoundedLog.h"
#include "resources/GameFs.h"

namespace qx {
namespace {
PlainScriptHost gPlainHost;
}  // namespace

void AppendErrorLogLine(const std::string& folder, const std::string& line) {
  // Through the game folder's resolver, so that a korvane.err linked out of the folder is
  // never appended to.
  if (const std::optional<std::string> path = TGameFs(folder).ResolveForWrite("korvane.err")) {
    AppendLogLine(*path, line);
  }
}

void PlainScriptHost::AppendErrorLog(const std::string& line) { AppendErrorLogLine(folder_, line); }

std::string PlainScriptHost::ResolveGameFile(const std::string& name) {
  return TGameFs(folder_).ResolveFile(name).value_or(std::string());
}

namespace detail {
ScriptHost* gScriptHost = &gPlainHost;
}
void SetHost(ScriptHost* host) { detail::gScriptHost = host ? host : &gPlainHost; }

}  // namespace qx
