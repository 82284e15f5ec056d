#include "shell/GameFinder.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "base/Ascii.h"

namespace qx {
namespace fs = std::filesystem;
namespace {

std::string Trim(const std::string& s) {
  const size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return {};
  const size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

// Reads one value of an ini file with the usual rules: section and key match without case.
std::string ReadIniValue(const std::string& path, const std::string& section, const std::string& key) {
  std::ifstream in(path);
  if (!in) return {};
  std::string line;
  bool inSection = false;
  while (std::getline(in, line)) {
    const std::string t = Trim(line);
    if (t.empty() || t[0] == ';') continue;
    if (t.front() == '[') {
      const size_t close = t.find(']');
      inSection = close != std::string::npos && LowerAscii(Trim(t.substr(1, close - 1))) == LowerAscii(section);
      continue;
    }
    if (!inSection) continue;
    const size_t eq = t.find('=');
    if (eq != std::string::npos && LowerAscii(Trim(t.substr(0, eq))) == LowerAscii(key)) return Trim(t.substr(eq + 1));
  }
  return {};
}

}  // namespace

std::string FindQxfInFolder(const std::string& folder) {
  std::error_code ec;
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder.empty() ? "." : folder, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.size() > 4 && LowerAscii(name.substr(name.size() - 4)) == ".qxf" && !entry.is_directory(ec)) {
      names.push_back(name);
    }
  }
  if (names.empty()) return {};
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return LowerAscii(a) < LowerAscii(b);
  });
  return (fs::path(folder.empty() ? "." : folder) / names.front()).string();
}

std::string FindGameFile(const std::string& programPath, const std::string& iniPath) {
  std::error_code ec;
  if (!programPath.empty()) {
    // The program's own name with ".qxf" (its extension, if it has one, replaced).
    fs::path own(programPath);
    own.replace_extension(".qxf");
    if (fs::is_regular_file(own, ec)) return own.string();
    const std::string found = FindQxfInFolder(fs::path(programPath).parent_path().string());
    if (!found.empty()) return found;
  }
  if (!iniPath.empty()) {
    const std::string path = ReadIniValue(iniPath, "Main", "Path");
    if (!path.empty()) return path;
  }
  return {};
}

std::string DefaultZembricIniPath() {
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) {
    return (fs::path(xdg) / "qxrun" / "Zembric.ini").string();
  }
  if (const char* home = std::getenv("HOME"); home && *home) {
    return (fs::path(home) / ".config" / "qxrun" / "Zembric.ini").string();
  }
  return {};
}

}  // namespace qx
