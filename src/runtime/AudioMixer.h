// AudioMixer: our own mixer behind the Audio calls. Samples with several playbacks, looping
// streams decoded bit by bit, per-channel volume and pan, resampling, pause of all output.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "runtime/Audio.h"

namespace qx {

// Decoded sound, read in order: interleaved signed 16-bit frames of one or two channels.
class AudioSource {
 public:
  virtual ~AudioSource() = default;
  virtual int Rate() const = 0;      // frames a second
  virtual int Channels() const = 0;  // 1 or 2
  // Up to `frames` frames into `out`; fewer only at the end of the sound, 0 from then on.
  // Damaged data ends the sound.
  virtual size_t Read(int16_t* out, size_t frames) = 0;
  // Back to the first frame; false when the source cannot go back.
  virtual bool Rewind() = 0;
};

// Frames already in memory, read from the start. `owner` keeps them alive (a sample's data
// shared by its playbacks, or a vector of the source's own).
class PcmSource final : public AudioSource {
 public:
  PcmSource(std::shared_ptr<const void> owner, const int16_t* values, size_t frames, int rate, int channels)
      : owner_(std::move(owner)), values_(values), frames_(frames), rate_(rate), channels_(channels) {}
  // Owns `values` (interleaved; a partial last frame is dropped).
  PcmSource(std::vector<int16_t> values, int rate, int channels);
  int Rate() const override { return rate_; }
  int Channels() const override { return channels_; }
  size_t Read(int16_t* out, size_t frames) override;
  bool Rewind() override {
    position_ = 0;
    return true;
  }

 private:
  std::shared_ptr<const void> owner_;
  const int16_t* values_;
  size_t frames_;
  size_t position_ = 0;
  int rate_, channels_;
};

// Opens sound files and bytes as sources. The platform's decoders (Ogg Vorbis, MP3, WAV)
// implement it; tests may hand the mixer sources of their own instead.
class AudioDecoders {
 public:
  virtual ~AudioDecoders() = default;
  // nullptr when the data is not a sound that can be decoded.
  virtual std::unique_ptr<AudioSource> OpenFile(const std::string& path) = 0;
  virtual std::unique_ptr<AudioSource> OpenMemory(std::shared_ptr<const std::vector<uint8_t>> data) = 0;
};

// The game thread makes every Audio call; the output side (SDL's audio thread, or a test)
// calls Mix. The two meet only in a small locked queue of commands and a few atomics: Mix
// owns the playing voices and their stream decoders and touches nothing else.
//
// Without a device the device calls only set the output rate and the pause flag, so tests
// and tools mix into their own buffers.
class AudioMixer : public Audio {
 public:
  static constexpr int kDefaultRate = 44100;
  // Largest sample decoded into memory, in 16-bit values (128 MB).
  static constexpr size_t kMaxSampleValues = size_t{64} << 20;
  // Most channels (stream channels and sample playbacks together) and samples.
  static constexpr size_t kMaxChannels = 4096;
  static constexpr size_t kMaxSamples = 65535;
  static constexpr int kMaxPlaybacks = 64;

  // `decoders` (may be null: only sources given by the caller then) must outlive the mixer.
  explicit AudioMixer(AudioDecoders* decoders, int outputRate = kDefaultRate);
  ~AudioMixer() override;
  AudioMixer(const AudioMixer&) = delete;
  AudioMixer& operator=(const AudioMixer&) = delete;

  bool LibraryAvailable() override { return true; }
  bool Initialize(int frequency) override;
  void Shutdown() override;
  void PauseAll() override;
  void ResumeAll() override;

  AudioHandle SampleLoad(const std::string& path, int maxPlaybacks) override;
  AudioHandle SampleLoadMemory(const uint8_t* data, size_t size, int maxPlaybacks) override;
  AudioHandle SampleGetChannel(AudioHandle sample) override;
  AudioHandle StreamCreateFile(const std::string& path, bool loop) override;
  AudioHandle StreamCreateMemory(std::vector<uint8_t> data, bool loop) override;
  bool ChannelPlay(AudioHandle channel, bool restart) override;
  bool ChannelStop(AudioHandle channel) override;
  bool ChannelIsActive(AudioHandle channel) override;
  bool ChannelGetAttributes(AudioHandle channel, ChannelAttributes& attributes) override;
  bool ChannelSetAttributes(AudioHandle channel, const ChannelAttributes& attributes) override;

  // A sample decoded whole from `source`; a stream that reads `source` while it plays.
  AudioHandle SampleFromSource(AudioSource& source, int maxPlaybacks);
  AudioHandle StreamFromSource(std::unique_ptr<AudioSource> source, bool loop);

  // Output side: writes `frames` stereo frames (interleaved floats in -1..1) over `out`.
  // Silence while paused. Never blocks on the game thread for longer than a queue swap.
  void Mix(float* out, size_t frames);

  int OutputRate() const { return outputRate_; }
  bool Paused() const { return paused_.load(std::memory_order_relaxed); }
  // Volume and pan changes of a playing channel glide over this many output frames (10 ms
  // at 44100 Hz by default) so that a fade does not crackle; 0 makes them immediate.
  void SetRampFrames(int frames);

 protected:
  // Frees every sample, stream and channel. Only while nothing calls Mix.
  void Clear();

 private:
  struct Voice;
  struct Command;
  struct SampleData;
  struct ChannelState;
  struct SampleState;

  ChannelState* FindChannel(AudioHandle handle, uint32_t* index = nullptr);
  // A new channel around `source`; kMaxChannels when there is no room.
  uint32_t AddChannel(std::unique_ptr<AudioSource> source, bool loop, int sample);
  void Post(Command&& command);
  void SendAttributes(uint32_t index, const ChannelState& state);
  bool IsActive(const ChannelState& state) const;

  // Output side.
  void ApplyCommands();
  void Apply(Command& command);
  void MixVoice(Voice& voice, float* out, size_t frames);

  AudioDecoders* decoders_;
  int outputRate_;
  std::atomic<bool> paused_{false};

  // Game thread.
  std::vector<ChannelState> channels_;
  std::vector<SampleState> samples_;
  uint64_t clock_ = 0;  // orders acquisitions and plays of sample playbacks

  std::mutex queueLock_;
  std::vector<Command> queue_;  // guarded by queueLock_

  // Output side.
  std::vector<Command> applying_;
  std::vector<std::unique_ptr<Voice>> voices_;  // by channel index
  int mixRate_;
  int rampFrames_;
};

}  // namespace qx
