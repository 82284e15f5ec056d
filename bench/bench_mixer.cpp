// What mixing costs: eight looping streams (at the output rate, and resampled from 22050
// and 48000 Hz) mixed into 44100 Hz stereo in the device's 1024-frame blocks. Prints the
// CPU milliseconds one second of sound takes (median of several rounds).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "runtime/AudioMixer.h"

namespace {

constexpr int kOutputRate = 44100;
constexpr int kStreams = 8;
constexpr int kSeconds = 10;
constexpr size_t kBlock = 1024;
constexpr int kRounds = 7;

// A looping stereo tone read from a table, so that producing the sound costs next to nothing
// and the figure is the mixer's own.
std::unique_ptr<qx::AudioSource> ToneSource(int rate, double hz) {
  std::vector<int16_t> table(static_cast<size_t>(rate) * 2);
  for (size_t f = 0; f < table.size() / 2; ++f) {
    const auto v = static_cast<int16_t>(8000 * std::sin(2 * M_PI * hz * static_cast<double>(f) / rate));
    table[2 * f] = v;
    table[2 * f + 1] = static_cast<int16_t>(-v);
  }
  return std::make_unique<qx::PcmSource>(std::move(table), rate, 2);
}

double MsPerSecondOfSound(int sourceRate) {
  std::vector<double> times;
  for (int round = 0; round < kRounds; ++round) {
    qx::AudioMixer mixer(nullptr, kOutputRate);
    for (int s = 0; s < kStreams; ++s) {
      const qx::AudioHandle h = mixer.StreamFromSource(ToneSource(sourceRate, 220.0 + 55 * s), true);
      qx::ChannelAttributes a;
      mixer.ChannelGetAttributes(h, a);
      a.volume = 50 + s;
      mixer.ChannelSetAttributes(h, a);
      mixer.ChannelPlay(h, false);
    }
    std::vector<float> out(kBlock * 2);
    const size_t blocks = static_cast<size_t>(kOutputRate) * kSeconds / kBlock;
    float sink = 0;
    const auto start = std::chrono::steady_clock::now();
    for (size_t b = 0; b < blocks; ++b) {
      mixer.Mix(out.data(), kBlock);
      sink += out[b % out.size()];
    }
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (sink == 12345.0f) std::printf(" ");  // keeps the work from being optimised away
    times.push_back(ms / kSeconds);
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace

int main() {
  std::printf("Mixing %d looping stereo streams into %d Hz stereo, %zu-frame blocks\n", kStreams, kOutputRate, kBlock);
  for (int rate : {44100, 22050, 48000}) {
    const double ms = MsPerSecondOfSound(rate);
    std::printf("  streams at %5d Hz: %6.2f ms of CPU per second of sound (%.2f %% of one core)\n", rate, ms,
                ms / 10.0);
  }
  return 0;
}
