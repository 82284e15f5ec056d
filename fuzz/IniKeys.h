// The sections and keys an ini text names, found by a simple reading of its lines (not the
// reader's own), for targets that look them up.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qx::fuzz {

// (section, key) of every "key=value" line, the section being the last "[...]" line before it
// ("" before any); at most `limit` pairs.
inline std::vector<std::pair<std::string, std::string>> IniKeys(std::string_view text, size_t limit = 32) {
  std::vector<std::pair<std::string, std::string>> keys;
  std::string section;
  while (!text.empty() && keys.size() < limit) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos) continue;
    line.remove_prefix(first);
    if (line.front() == '[') {
      section = std::string(line.substr(1, line.find(']') == std::string_view::npos ? line.size() - 1 : line.find(']') - 1));
    } else if (const size_t eq = line.find('='); eq != std::string_view::npos) {
      keys.emplace_back(section, std::string(line.substr(0, eq)));
    }
  }
  return keys;
}

}  // namespace qx::fuzz
