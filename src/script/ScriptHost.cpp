#include "script/ScriptHost.h"

#include <filesystem>

#include "base/BoundedLog.h"

namespace qx {
namespace {
PlainScriptHost gPlainHost;

std::string Join(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}
}  // namespace

void AppendErrorLogLine(const std::string& folder, const std::string& line) {
  AppendLogLine(Join(folder, "korvane.err"), line);
}

void PlainScriptHost::AppendErrorLog(const std::string& line) { AppendErrorLogLine(folder_, line); }

std::string PlainScriptHost::ResolveGameFile(const std::string& name) {
  std::string path = name;
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  // Only files inside the folder: no absolute names, drive letters or ".." components.
  if (path.empty() || path[0] == '/' || path.find(':') != std::string::npos) return {};
  for (size_t start = 0; start <= path.size();) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    if (path.compare(start, end - start, "..") == 0) return {};
    start = end + 1;
  }
  std::error_code ec;
  const std::string full = Join(folder_, path);
  return std::filesystem::is_regular_file(full, ec) ? full : std::string();
}

namespace detail {
ScriptHost* gScriptHost = &gPlainHost;
}
void SetHost(ScriptHost* host) { detail::gScriptHost = host ? host : &gPlainHost; }

}  // namespace qx
