// Writes 32-bit pictures as PNG files (screenshots, qxtool image decode).
#pragma once

#include <cstdint>
#include <string>

namespace qx {

// Pixels are 0xAARRGGBB, rows top to bottom, `width` pixels a row. The file is written to a
// temporary name first and renamed, so a failure never leaves half a picture behind.
bool WritePngFile(const std::string& path, const uint32_t* argb, int width, int height,
                  std::string& error);

}  // namespace qx
