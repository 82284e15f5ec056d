// RIFF WAVE: integer PCM (8, 16, 24, 32 bits) and float (32, 64 bits) are read here a block
// at a time; other encodings (ADPCM, A-law, mu-law ...) are decoded whole by SDL.
#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "base/Log.h"
#include "platform/audio/SoundDecoders.h"

namespace qx {
namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatFloat = 3;
constexpr uint16_t kFormatExtensible = 0xFFFE;
constexpr uint32_t kMaxRate = 384000;
constexpr int kMaxChannels = 64;
// Largest compressed WAV decoded whole through SDL, and largest result kept in memory.
constexpr int64_t kMaxCompressedBytes = int64_t{64} << 20;
constexpr int64_t kMaxDecodedBytes = int64_t{256} << 20;

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

inline int16_t FromFloat(double v) {
  if (!(v == v)) return 0;  // NaN
  return static_cast<int16_t>(std::clamp(std::nearbyint(v * 32768.0), -32768.0, 32767.0));
}

// One value of `bytes` bytes at `p` as 16 bits.
inline int16_t Value(const uint8_t* p, int bytes, bool isFloat) {
  if (isFloat) {
    if (bytes == 4) {
      float f;
      const uint32_t u = U32(p);
      std::memcpy(&f, &u, 4);
      return FromFloat(f);
    }
    uint64_t u = U32(p) | (static_cast<uint64_t>(U32(p + 4)) << 32);
    double d;
    std::memcpy(&d, &u, 8);
    return FromFloat(d);
  }
  switch (bytes) {
    case 1: return static_cast<int16_t>((p[0] - 128) * 256);
    case 2: return static_cast<int16_t>(U16(p));
    default: return static_cast<int16_t>(U16(p + bytes - 2));  // the top 16 bits
  }
}

struct WavLayout {
  uint16_t format = 0;
  int channels = 0;
  uint32_t rate = 0;
  int blockAlign = 0;
  int bits = 0;
  int64_t dataOffset = -1;
  int64_t dataSize = 0;
};

// Walks the chunks up to "data"; false when the file is not a WAV this reader understands.
bool ReadLayout(ByteReader& in, WavLayout& layout) {
  uint8_t head[12];
  if (in.Read(head, 12) != 12 || std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0) {
    return false;
  }
  bool haveFormat = false;
  for (;;) {
    uint8_t chunk[8];
    if (in.Read(chunk, 8) != 8) return false;
    const uint32_t size = U32(chunk + 4);
    const int64_t start = in.Tell();
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      uint8_t fmt[40] = {};
      if (size < 16) return false;
      const size_t n = std::min<size_t>(size, sizeof fmt);
      if (in.Read(fmt, n) != n) return false;
      layout.format = U16(fmt);
      layout.channels = U16(fmt + 2);
      layout.rate = U32(fmt + 4);
      layout.blockAlign = U16(fmt + 12);
      layout.bits = U16(fmt + 14);
      // The extensible header names the real encoding in its sub-format's first two bytes.
      if (layout.format == kFormatExtensible && size >= 40) layout.format = U16(fmt + 24);
      haveFormat = true;
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      if (!haveFormat) return false;
      layout.dataOffset = start;
      // Writers that could not seek back leave the size 0 or too large: the data runs to the end.
      const int64_t rest = in.Size() - start;
      layout.dataSize = (size == 0 || size > rest) ? rest : size;
      return true;
    }
    // Chunks are padded to an even length.
    if (!in.Seek(start + size + (size & 1), SEEK_SET)) return false;
  }
}

class WavSource final : public AudioSource {
 public:
  WavSource(std::unique_ptr<ByteReader> reader, const WavLayout& layout)
      : reader_(std::move(reader)), layout_(layout), bytes_(layout.bits / 8) {}

  int Rate() const override { return static_cast<int>(layout_.rate); }
  int Channels() const override { return layout_.channels == 1 ? 1 : 2; }

  size_t Read(int16_t* out, size_t frames) override {
    const int64_t left = (layout_.dataSize - read_) / layout_.blockAlign;
    frames = std::min<size_t>(frames, static_cast<size_t>(std::max<int64_t>(left, 0)));
    buffer_.resize(frames * layout_.blockAlign);
    const size_t got = reader_->Read(buffer_.data(), buffer_.size()) / layout_.blockAlign;
    read_ += static_cast<int64_t>(got) * layout_.blockAlign;
    const bool isFloat = layout_.format == kFormatFloat;
    const int out_channels = Channels();
    for (size_t f = 0; f < got; ++f) {
      const uint8_t* frame = buffer_.data() + f * layout_.blockAlign;
      out[f * out_channels] = Value(frame, bytes_, isFloat);
      if (out_channels == 2) out[f * 2 + 1] = Value(frame + bytes_, bytes_, isFloat);
    }
    if (got < frames) read_ = layout_.dataSize;  // a short read ends the sound
    return got;
  }

  bool Rewind() override {
    read_ = 0;
    return reader_->Seek(layout_.dataOffset, SEEK_SET);
  }

 private:
  std::unique_ptr<ByteReader> reader_;
  WavLayout layout_;
  int bytes_;
  int64_t read_ = 0;
  std::vector<uint8_t> buffer_;
};

std::unique_ptr<AudioSource> DecodeWithSdl(ByteReader& in, const WavLayout& layout) {
  if (in.Size() > kMaxCompressedBytes || !in.Seek(0, SEEK_SET)) return nullptr;
  std::vector<uint8_t> bytes(static_cast<size_t>(in.Size()));
  if (in.Read(bytes.data(), bytes.size()) != bytes.size()) return nullptr;
  // SDL reserves the data chunk's stated size before reading it: a header claiming 4 GiB in a
  // small file would have it reserve 4 GiB. It gets the size this reader settled on instead.
  const size_t sizeField = static_cast<size_t>(layout.dataOffset) - 4;
  for (int i = 0; i < 4; ++i) bytes[sizeField + i] = static_cast<uint8_t>(layout.dataSize >> (8 * i));
  SDL_RWops* rw = SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size()));
  if (!rw) return nullptr;
  SDL_AudioSpec spec{};
  Uint8* buffer = nullptr;
  Uint32 length = 0;
  if (!SDL_LoadWAV_RW(rw, 1, &spec, &buffer, &length)) {
    LogDetail("audio", std::string("WAV: ") + SDL_GetError());
    return nullptr;
  }
  std::unique_ptr<AudioSource> result;
  const int channels = spec.channels == 1 ? 1 : 2;
  SDL_AudioCVT cvt;
  if (spec.freq >= 1 && static_cast<uint32_t>(spec.freq) <= kMaxRate &&
      SDL_BuildAudioCVT(&cvt, spec.format, spec.channels, spec.freq, AUDIO_S16SYS, static_cast<Uint8>(channels),
                        spec.freq) >= 0 &&
      static_cast<int64_t>(length) * cvt.len_mult <= kMaxDecodedBytes) {
    std::vector<uint8_t> work(static_cast<size_t>(length) * cvt.len_mult);
    if (length) std::memcpy(work.data(), buffer, length);
    cvt.buf = work.data();
    cvt.len = static_cast<int>(length);
    if (SDL_ConvertAudio(&cvt) == 0) {
      std::vector<int16_t> values(static_cast<size_t>(cvt.len_cvt) / sizeof(int16_t));
      std::memcpy(values.data(), work.data(), values.size() * sizeof(int16_t));
      result = std::make_unique<PcmSource>(std::move(values), spec.freq, channels);
    }
  }
  SDL_FreeWAV(buffer);
  return result;
}

}  // namespace

std::unique_ptr<AudioSource> OpenWav(std::unique_ptr<ByteReader> reader) {
  if (!reader) return nullptr;
  WavLayout layout;
  if (!ReadLayout(*reader, layout) || layout.channels < 1 || layout.channels > kMaxChannels || layout.rate < 1 ||
      layout.rate > kMaxRate) {
    LogDetail("audio", "not a readable WAV file");
    return nullptr;
  }
  const bool pcm = layout.format == kFormatPcm && (layout.bits == 8 || layout.bits == 16 || layout.bits == 24 ||
                                                   layout.bits == 32);
  const bool isFloat = layout.format == kFormatFloat && (layout.bits == 32 || layout.bits == 64);
  if (pcm || isFloat) {
    if (layout.blockAlign != layout.channels * layout.bits / 8) {
      LogDetail("audio", "WAV block size does not match its format");
      return nullptr;
    }
    if (!reader->Seek(layout.dataOffset, SEEK_SET)) return nullptr;
    return std::make_unique<WavSource>(std::move(reader), layout);
  }
  std::unique_ptr<AudioSource> decoded = DecodeWithSdl(*reader, layout);
  if (!decoded) LogDetail("audio", "WAV encoding " + std::to_string(layout.format) + " does not decode");
  return decoded;
}

}  // namespace qx
