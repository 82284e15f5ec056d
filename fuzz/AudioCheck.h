// The body shared by the sound decoder targets: open the bytes as the sound cache opens a
// sample or a stream from memory, then decode, rewind and decode again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "FuzzSupport.h"
#include "platform/audio/SoundDecoders.h"

namespace qx::fuzz {

using Opener = std::unique_ptr<AudioSource> (*)(std::unique_ptr<ByteReader>);

inline int CheckSound(Opener open, const uint8_t* data, size_t size) {
  auto bytes = std::make_shared<const std::vector<uint8_t>>(data, data + size);
  std::unique_ptr<AudioSource> source = open(OpenMemoryReader(bytes));
  if (!source) return 0;
  QX_FUZZ_CHECK(source->Rate() > 0);
  QX_FUZZ_CHECK(source->Channels() == 1 || source->Channels() == 2);
  // A few seconds at most: a stream is decoded as it plays, never as a whole.
  constexpr size_t kChunk = 4096;
  std::vector<int16_t> out(kChunk * 2 + 1, 0);
  size_t total = 0;
  for (int i = 0; i < 64; ++i) {
    const size_t got = source->Read(out.data(), kChunk);
    QX_FUZZ_CHECK(got <= kChunk);
    total += got;
    if (got < kChunk) {
      QX_FUZZ_CHECK(source->Read(out.data(), kChunk) == 0);  // 0 from the end on
      break;
    }
  }
  if (source->Rewind()) {
    const size_t again = source->Read(out.data(), kChunk);
    QX_FUZZ_CHECK(again == (total < kChunk ? total : kChunk));
  }
  QX_FUZZ_CHECK(out.back() == 0);  // nothing written past the frames asked for
  return 0;
}

}  // namespace qx::fuzz
