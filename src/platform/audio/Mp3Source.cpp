// MPEG audio (MP3) through libmpg123, always decoded to 16-bit stereo a frame at a time.
#include <mpg123.h>

#include <algorithm>
#include <cstdio>
#include <mutex>

#include "base/Log.h"
#include "platform/audio/SoundDecoders.h"

namespace qx {
namespace {

constexpr long kMaxRate = 384000;

ssize_t ReadCallback(void* handle, void* out, size_t size) {
  return static_cast<ssize_t>(static_cast<ByteReader*>(handle)->Read(out, size));
}

off_t SeekCallback(void* handle, off_t offset, int whence) {
  auto* reader = static_cast<ByteReader*>(handle);
  return reader->Seek(offset, whence) ? static_cast<off_t>(reader->Tell()) : off_t{-1};
}

class Mp3Source final : public AudioSource {
 public:
  explicit Mp3Source(std::unique_ptr<ByteReader> reader) : reader_(std::move(reader)) {}
  ~Mp3Source() override {
    if (handle_) {
      mpg123_close(handle_);
      mpg123_delete(handle_);
    }
  }

  bool Open() {
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
    int error = MPG123_OK;
    handle_ = mpg123_new(nullptr, &error);
    if (!handle_) return false;
    mpg123_param(handle_, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    // Stereo 16-bit at the file's own rate: mono files are doubled by the library, so the
    // layout cannot change in mid-stream.
    mpg123_format_none(handle_);
    const long* rates = nullptr;
    size_t count = 0;
    mpg123_rates(&rates, &count);
    for (size_t k = 0; k < count; ++k) mpg123_format(handle_, rates[k], MPG123_STEREO, MPG123_ENC_SIGNED_16);
    if (mpg123_replace_reader_handle(handle_, &ReadCallback, &SeekCallback, nullptr) != MPG123_OK) return false;
    if (mpg123_open_handle(handle_, reader_.get()) != MPG123_OK) return false;
    long rate = 0;
    int channels = 0, encoding = 0;
    if (mpg123_getformat(handle_, &rate, &channels, &encoding) != MPG123_OK) return false;
    if (rate < 1 || rate > kMaxRate || channels != 2 || encoding != MPG123_ENC_SIGNED_16) return false;
    rate_ = static_cast<int>(rate);
    return true;
  }

  int Rate() const override { return rate_; }
  int Channels() const override { return 2; }

  size_t Read(int16_t* out, size_t frames) override {
    size_t done = 0;
    while (done < frames && !ended_) {
      size_t bytes = 0;
      const int result = mpg123_read(handle_, reinterpret_cast<unsigned char*>(out + done * 2),
                                     (frames - done) * 2 * sizeof(int16_t), &bytes);
      done += bytes / (2 * sizeof(int16_t));
      if (result == MPG123_NEW_FORMAT) continue;
      if (result != MPG123_OK) ended_ = true;  // the end, or data that does not decode
      else if (bytes == 0) ended_ = true;
    }
    return done;
  }

  // Opened afresh rather than sought: a seek leaves the decoder's state from the frames
  // before, so a loop would not sound the same each time round.
  bool Rewind() override {
    ended_ = false;
    mpg123_close(handle_);
    return reader_->Seek(0, SEEK_SET) && mpg123_open_handle(handle_, reader_.get()) == MPG123_OK;
  }

 private:
  std::unique_ptr<ByteReader> reader_;
  mpg123_handle* handle_ = nullptr;
  bool ended_ = false;
  int rate_ = 0;
};

}  // namespace

std::unique_ptr<AudioSource> OpenMp3(std::unique_ptr<ByteReader> reader) {
  if (!reader) return nullptr;
  auto source = std::make_unique<Mp3Source>(std::move(reader));
  if (!source->Open()) {
    LogDetail("audio", "not a readable MPEG audio stream");
    return nullptr;
  }
  return source;
}

}  // namespace qx
