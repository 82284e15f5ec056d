// MP3 sounds from memory, as the sound cache hands archive records and files to the decoder.
#include "AudioCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return qx::fuzz::CheckSound(&qx::OpenMp3, data, size);
}
