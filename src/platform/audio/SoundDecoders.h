// The platform's sound decoders: Ogg Vorbis (libvorbisfile), MP3 (libmpg123) and WAV (PCM
// and float read here, compressed encodings through SDL), chosen by the data's first bytes.
#pragma once

#include <memory>

#include "platform/audio/ByteReader.h"
#include "runtime/AudioMixer.h"

namespace qx {

class SoundDecoders final : public AudioDecoders {
 public:
  std::unique_ptr<AudioSource> OpenFile(const std::string& path) override;
  std::unique_ptr<AudioSource> OpenMemory(std::shared_ptr<const std::vector<uint8_t>> data) override;
  // The decoder that fits the bytes at the reader's start ("OggS", "RIFF....WAVE", else MP3).
  static std::unique_ptr<AudioSource> Open(std::unique_ptr<ByteReader> reader);
};

// Each decoder on its own; nullptr (with a detail log line) when the data does not decode.
// The source owns the reader and reads it only as far as it plays.
std::unique_ptr<AudioSource> OpenVorbis(std::unique_ptr<ByteReader> reader);
std::unique_ptr<AudioSource> OpenMp3(std::unique_ptr<ByteReader> reader);
std::unique_ptr<AudioSource> OpenWav(std::unique_ptr<ByteReader> reader);

}  // namespace qx
