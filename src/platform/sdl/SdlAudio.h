// The audio device on SDL2: our mixer fed to SDL's audio callback, with the platform's
// decoders. The shell uses the device calls; the media cache plays samples and streams.
#pragma once

#include <SDL.h>

#include <string>

#include "platform/audio/SoundDecoders.h"
#include "runtime/AudioMixer.h"

namespace qx {

class SdlAudio final : public AudioMixer {
 public:
  SdlAudio() : AudioMixer(&decoders_) {}
  ~SdlAudio() override;
  bool LibraryAvailable() override;
  bool Initialize(int frequency) override;
  void Shutdown() override;
  void PauseAll() override;
  void ResumeAll() override;
  std::string FailureReason() const override { return reason_; }
  // SDL's dummy driver: it pulls the mix at the real rate and plays it nowhere.
  bool InitializeSilent(int frequency) override;
  bool DeviceLost() override;

 private:
  // SDL's audio thread: mixes straight into the device's buffer.
  static void Callback(void* self, Uint8* stream, int length);
  // Built after the mixer base, which only keeps its address until the first sound loads.
  SoundDecoders decoders_;
  SDL_AudioDeviceID device_ = 0;
  bool subsystem_ = false;
  bool silent_ = false;
  std::string reason_;
};

}  // namespace qx
