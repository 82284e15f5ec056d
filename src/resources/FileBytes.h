// Reading a whole binary file into memory with a size limit (pictures, archives, game files).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qx {

// False with a one-line reason when the file cannot be opened or read, is not a regular
// file, or holds more than `maxBytes`.
bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& data, std::string& error, size_t maxBytes);

}  // namespace qx
