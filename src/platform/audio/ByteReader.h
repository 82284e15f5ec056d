// Sound bytes from a file or from memory, read and sought by the decoders' callbacks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qx {

class ByteReader {
 public:
  virtual ~ByteReader() = default;
  // Up to `size` bytes; fewer at the end (0 there) or on a read error.
  virtual size_t Read(void* out, size_t size) = 0;
  // `whence` as for fseek; false (the position unchanged) outside 0..Size().
  virtual bool Seek(int64_t offset, int whence) = 0;
  virtual int64_t Tell() const = 0;
  virtual int64_t Size() const = 0;
};

// nullptr when the file cannot be opened or is not a regular file.
std::unique_ptr<ByteReader> OpenFileReader(const std::string& path);
std::unique_ptr<ByteReader> OpenMemoryReader(std::shared_ptr<const std::vector<uint8_t>> data);

}  // namespace qx
