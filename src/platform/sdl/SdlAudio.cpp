#include "platform/sdl/SdlAudio.h"

#include <string>

#include "base/Log.h"

namespace qx {

SdlAudio::~SdlAudio() { Shutdown(); }

bool SdlAudio::LibraryAvailable() {
  if (!subsystem_) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
      reason_ = SDL_GetError();
      LogDetail("audio", "SDL audio: " + reason_);
      return false;
    }
    subsystem_ = true;
  }
  return true;
}

bool SdlAudio::Initialize(int frequency) {
  if (!subsystem_ && !LibraryAvailable()) return false;
  if (device_ != 0) return true;
  if (!AudioMixer::Initialize(frequency)) return false;
  SDL_AudioSpec want{};
  want.freq = frequency;
  want.format = AUDIO_F32SYS;
  want.channels = 2;
  want.samples = 1024;  // 23 ms at 44100 Hz
  want.callback = &SdlAudio::Callback;
  want.userdata = this;
  SDL_AudioSpec have{};
  // No changes allowed: SDL converts to whatever the hardware takes, and the mixer always
  // works at the rate asked for.
  device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (device_ == 0) {
    reason_ = std::string("cannot open the audio device: ") + SDL_GetError();
    LogDetail("audio", reason_);
    return false;
  }
  LogDetail("audio", "output at " + std::to_string(frequency) + " Hz on " +
                         (SDL_GetCurrentAudioDriver() ? SDL_GetCurrentAudioDriver() : "?"));
  SDL_PauseAudioDevice(device_, Paused() ? 1 : 0);
  return true;
}

bool SdlAudio::InitializeSilent(int frequency) {
  // The mixer keeps its sounds and channels; only the device under it changes.
  if (device_ != 0) SDL_CloseAudioDevice(device_);
  device_ = 0;
  if (subsystem_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  subsystem_ = false;
  SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
  silent_ = true;
  return LibraryAvailable() && Initialize(frequency);
}

bool SdlAudio::DeviceLost() {
  // SDL goes on pulling the mix of a device that went, at its pace, and reports it stopped.
  return device_ != 0 && !silent_ && SDL_GetAudioDeviceStatus(device_) == SDL_AUDIO_STOPPED;
}

void SdlAudio::Shutdown() {
  // The callback must be gone before the voices it mixes are freed.
  if (device_ != 0) SDL_CloseAudioDevice(device_);
  device_ = 0;
  AudioMixer::Shutdown();
  if (subsystem_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  subsystem_ = false;
  if (silent_) SDL_ResetHint(SDL_HINT_AUDIODRIVER);
  silent_ = false;
}

void SdlAudio::PauseAll() {
  AudioMixer::PauseAll();
  if (device_ != 0) SDL_PauseAudioDevice(device_, 1);
}

void SdlAudio::ResumeAll() {
  AudioMixer::ResumeAll();
  if (device_ != 0) SDL_PauseAudioDevice(device_, 0);
}

void SdlAudio::Callback(void* self, Uint8* stream, int length) {
  static_cast<SdlAudio*>(self)->Mix(reinterpret_cast<float*>(stream),
                                    static_cast<size_t>(length) / (2 * sizeof(float)));
}

}  // namespace qx
