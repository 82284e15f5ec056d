// PNG pictures from an archive record or a file of the game folder.
#include <zlib.h>

#include <algorithm>
#include <vector>

#include "PictureCheck.h"

namespace {

// libpng stops at the first chunk whose CRC does not match, so nearly every mutation would end
// there. The input is decoded as it is, and again with every whole chunk's CRC made right, so
// mutations of the chunk contents reach the decoder.
std::vector<uint8_t> WithRightCrcs(const uint8_t* data, size_t size) {
  std::vector<uint8_t> out(data, data + size);
  size_t pos = 8;  // after the signature
  while (pos + 12 <= out.size()) {
    const uint8_t* p = out.data() + pos;
    const uint32_t length = uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
    if (length > out.size() - pos - 12) break;
    const uLong crc = crc32(crc32(0, nullptr, 0), p + 4, static_cast<uInt>(length) + 4);
    uint8_t* at = out.data() + pos + 8 + length;
    at[0] = static_cast<uint8_t>(crc >> 24);
    at[1] = static_cast<uint8_t>(crc >> 16);
    at[2] = static_cast<uint8_t>(crc >> 8);
    at[3] = static_cast<uint8_t>(crc);
    pos += 12 + size_t{length};
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qx::fuzz::CheckPicture(qx::TPictureFormat::Png, data, size);
  const std::vector<uint8_t> fixed = WithRightCrcs(data, size);
  if (size >= 8 && !std::equal(fixed.begin(), fixed.end(), data)) {
    qx::fuzz::CheckPicture(qx::TPictureFormat::Png, fixed.data(), fixed.size());
  }
  return 0;
}
