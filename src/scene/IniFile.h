// TIniFile: an ini file ("[Section]" lines, "Key=Value" lines) kept as its own lines, so that
// the lines the runtime does not change stay byte for byte. Used read-only in memory (language
// and sound tables) and read-write for the player's settings, where every write reaches the
// file at once through the crash-safe writer.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qx {

class TIniFile {
 public:
  // Largest ini file read (a settings or language file is a few kilobytes).
  static constexpr size_t kMaxFileBytes = size_t{16} << 20;

  // Empty, in memory.
  TIniFile() = default;
  // The given text, in memory.
  explicit TIniFile(std::string_view text);

  // Reads a file into memory, read-only. A missing file gives an empty table and true; a file
  // that exists but cannot be read (or is larger than kMaxFileBytes) gives false, an empty
  // table and the reason.
  bool Load(const std::string& path, std::string* error = nullptr);
  // Load, then every successful write rewrites `path` atomically. A missing file starts empty
  // and is created by the first write. On false nothing is ever written (so a file that could
  // not be read is never replaced). When the file is changed by someone else meanwhile, the
  // next read or write takes the new contents first, so their edits are not overwritten.
  bool Open(const std::string& path, std::string* error = nullptr);
  bool Writable() const { return !path_.empty(); }
  const std::string& Path() const { return path_; }
  // Asked before every write of a read-write file: the path the write goes to, after whatever
  // that takes (the player's places may copy the file into the data folder first), or nothing
  // (with the reason) to refuse the write. When it is another path, the file lives there from
  // then on: it is read from there again and written there.
  using WriteTarget = std::function<std::optional<std::string>(std::string* error)>;
  void SetWriteTarget(WriteTarget target) { target_ = std::move(target); }

  // Sections and keys match without regard to letter case (ASCII and the 1251 Cyrillic
  // letters); the first section of a name and its first key of a name count. Values come
  // trimmed of blanks, and without one pair of enclosing quotes ('...' or "...").
  bool SectionExists(std::string_view section) const;
  bool ValueExists(std::string_view section, std::string_view key) const;
  std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;
  // A decimal integer with an optional sign, or hexadecimal after "$" or "0x", in 32 bits;
  // anything else (missing, empty, "12abc", out of range) gives the default.
  int32_t ReadInteger(std::string_view section, std::string_view key, int32_t def) const;
  // ReadInteger(default 1 or 0) != 0.
  bool ReadBool(std::string_view section, std::string_view key, bool def) const;

  // Sets a value: the existing key's line keeps everything up to its value, a new key goes
  // after the last entry of its section, a new section goes at the end. In read-write mode
  // the file is rewritten at once; when that fails the change is undone. False (nothing
  // changed) for an empty section or key, a section holding "]", a key holding "=" or
  // starting with "[" or ";", any line break, or a failed write (reason in `error`).
  bool WriteString(std::string_view section, std::string_view key, std::string_view value,
                   std::string* error = nullptr);
  bool WriteInteger(std::string_view section, std::string_view key, int32_t value, std::string* error = nullptr);
  // Written as "1" or "0".
  bool WriteBool(std::string_view section, std::string_view key, bool value, std::string* error = nullptr);

  // The whole text as the file holds it (or would).
  std::string Text() const;

 private:
  enum class LineKind : uint8_t { Other, Section, Entry };
  struct Line {
    std::string text;  // the bytes of the line, without its line ending
    std::string eol;   // "\r\n", "\n" or "" (the last line of a file without a final break)
    LineKind kind = LineKind::Other;
    std::string name;  // folded section name or folded key
  };

  // File identity as last read or written: a change means someone else wrote it.
  struct Stamp {
    bool exists = false;
    int64_t size = 0, seconds = 0, nanoseconds = 0, inode = 0;
    bool operator==(const Stamp&) const = default;
  };
  static Stamp StampOf(const std::string& path);
  // In read-write mode, re-reads the file if it changed on disk since.
  void Refresh() const;

  void Parse(std::string_view text) const;
  static Line ParseLine(std::string_view text, std::string_view eol);
  void Reindex() const;
  std::string Joined() const;
  std::string NewLineEnding() const;
  const std::string* Find(std::string_view section, std::string_view key) const;
  // The text after "=" on an entry line, trimmed, without enclosing quotes.
  static std::string EntryValue(const std::string& text);

  // Mutable: reads of a read-write file follow changes made on disk.
  mutable std::vector<Line> lines_;
  // folded section + '\0' + folded key -> line index, for the first section of each name
  mutable std::unordered_map<std::string, size_t> entries_;
  // folded section -> index of its first header line
  mutable std::unordered_map<std::string, size_t> sections_;
  std::string path_;
  mutable Stamp stamp_;
  WriteTarget target_;
};

}  // namespace qx
