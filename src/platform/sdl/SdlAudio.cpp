#include "platform/sdl/SdlAudio.h"

#include <string>

#include "base/Log.h"

namespace qx {

SdlAudio::~SdlAudio() { Shutdown(); }

bool SdlAudio::LibraryAvailable() {
  if (!subsystem_) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
      LogDetail("audio", std::string("SDL audio: ") + SDL_GetError());
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
    LogError("audio", std::string("cannot open the audio device: ") + SDL_GetError());
    return false;
  }
  LogDetail("audio", "output at " + std::to_string(frequency) + " Hz on " +
                         (SDL_GetCurrentAudioDriver() ? SDL_GetCurrentAudioDriver() : "?"));
  SDL_PauseAudioDevice(device_, Paused() ? 1 : 0);
  return true;
}

void SdlAudio::Shutdown() {
  // The callback must be gone before the voices it mixes are freed.
  if (device_ != 0) SDL_CloseAudioDevice(device_);
  device_ = 0;
  AudioMixer::Shutdown();
  if (subsystem_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  subsystem_ = false;
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
