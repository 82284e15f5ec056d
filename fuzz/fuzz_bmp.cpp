// BMP pictures from an archive record or a file of the game folder.
#include "PictureCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return qx::fuzz::CheckPicture(qx::TPictureFormat::Bmp, data, size);
}
