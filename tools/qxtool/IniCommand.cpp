// qxtool ini join: joins ini files written in UTF-8 (language texts, sound tables, kept one
// file per room) into the one code page 1251 file a game reads.
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "Command.h"
#include "base/Ascii.h"
#include "base/CodePage.h"
#include "base/SafeFile.h"

namespace qxtool {
namespace {

struct Options {
  std::vector<std::string> inputs;
  std::string output;
};

Options gOpt;

struct Entry {
  std::string key, value;  // as written (UTF-8)
};

struct Section {
  std::string name;
  std::vector<Entry> entries;
  std::map<std::string, std::string> origin;  // folded key -> "FILE:LINE"
};

std::string Trim(const std::string& s) {
  const size_t a = s.find_first_not_of(" \t");
  if (a == std::string::npos) return {};
  const size_t b = s.find_last_not_of(" \t");
  return s.substr(a, b - a + 1);
}

std::string Fold(const std::string& s) { return qx::UpperAscii(s); }

// Reads one input into `sections`; false (after Fail) on the first fault.
bool ReadInput(const std::string& file, std::vector<Section>& sections) {
  std::string text, error;
  if (!qx::ReadWholeFile(file, text, error, size_t{16} << 20)) {
    Fail(error);
    return false;
  }
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);  // a byte order mark
  Section* current = nullptr;
  size_t pos = 0;
  for (int line = 1; pos < text.size(); ++line) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string raw = text.substr(pos, end - pos);
    pos = end + 1;
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    const std::string where = file + ":" + std::to_string(line);
    const std::string s = Trim(raw);
    if (s.empty() || s[0] == ';' || s[0] == '#') continue;
    if (s[0] == '[') {
      if (s.back() != ']' || s.size() < 3) {
        Fail(where + ": a section line must be [NAME]");
        return false;
      }
      const std::string name = Trim(s.substr(1, s.size() - 2));
      current = nullptr;
      for (Section& sec : sections) {
        if (Fold(sec.name) == Fold(name)) current = &sec;
      }
      if (!current) {
        sections.push_back(Section{name, {}, {}});
        current = &sections.back();
      }
      continue;
    }
    const size_t eq = s.find('=');
    if (eq == std::string::npos || Trim(s.substr(0, eq)).empty()) {
      Fail(where + ": expected KEY=VALUE");
      return false;
    }
    if (!current) {
      Fail(where + ": a key before the first [section]");
      return false;
    }
    const std::string key = Trim(s.substr(0, eq));
    const auto [it, fresh] = current->origin.emplace(Fold(key), where);
    if (!fresh) {
      Fail(where + ": [" + current->name + "] " + key + " is given already at " + it->second);
      return false;
    }
    const std::string value = Trim(s.substr(eq + 1));
    if (!qx::Utf8ToCp1251(key) || !qx::Utf8ToCp1251(value) || !qx::Utf8ToCp1251(current->name)) {
      Fail(where + ": a character has no code page 1251 form");
      return false;
    }
    current->entries.push_back(Entry{key, value});
  }
  return true;
}

void Join() {
  std::vector<Section> sections;
  for (const std::string& file : gOpt.inputs) {
    if (!ReadInput(file, sections)) return;
  }
  std::string out;
  for (const Section& sec : sections) {
    out += "[" + *qx::Utf8ToCp1251(sec.name) + "]\r\n";
    for (const Entry& e : sec.entries) out += *qx::Utf8ToCp1251(e.key) + "=" + *qx::Utf8ToCp1251(e.value) + "\r\n";
    out += "\r\n";
  }
  std::string error;
  if (!qx::WriteFileAtomically(gOpt.output, out.data(), out.size(), error)) Fail(error);
}

const CommandRegistration kIni("ini", [](CLI::App& app) {
  CLI::App* ini = app.add_subcommand("ini", "Ini files: language texts and sound tables");
  ini->require_subcommand(1);
  CLI::App* join = ini->add_subcommand(
      "join", "join UTF-8 ini files into one code page 1251 file (sections of one name merge; a key may come once)");
  join->add_option("FILES", gOpt.inputs, "the ini files, in order")->required();
  join->add_option("-o,--output", gOpt.output, "the file to write")->required();
  join->callback(Join);
});

}  // namespace
}  // namespace qxtool
