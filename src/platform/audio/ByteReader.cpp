// File readers over stdio (with their size taken once at open) and memory readers over
// shared bytes.
#include "platform/audio/ByteReader.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace qx {
namespace {

// The new position for Seek, or -1 when it falls outside 0..size.
int64_t Target(int64_t offset, int whence, int64_t position, int64_t size) {
  int64_t base = 0;
  if (whence == SEEK_CUR) base = position;
  else if (whence == SEEK_END) base = size;
  else if (whence != SEEK_SET) return -1;
  if ((offset > 0 && base > INT64_MAX - offset)) return -1;
  const int64_t to = base + offset;
  return (to < 0 || to > size) ? -1 : to;
}

class FileReader final : public ByteReader {
 public:
  FileReader(std::FILE* file, int64_t size) : file_(file), size_(size) {}
  ~FileReader() override { std::fclose(file_); }
  size_t Read(void* out, size_t size) override {
    const size_t n = std::fread(out, 1, size, file_);
    position_ += static_cast<int64_t>(n);
    return n;
  }
  bool Seek(int64_t offset, int whence) override {
    const int64_t to = Target(offset, whence, position_, size_);
    if (to < 0 || fseeko(file_, static_cast<off_t>(to), SEEK_SET) != 0) return false;
    position_ = to;
    return true;
  }
  int64_t Tell() const override { return position_; }
  int64_t Size() const override { return size_; }

 private:
  std::FILE* file_;
  int64_t size_;
  int64_t position_ = 0;
};

class MemoryReader final : public ByteReader {
 public:
  explicit MemoryReader(std::shared_ptr<const std::vector<uint8_t>> data) : data_(std::move(data)) {}
  size_t Read(void* out, size_t size) override {
    const size_t n = std::min(size, data_->size() - position_);
    if (n) std::memcpy(out, data_->data() + position_, n);
    position_ += n;
    return n;
  }
  bool Seek(int64_t offset, int whence) override {
    const int64_t to = Target(offset, whence, static_cast<int64_t>(position_), Size());
    if (to < 0) return false;
    position_ = static_cast<size_t>(to);
    return true;
  }
  int64_t Tell() const override { return static_cast<int64_t>(position_); }
  int64_t Size() const override { return static_cast<int64_t>(data_->size()); }

 private:
  std::shared_ptr<const std::vector<uint8_t>> data_;
  size_t position_ = 0;
};

}  // namespace

std::unique_ptr<ByteReader> OpenFileReader(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return nullptr;
  struct stat st {};
  if (::fstat(fileno(file), &st) != 0 || !S_ISREG(st.st_mode)) {
    std::fclose(file);
    return nullptr;
  }
  return std::make_unique<FileReader>(file, static_cast<int64_t>(st.st_size));
}

std::unique_ptr<ByteReader> OpenMemoryReader(std::shared_ptr<const std::vector<uint8_t>> data) {
  if (!data) return nullptr;
  return std::make_unique<MemoryReader>(std::move(data));
}

}  // namespace qx
