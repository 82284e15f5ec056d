#include "resources/ResArchive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <ostream>

#include "base/Log.h"
#include "base/SafeFile.h"
#include "resources/NameFold.h"

namespace qx {
namespace {

constexpr uint8_t kMagic[4] = {0x41, 0x53, 0x44, 0x62};
// zlib's deflate cannot expand data by more than about 1032:1; anything beyond is damage.
constexpr int64_t kMaxInflateRatio = 1032;

uint32_t U32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
int32_t I32(const uint8_t* p) { return static_cast<int32_t>(U32(p)); }
uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

void Put16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void Set32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// Reads exactly `size` bytes at `offset`; false on a short read or error.
bool ReadAt(int fd, int64_t offset, void* buffer, size_t size) {
  auto* p = static_cast<uint8_t*>(buffer);
  while (size > 0) {
    const ssize_t n = ::pread(fd, p, size, offset);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    offset += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Sequential reads through a small buffer (the record table is many tiny fields).
class TableReader {
 public:
  TableReader(int fd, int64_t offset, int64_t end) : fd_(fd), pos_(offset), next_(offset), end_(end) {}
  int64_t Remaining() const { return end_ - pos_; }
  bool Read(void* out, size_t size) {
    if (static_cast<int64_t>(size) > Remaining()) return false;
    auto* p = static_cast<uint8_t*>(out);
    while (size > 0) {
      if (bufPos_ == buf_.size()) {
        const auto want = static_cast<size_t>(std::min<int64_t>(kChunk, end_ - next_));
        if (want == 0) return false;
        buf_.resize(want);
        if (!ReadAt(fd_, next_, buf_.data(), want)) return false;
        next_ += static_cast<int64_t>(want);
        bufPos_ = 0;
      }
      const size_t take = std::min(size, buf_.size() - bufPos_);
      std::memcpy(p, buf_.data() + bufPos_, take);
      bufPos_ += take;
      p += take;
      size -= take;
      pos_ += static_cast<int64_t>(take);
    }
    return true;
  }

 private:
  static constexpr int64_t kChunk = 64 * 1024;
  int fd_;
  int64_t pos_;   // next byte handed out
  int64_t next_;  // next byte to buffer
  int64_t end_;
  std::vector<uint8_t> buf_;
  size_t bufPos_ = 0;
};

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

std::vector<uint8_t> EmptyArchive() {
  std::vector<uint8_t> out(kMagic, kMagic + 4);
  Put32(out, 0);
  Put32(out, TResArchive::kHeaderSize);
  return out;
}

}  // namespace

void TResArchive::SetFileName(std::string path) {
  fileName_ = std::move(path);
  Close();
}

void TResArchive::Close() {
  opened_ = false;
  records_.clear();
  fileSize_ = 0;
}

bool TResArchive::Fail(std::string reason) {
  error_ = std::move(reason);
  LogDetail("archive", error_);
  return false;
}

bool TResArchive::Open() {
  Close();
  error_.clear();
  if (openMode_ == TResOpenMode::opOverwrite ||
      (openMode_ == TResOpenMode::opUpdate && ::access(fileName_.c_str(), F_OK) != 0 && errno == ENOENT)) {
    const std::vector<uint8_t> empty = EmptyArchive();
    std::string err;
    if (!WriteFileAtomically(fileName_, empty.data(), empty.size(), err)) return Fail(err);
    fileSize_ = static_cast<int64_t>(empty.size());
    opened_ = true;
    return true;
  }
  Fd fd(::open(fileName_.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return Fail("cannot open " + fileName_ + ": " + std::strerror(errno));
  opened_ = ReadIndex(fd.get());
  return opened_;
}

bool TResArchive::ReadIndex(int fd) {
  records_.clear();
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return Fail(fileName_ + ": not a regular file");
  const int64_t size = st.st_size;
  fileSize_ = size;
  uint8_t header[kHeaderSize];
  if (size < static_cast<int64_t>(kHeaderSize) || !ReadAt(fd, 0, header, sizeof header)) {
    return Fail(fileName_ + ": too short for an archive header");
  }
  const int32_t count = I32(header + 4);
  const int32_t tableOffset = I32(header + 8);
  if (count < 0) return Fail(fileName_ + ": negative record count");
  if (tableOffset < 0 || tableOffset > size) return Fail(fileName_ + ": record table outside the file");
  // Every table entry takes at least 8 bytes, so the file size bounds the count.
  if (count > (size - tableOffset) / 8) return Fail(fileName_ + ": record count larger than the table");

  std::vector<TResRecordInfo> records(static_cast<size_t>(count));
  TableReader table(fd, tableOffset, size);
  for (TResRecordInfo& r : records) {
    uint8_t field[4];
    if (!table.Read(field, 4)) return Fail(fileName_ + ": record table cut short");
    const int32_t nameLength = I32(field);
    if (nameLength < 0 || nameLength > table.Remaining() - 4) return Fail(fileName_ + ": bad record name length");
    r.name.resize(static_cast<size_t>(nameLength));
    if (!table.Read(r.name.data(), r.name.size()) || !table.Read(field, 4)) {
      return Fail(fileName_ + ": record table cut short");
    }
    const int32_t offset = I32(field);
    if (offset < 0 || offset > size - static_cast<int64_t>(kRecordHeaderSize)) {
      return Fail(fileName_ + ": record offset outside the file");
    }
    r.offset = offset;
  }
  for (TResRecordInfo& r : records) {
    uint8_t h[kRecordHeaderSize];
    if (!ReadAt(fd, r.offset, h, sizeof h)) return Fail(fileName_ + ": cannot read a record header");
    r.type = U16(h + 0);
    r.unpackedSize = I32(h + 2);
    r.storedSize = I32(h + 6);
    uint64_t bits = uint64_t{U32(h + 10)} | uint64_t{U32(h + 14)} << 32;
    std::memcpy(&r.timeStamp, &bits, sizeof bits);
    std::memcpy(r.digest.data(), h + 18, 16);
    r.cipher = U16(h + 34);
    r.cipherInit = uint64_t{U32(h + 36)} | uint64_t{U32(h + 40)} << 32;
  }
  records_ = std::move(records);
  return true;
}

std::string TResArchive::RecordName(int index) const {
  if (index < 0 || index >= RecordCount()) return "[invalid-record-#]";
  return records_[static_cast<size_t>(index)].name;
}

int TResArchive::RecordType(int index) const {
  if (index < 0 || index >= RecordCount()) return 0;
  return records_[static_cast<size_t>(index)].type;
}

const TResRecordInfo* TResArchive::Record(int index) const {
  if (index < 0 || index >= RecordCount()) return nullptr;
  return &records_[static_cast<size_t>(index)];
}

int TResArchive::IndexOf(std::string_view name) const {
  for (size_t i = 0; i < records_.size(); ++i) {
    if (SameName1251(records_[i].name, name)) return static_cast<int>(i);
  }
  return -1;
}

bool TResArchive::ReadRecord(std::string_view name, std::vector<uint8_t>& data) {
  const int index = IndexOf(name);
  if (index < 0) {
    data.clear();
    return Fail(fileName_ + ": no record named " + std::string(name));
  }
  return ReadRecord(index, data);
}

bool TResArchive::ReadRecord(int index, std::vector<uint8_t>& data) {
  data.clear();
  error_.clear();
  if (!opened_) return Fail("archive " + fileName_ + " is not open");
  Fd fd(::open(fileName_.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return Fail("cannot open " + fileName_ + ": " + std::strerror(errno));
  // The index stays valid while the file keeps its size; a rewritten archive is re-indexed
  // (by name, so the caller still gets the record it asked for).
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return Fail("cannot read " + fileName_);
  if (st.st_size != fileSize_) {
    const TResRecordInfo* old = Record(index);
    const std::string wanted = old ? old->name : std::string();
    if (!ReadIndex(fd.get())) {
      opened_ = false;
      return false;
    }
    index = IndexOf(wanted);
  }
  const TResRecordInfo* r = Record(index);
  if (!r) return Fail(fileName_ + ": no such record");
  const std::string what = fileName_ + ": record " + r->name;
  if (r->cipher != 0) return Fail(what + " is enciphered");
  if (r->storedSize < 0 || r->unpackedSize < 0) return Fail(what + " has a negative size");
  const int64_t dataOffset = r->offset + static_cast<int64_t>(kRecordHeaderSize);
  if (r->storedSize > fileSize_ - dataOffset) return Fail(what + " runs past the end of the file");
  if (r->unpackedSize > kMaxRecordSize) return Fail(what + " is larger than the record size limit");
  if (r->unpackedSize > int64_t{r->storedSize} * kMaxInflateRatio + 64) {
    return Fail(what + " claims more data than its stored bytes can hold");
  }
  std::vector<uint8_t> stored(static_cast<size_t>(r->storedSize));
  if (!ReadAt(fd.get(), dataOffset, stored.data(), stored.size())) return Fail("cannot read " + what);
  data.resize(static_cast<size_t>(r->unpackedSize));
  uLongf produced = static_cast<uLongf>(data.size());
  uLong consumed = static_cast<uLong>(stored.size());
  uint8_t dummy = 0;  // zlib wants a non-null target even for an empty record
  const int rc = ::uncompress2(data.empty() ? &dummy : data.data(), &produced, stored.data(), &consumed);
  if (rc != Z_OK || produced != data.size()) {
    data.clear();
    return Fail(what + (rc == Z_DATA_ERROR ? " holds damaged compressed data"
                                           : " does not inflate to its unpacked size"));
  }
  return true;
}

bool TResArchive::ReadRecordToStream(std::string_view name, std::ostream& out) {
  std::vector<uint8_t> data;
  if (!ReadRecord(name, data)) return false;
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  return static_cast<bool>(out);
}

bool WriteResArchive(const std::string& path, const std::vector<TResPackEntry>& entries, std::string& error) {
  std::vector<uint8_t> out = EmptyArchive();
  std::vector<uint32_t> offsets;
  offsets.reserve(entries.size());
  constexpr int64_t kMaxOffset = std::numeric_limits<int32_t>::max();
  for (const TResPackEntry& e : entries) {
    if (e.data.size() > static_cast<size_t>(TResArchive::kMaxRecordSize)) {
      error = "record " + e.name + " is larger than " + std::to_string(TResArchive::kMaxRecordSize) + " bytes";
      return false;
    }
    std::vector<uint8_t> packed(compressBound(static_cast<uLong>(e.data.size())));
    uLongf packedSize = static_cast<uLongf>(packed.size());
    if (compress2(packed.data(), &packedSize, e.data.data(), static_cast<uLong>(e.data.size()), 9) != Z_OK) {
      error = "cannot compress record " + e.name;
      return false;
    }
    if (static_cast<int64_t>(out.size()) > kMaxOffset) {
      error = "the archive would exceed 2 GiB";
      return false;
    }
    offsets.push_back(static_cast<uint32_t>(out.size()));
    Put16(out, e.type);
    Put32(out, static_cast<uint32_t>(e.data.size()));
    Put32(out, static_cast<uint32_t>(packedSize));
    uint64_t bits = 0;
    std::memcpy(&bits, &e.timeStamp, sizeof bits);
    Put32(out, static_cast<uint32_t>(bits));
    Put32(out, static_cast<uint32_t>(bits >> 32));
    out.insert(out.end(), 16 + 2 + 8, 0);  // digest (not interpreted), cipher flag and value
    out.insert(out.end(), packed.begin(), packed.begin() + static_cast<ptrdiff_t>(packedSize));
  }
  if (static_cast<int64_t>(out.size()) > kMaxOffset) {
    error = "the archive would exceed 2 GiB";
    return false;
  }
  Set32(out, 4, static_cast<uint32_t>(entries.size()));
  Set32(out, 8, static_cast<uint32_t>(out.size()));
  for (size_t i = 0; i < entries.size(); ++i) {
    Put32(out, static_cast<uint32_t>(entries[i].name.size()));
    out.insert(out.end(), entries[i].name.begin(), entries[i].name.end());
    Put32(out, offsets[i]);
  }
  return WriteFileAtomically(path, out.data(), out.size(), error);
}

}  // namespace qx
