// Picks a decoder by the first bytes of the data, whatever the file's name says.
#include "platform/audio/SoundDecoders.h"

#include <cstdio>
#include <cstring>

#include "base/Log.h"

namespace qx {

std::unique_ptr<AudioSource> SoundDecoders::Open(std::unique_ptr<ByteReader> reader) {
  if (!reader) return nullptr;
  uint8_t head[12] = {};
  const size_t n = reader->Read(head, sizeof head);
  if (!reader->Seek(0, SEEK_SET)) return nullptr;
  if (n >= 4 && std::memcmp(head, "OggS", 4) == 0) return OpenVorbis(std::move(reader));
  if (n >= 12 && std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WAVE", 4) == 0) {
    return OpenWav(std::move(reader));
  }
  if (n == 0) {
    LogDetail("audio", "empty sound file");
    return nullptr;
  }
  // MPEG audio has no fixed signature (an ID3 tag or a frame header may come first).
  return OpenMp3(std::move(reader));
}

std::unique_ptr<AudioSource> SoundDecoders::OpenFile(const std::string& path) {
  std::unique_ptr<ByteReader> reader = OpenFileReader(path);
  if (!reader) {
    LogDetail("audio", "cannot open " + path);
    return nullptr;
  }
  std::unique_ptr<AudioSource> source = Open(std::move(reader));
  if (!source) LogDetail("audio", "cannot decode " + path);
  return source;
}

std::unique_ptr<AudioSource> SoundDecoders::OpenMemory(std::shared_ptr<const std::vector<uint8_t>> data) {
  return Open(OpenMemoryReader(std::move(data)));
}

}  // namespace qx
