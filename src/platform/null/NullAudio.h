// An audio back end without sound, for tests: every call that changes something is recorded
// as a line, files "load" when they can be read and are accepted (by default: not empty),
// and channels play until they are stopped or the test ends them.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "runtime/Audio.h"

namespace qx {

class NullAudio final : public Audio {
 public:
  struct Channel {
    AudioHandle sample = 0;  // the sample this is a playback of; 0 for a stream
    std::string source;      // the path, or "memory:" and the byte count
    bool loop = false;
    bool playing = false;
    int plays = 0;
    ChannelAttributes attributes;
  };

  bool LibraryAvailable() override { return available; }
  bool Initialize(int frequency) override;
  void Shutdown() override;
  void PauseAll() override;
  void ResumeAll() override;
  std::string FailureReason() const override { return reason; }
  bool InitializeSilent(int frequency) override;
  bool DeviceLost() override { return initialized && !silent && lost; }

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

  // The playback runs to its end (it stops without a ChannelStop).
  void End(AudioHandle channel);
  // The channel, or nullptr.
  const Channel* Find(AudioHandle channel) const;
  // How many recorded lines start with `prefix`.
  int Count(const std::string& prefix) const;

  bool available = true;
  bool initOk = true;
  bool initialized = false;
  bool silentOk = true;  // InitializeSilent succeeds
  bool silent = false;   // playing on the silent device
  bool lost = false;     // the device has gone (set by a test)
  std::string reason;
  bool paused = false;
  int frequency = 0;
  // Whether loaded bytes count as a sound; by default anything not empty.
  std::function<bool(const std::vector<uint8_t>&)> accepts;
  std::vector<std::string> calls;
  std::map<AudioHandle, std::string> samples;  // sample handle -> source
  std::map<AudioHandle, Channel> channels;

 private:
  AudioHandle Load(const std::string& call, const std::string& source, const std::vector<uint8_t>* bytes);
  // A stream channel over `source` (file name or "memory:SIZE").
  AudioHandle StreamCreate(const std::string& source, const std::vector<uint8_t>* bytes, bool loop);
  AudioHandle next_ = 1;
};

}  // namespace qx
