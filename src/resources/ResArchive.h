// TResArchive: the game's resource archive, a single file of zlib-compressed records (pictures,
// sounds, fonts) found by name. Reading is for the runtime; writing serves qxtool.
#pragma once

#include <array>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

enum class TResOpenMode { opUpdate, opOverwrite, opReadOnly };

// One entry of the in-memory index: the table entry and the record's 44-byte header.
struct TResRecordInfo {
  std::string name;  // code page 1251 bytes; a backslash separates folders
  int64_t offset = 0;  // of the record header in the file
  uint16_t type = 0;   // 3 marks a font record; pictures and sounds ignore it
  int32_t unpackedSize = 0;
  int32_t storedSize = 0;
  double timeStamp = 0;  // days since 1899-12-30, not interpreted
  std::array<uint8_t, 16> digest{};
  uint16_t cipher = 0;  // non-zero: enciphered, which this runtime cannot read
  uint64_t cipherInit = 0;
};

class TResArchive {
 public:
  // Largest record this runtime inflates. A record claiming more is treated as damaged, as is
  // one whose unpacked size exceeds what zlib can produce from its stored size.
  static constexpr int32_t kMaxRecordSize = 256 << 20;
  static constexpr size_t kHeaderSize = 12;
  static constexpr size_t kRecordHeaderSize = 44;

  const std::string& FileName() const { return fileName_; }
  // Stores the (disk) path and closes the archive; Open reads it.
  void SetFileName(std::string path);
  TResOpenMode OpenMode() const { return openMode_; }
  void SetOpenMode(TResOpenMode mode) { openMode_ = mode; }

  // opReadOnly reads the index of an existing file; opUpdate reads it or creates an empty
  // archive when there is no file (a damaged file is left alone and the open fails);
  // opOverwrite replaces the file with an empty archive. The result becomes Opened().
  bool Open();
  bool Opened() const { return opened_; }
  void Close();

  int RecordCount() const { return static_cast<int>(records_.size()); }
  // "[invalid-record-#]" for an index out of range.
  std::string RecordName(int index) const;
  // 0 for an index out of range.
  int RecordType(int index) const;
  // nullptr for an index out of range.
  const TResRecordInfo* Record(int index) const;

  // The first record in table order whose name equals `name` without regard to letter case
  // (ASCII and 1251 Cyrillic), else -1.
  int IndexOf(std::string_view name) const;

  // The inflated data of a record. False (the caller acts as if the record did not exist)
  // when the archive is not open, the name is unknown, the file cannot be read, the record
  // is enciphered or damaged, or it does not inflate to exactly its unpacked size.
  bool ReadRecord(std::string_view name, std::vector<uint8_t>& data);
  bool ReadRecord(int index, std::vector<uint8_t>& data);
  // ReadRecord, then the data written to `out`; true when all of it was written.
  bool ReadRecordToStream(std::string_view name, std::ostream& out);

  // Why the last Open or read failed, one line (for tools; the runtime stays silent).
  const std::string& LastError() const { return error_; }

 private:
  bool ReadIndex(int fd);
  bool Fail(std::string reason);

  std::string fileName_;
  TResOpenMode openMode_ = TResOpenMode::opReadOnly;
  bool opened_ = false;
  int64_t fileSize_ = 0;
  std::vector<TResRecordInfo> records_;
  std::string error_;
};

// One file for WriteResArchive.
struct TResPackEntry {
  std::string name;  // 1251 bytes, backslash-separated
  uint16_t type = 0;
  double timeStamp = 0;
  std::vector<uint8_t> data;
};

// Writes a complete archive (records compressed with zlib, the table at the end) through the
// crash-safe writer. Fails when a record or the whole archive would not fit the format.
bool WriteResArchive(const std::string& path, const std::vector<TResPackEntry>& entries,
                     std::string& error);

}  // namespace qx
