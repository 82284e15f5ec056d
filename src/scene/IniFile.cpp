#include "scene/IniFile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "base/Ascii.h"
#include "base/SafeFile.h"
#include "resources/NameFold.h"

namespace qx {
namespace {

std::string Fold(std::string_view name) { return FoldName1251(TrimBlanks(name)); }

std::string EntryKey(std::string_view foldedSection, std::string_view foldedKey) {
  std::string k(foldedSection);
  k += '\0';
  k += foldedKey;
  return k;
}

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The integer forms the settings files use: [+|-] decimal digits, or [+|-] "$"/"0x" and hex
// digits (up to 32 bits, taken as the signed word they spell).
bool ParseIniInteger(std::string_view s, int32_t& out) {
  bool negative = false;
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  if (s.empty()) return false;
  int64_t magnitude = 0;
  if (s.front() == '$' || (s.size() > 1 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X'))) {
    s.remove_prefix(s.front() == '$' ? 1 : 2);
    if (s.empty()) return false;
    for (char c : s) {
      const int d = HexDigit(c);
      if (d < 0) return false;
      magnitude = magnitude * 16 + d;
      if (magnitude > 0xFFFFFFFFll) return false;
    }
    const auto word = static_cast<int32_t>(static_cast<uint32_t>(magnitude));
    out = negative ? static_cast<int32_t>(0u - static_cast<uint32_t>(word)) : word;
    return true;
  }
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > 2147483648ll) return false;
  }
  if (!negative && magnitude > 2147483647ll) return false;
  out = static_cast<int32_t>(negative ? -magnitude : magnitude);
  return true;
}

}  // namespace

TIniFile::TIniFile(std::string_view text) { Parse(text); }

bool TIniFile::Load(const std::string& path, std::string* error) {
  lines_.clear();
  path_.clear();
  Reindex();
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return true;  // no file yet: an empty table
    if (error) *error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    if (error) *error = path + " is not a file";
    return false;
  }
  std::string data, reason;
  if (!ReadWholeFile(path, data, reason, kMaxFileBytes)) {
    if (error) *error = reason;
    return false;
  }
  Parse(data);
  return true;
}

bool TIniFile::Open(const std::string& path, std::string* error) {
  if (!Load(path, error)) return false;
  path_ = path;
  stamp_ = StampOf(path_);
  return true;
}

TIniFile::Stamp TIniFile::StampOf(const std::string& path) {
  Stamp s;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return s;
  s.exists = true;
  s.size = st.st_size;
  s.seconds = st.st_mtim.tv_sec;
  s.nanoseconds = st.st_mtim.tv_nsec;
  s.inode = static_cast<int64_t>(st.st_ino);
  return s;
}

void TIniFile::Refresh() const {
  if (path_.empty()) return;
  const Stamp now = StampOf(path_);
  if (now == stamp_) return;
  std::string data, reason;
  if (now.exists && !ReadWholeFile(path_, data, reason, kMaxFileBytes)) return;  // keep what we have
  stamp_ = now;
  Parse(data);  // a file removed meanwhile reads as empty, as a missing file does
}

// --- parsing -------------------------------------------------------------------------------

void TIniFile::Parse(std::string_view text) const {
  lines_.clear();
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    std::string_view eol = "\n";
    if (end == std::string_view::npos) {
      end = text.size();
      eol = "";
    }
    size_t contentEnd = end;
    if (!eol.empty() && contentEnd > pos && text[contentEnd - 1] == '\r') {
      --contentEnd;
      eol = "\r\n";
    }
    lines_.push_back(ParseLine(text.substr(pos, contentEnd - pos), eol));
    pos = end + (eol.empty() ? 0 : 1);
  }
  // A byte-order mark before the first line does not hide its section header.
  if (!lines_.empty() && lines_[0].text.rfind("\xEF\xBB\xBF", 0) == 0) {
    Line first = ParseLine(std::string_view(lines_[0].text).substr(3), lines_[0].eol);
    lines_[0].kind = first.kind;
    lines_[0].name = std::move(first.name);
  }
  Reindex();
}

TIniFile::Line TIniFile::ParseLine(std::string_view text, std::string_view eol) {
  Line line;
  line.text = std::string(text);
  line.eol = std::string(eol);
  const std::string_view t = TrimBlanks(text);
  if (t.empty() || t.front() == ';') return line;
  if (t.front() == '[') {
    std::string_view name = t.substr(1);
    const size_t close = name.find(']');
    if (close != std::string_view::npos) name = name.substr(0, close);
    line.kind = LineKind::Section;
    line.name = Fold(name);
    return line;
  }
  const size_t eq = t.find('=');
  const std::string key = Fold(eq == std::string_view::npos ? t : t.substr(0, eq));
  if (key.empty()) return line;
  line.kind = LineKind::Entry;
  line.name = key;
  return line;
}

void TIniFile::Reindex() const {
  entries_.clear();
  sections_.clear();
  const std::string* section = nullptr;  // the section whose entries count, if any
  for (size_t i = 0; i < lines_.size(); ++i) {
    const Line& line = lines_[i];
    if (line.kind == LineKind::Section) {
      // Only the first section of a name is looked into.
      section = sections_.emplace(line.name, i).second ? &line.name : nullptr;
    } else if (line.kind == LineKind::Entry && section) {
      entries_.emplace(EntryKey(*section, line.name), i);
    }
  }
}

std::string TIniFile::EntryValue(const std::string& text) {
  const size_t eq = text.find('=');
  if (eq == std::string::npos) return {};
  std::string_view v = TrimBlanks(std::string_view(text).substr(eq + 1));
  if (v.size() >= 2 && v.front() == v.back() && (v.front() == '"' || v.front() == '\'')) {
    v = v.substr(1, v.size() - 2);
  }
  return std::string(v);
}

// --- reading --------------------------------------------------------------------------------

const std::string* TIniFile::Find(std::string_view section, std::string_view key) const {
  Refresh();
  const std::string s = Fold(section), k = Fold(key);
  if (s.empty() || k.empty()) return nullptr;
  const auto it = entries_.find(EntryKey(s, k));
  return it == entries_.end() ? nullptr : &lines_[it->second].text;
}

bool TIniFile::SectionExists(std::string_view section) const {
  Refresh();
  const std::string s = Fold(section);
  return !s.empty() && sections_.count(s) > 0;
}

bool TIniFile::ValueExists(std::string_view section, std::string_view key) const {
  return Find(section, key) != nullptr;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key, std::string_view def) const {
  const std::string* line = Find(section, key);
  return line ? EntryValue(*line) : std::string(def);
}

int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key, int32_t def) const {
  const std::string* line = Find(section, key);
  if (!line) return def;
  int32_t v = 0;
  return ParseIniInteger(EntryValue(*line), v) ? v : def;
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool def) const {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

std::string TIniFile::Text() const {
  Refresh();
  return Joined();
}

std::string TIniFile::Joined() const {
  std::string out;
  for (const Line& line : lines_) {
    out += line.text;
    out += line.eol;
  }
  return out;
}

// --- writing --------------------------------------------------------------------------------

std::string TIniFile::NewLineEnding() const {
  for (const Line& line : lines_) {
    if (!line.eol.empty()) return line.eol;
  }
  return "\n";
}

bool TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value,
                           std::string* error) {
  section = TrimBlanks(section);
  key = TrimBlanks(key);
  if (section.empty() || key.empty() || section.find(']') != std::string_view::npos || HasLineBreak(section) ||
      key.find('=') != std::string_view::npos || key.front() == '[' || key.front() == ';' || HasLineBreak(key) ||
      HasLineBreak(value)) {
    if (error) *error = "refused ini entry [" + std::string(section) + "] " + std::string(key);
    return false;
  }
  if (Writable() && target_) {
    std::string reason;
    const std::optional<std::string> target = target_(&reason);
    if (!target) {
      if (error) *error = reason;
      return false;
    }
    if (*target != path_) {
      // Moved: the copy holds what the old place held; it is read afresh below.
      path_ = *target;
      stamp_ = Stamp{};
    }
  }
  Refresh();
  std::vector<Line> before = lines_;
  const std::string eol = NewLineEnding();
  const std::string s = Fold(section), k = Fold(key);
  if (const auto it = entries_.find(EntryKey(s, k)); it != entries_.end()) {
    // The key keeps its spelling and the blanks around "=": only the value changes.
    std::string& text = lines_[it->second].text;
    size_t start = text.find('=');
    if (start == std::string::npos) {
      text += '=';
      start = text.size();
    } else {
      ++start;
      while (start < text.size() && (text[start] == ' ' || text[start] == '\t')) ++start;
    }
    text = text.substr(0, start) + std::string(value);
  } else {
    Line entry = ParseLine(std::string(key) + "=" + std::string(value), eol);
    size_t at = lines_.size();
    if (const auto sec = sections_.find(s); sec != sections_.end()) {
      // After the section's last non-blank line, so blank separator lines stay below it.
      at = sec->second + 1;
      for (size_t i = sec->second + 1; i < lines_.size() && lines_[i].kind != LineKind::Section; ++i) {
        if (!TrimBlanks(lines_[i].text).empty()) at = i + 1;
      }
      if (lines_[at - 1].eol.empty()) lines_[at - 1].eol = eol;
      lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), std::move(entry));
    } else {
      if (!lines_.empty()) {
        if (lines_.back().eol.empty()) lines_.back().eol = eol;
        if (!TrimBlanks(lines_.back().text).empty()) lines_.push_back(ParseLine("", eol));
      }
      lines_.push_back(ParseLine("[" + std::string(section) + "]", eol));
      lines_.push_back(std::move(entry));
    }
  }
  Reindex();
  if (!Writable()) return true;
  const std::string text = Joined();
  std::string reason;
  if (!WriteFileAtomically(path_, text.data(), text.size(), reason)) {
    lines_ = std::move(before);  // the table keeps saying what the file says
    Reindex();
    if (error) *error = reason;
    return false;
  }
  stamp_ = StampOf(path_);
  return true;
}

bool TIniFile::WriteInteger(std::string_view section, std::string_view key, int32_t value, std::string* error) {
  return WriteString(section, key, std::to_string(value), error);
}

bool TIniFile::WriteBool(std::string_view section, std::string_view key, bool value, std::string* error) {
  return WriteString(section, key, value ? "1" : "0", error);
}

}  // namespace qx
