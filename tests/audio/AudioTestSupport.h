// Helpers of the audio tests: synthetic sources, measurements of mixed sound, fixtures.
#pragma once

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "ScratchFiles.h"
#include "runtime/AudioMixer.h"

namespace qx::test {

inline std::string AudioData(const std::string& name) { return std::string(QX_TEST_DATA_DIR) + "/audio/" + name; }

// Frames computed by a function of the frame number and channel, as 16-bit values.
class FunctionSource : public AudioSource {
 public:
  using Generator = std::function<int16_t(size_t frame, int channel)>;
  FunctionSource(int rate, int channels, size_t frames, Generator generator)
      : rate_(rate), channels_(channels), frames_(frames), generator_(std::move(generator)) {}
  int Rate() const override { return rate_; }
  int Channels() const override { return channels_; }
  size_t Read(int16_t* out, size_t frames) override {
    size_t n = 0;
    for (; n < frames && position_ < frames_; ++n, ++position_) {
      for (int c = 0; c < channels_; ++c) out[n * channels_ + c] = generator_(position_, c);
    }
    ++reads;
    return n;
  }
  bool Rewind() override {
    ++rewinds;
    if (!canRewind) return false;
    position_ = 0;
    return true;
  }
  bool canRewind = true;
  int reads = 0;
  int rewinds = 0;

 private:
  int rate_, channels_;
  size_t frames_;
  size_t position_ = 0;
  Generator generator_;
};

// A constant value: what comes out is exactly that value times the channel's gain.
inline std::unique_ptr<FunctionSource> Constant(int16_t value, size_t frames, int rate = 44100, int channels = 1) {
  return std::make_unique<FunctionSource>(rate, channels, frames, [value](size_t, int) { return value; });
}

// Each frame holds its own number (left) and its negative (right): where a playback is.
inline std::unique_ptr<FunctionSource> Counter(size_t frames, int rate = 44100) {
  return std::make_unique<FunctionSource>(rate, 2, frames, [](size_t f, int c) {
    return static_cast<int16_t>(c == 0 ? static_cast<int>(f) : -static_cast<int>(f));
  });
}

inline std::unique_ptr<FunctionSource> Sine(int rate, double hz, double amplitude, size_t frames, int channels = 1) {
  return std::make_unique<FunctionSource>(rate, channels, frames, [=](size_t f, int) {
    return static_cast<int16_t>(std::lround(amplitude * 32767.0 * std::sin(2 * M_PI * hz * f / rate)));
  });
}

inline float Level(int16_t value) { return static_cast<float>(value) / 32768.0f; }

// Mixed stereo frames.
struct Mixed {
  std::vector<float> values;
  size_t Frames() const { return values.size() / 2; }
  float L(size_t f) const { return values[f * 2]; }
  float R(size_t f) const { return values[f * 2 + 1]; }
};

inline Mixed MixFrames(AudioMixer& mixer, size_t frames, size_t block = 512) {
  Mixed m;
  m.values.resize(frames * 2);
  for (size_t at = 0; at < frames; at += block) mixer.Mix(m.values.data() + at * 2, std::min(block, frames - at));
  return m;
}

// Frequency of one channel of interleaved frames from its rising zero crossings.
inline double Frequency(const std::vector<float>& values, int channels, int channel, int rate, size_t from = 0,
                        size_t to = SIZE_MAX) {
  // A crossing counts once the signal has been clearly below zero, so that coding noise
  // around zero does not add crossings.
  constexpr float kHysteresis = 0.05f;
  int crossings = 0;
  size_t first = 0, last = 0;
  bool armed = false;
  for (size_t f = from; f < values.size() / channels && f < to; ++f) {
    const float v = values[f * channels + channel];
    if (v < -kHysteresis) armed = true;
    if (armed && v >= 0) {
      armed = false;
      if (crossings == 0) first = f;
      last = f;
      ++crossings;
    }
  }
  if (crossings < 2) return 0;
  return (crossings - 1) * static_cast<double>(rate) / static_cast<double>(last - first);
}

// The first frame whose value in `channel` stands clearly above silence (lossy coders may
// start with a little).
inline size_t FirstSound(const std::vector<float>& values, int channels, int channel) {
  for (size_t f = 0; f < values.size() / channels; ++f) {
    if (std::fabs(values[f * channels + channel]) > 0.05f) return f;
  }
  return values.size() / channels;
}

inline double Rms(const std::vector<float>& values, int channels, int channel, size_t from = 0, size_t to = SIZE_MAX) {
  double sum = 0;
  size_t n = 0;
  for (size_t f = from; f < values.size() / channels && f < to; ++f, ++n) {
    const double v = values[f * channels + channel];
    sum += v * v;
  }
  return n ? std::sqrt(sum / n) : 0;
}

}  // namespace qx::test
