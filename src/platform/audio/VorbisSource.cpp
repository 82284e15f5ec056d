// Ogg Vorbis through libvorbisfile, decoded a packet at a time as the mixer asks.
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/Log.h"
#include "platform/audio/SoundDecoders.h"

namespace qx {
namespace {

constexpr long kMaxRate = 384000;

size_t ReadCallback(void* out, size_t size, size_t count, void* handle) {
  if (size == 0) return 0;
  return static_cast<ByteReader*>(handle)->Read(out, size * count) / size;
}

int SeekCallback(void* handle, ogg_int64_t offset, int whence) {
  return static_cast<ByteReader*>(handle)->Seek(offset, whence) ? 0 : -1;
}

long TellCallback(void* handle) { return static_cast<long>(static_cast<ByteReader*>(handle)->Tell()); }

inline int16_t ToInt16(float v) {
  const float scaled = std::nearbyint(v * 32768.0f);
  return static_cast<int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
}

class VorbisSource final : public AudioSource {
 public:
  explicit VorbisSource(std::unique_ptr<ByteReader> reader) : reader_(std::move(reader)) {}
  ~VorbisSource() override {
    if (open_) ov_clear(&file_);
  }

  bool Open() {
    const ov_callbacks callbacks{&ReadCallback, &SeekCallback, nullptr, &TellCallback};
    if (ov_open_callbacks(reader_.get(), &file_, nullptr, 0, callbacks) != 0) return false;
    open_ = true;
    const vorbis_info* info = ov_info(&file_, -1);
    if (!info || info->channels < 1 || info->rate < 1 || info->rate > kMaxRate) return false;
    rate_ = static_cast<int>(info->rate);
    streamChannels_ = info->channels;
    // Front left and right of Vorbis's channel orders; a centre or rear channel is dropped.
    right_ = streamChannels_ == 1 ? 0 : (streamChannels_ == 2 || streamChannels_ == 4) ? 1 : 2;
    return true;
  }

  int Rate() const override { return rate_; }
  int Channels() const override { return streamChannels_ == 1 ? 1 : 2; }

  size_t Read(int16_t* out, size_t frames) override {
    size_t done = 0;
    const int channels = Channels();
    while (done < frames && !ended_) {
      float** pcm = nullptr;
      const int wanted = static_cast<int>(std::min<size_t>(frames - done, 4096));
      const long got = ov_read_float(&file_, &pcm, wanted, &section_);
      if (got == OV_HOLE) continue;  // a gap in the data; decoding goes on after it
      if (got <= 0) {
        ended_ = true;
        break;
      }
      const vorbis_info* info = ov_info(&file_, section_);
      // A chained file whose later part changes the layout ends where the change is.
      if (!info || info->channels != streamChannels_ || info->rate != rate_) {
        ended_ = true;
        break;
      }
      for (long k = 0; k < got; ++k) {
        out[(done + k) * channels] = ToInt16(pcm[0][k]);
        if (channels == 2) out[(done + k) * 2 + 1] = ToInt16(pcm[right_][k]);
      }
      done += static_cast<size_t>(got);
    }
    return done;
  }

  bool Rewind() override {
    ended_ = false;
    return ov_pcm_seek(&file_, 0) == 0;
  }

 private:
  std::unique_ptr<ByteReader> reader_;
  OggVorbis_File file_{};
  bool open_ = false;
  bool ended_ = false;
  int rate_ = 0;
  int streamChannels_ = 0;
  int right_ = 1;
  int section_ = 0;
};

}  // namespace

std::unique_ptr<AudioSource> OpenVorbis(std::unique_ptr<ByteReader> reader) {
  if (!reader) return nullptr;
  auto source = std::make_unique<VorbisSource>(std::move(reader));
  if (!source->Open()) {
    LogDetail("audio", "not a readable Ogg Vorbis stream");
    return nullptr;
  }
  return source;
}

}  // namespace qx
