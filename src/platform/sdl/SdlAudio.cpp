#include "platform/sdl/SdlAudio.h"

#include <cstring>
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
  SDL_AudioSpec want{};
  want.freq = frequency;
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = 1024;
  want.callback = &SdlAudio::Callback;
  want.userdata = this;
  SDL_AudioSpec have{};
  device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (device_ == 0) {
    LogError("audio", std::string("cannot open the audio device: ") + SDL_GetError());
    return false;
  }
  SDL_PauseAudioDevice(device_, 0);
  return true;
}

void SdlAudio::Shutdown() {
  if (device_ != 0) SDL_CloseAudioDevice(device_);
  device_ = 0;
  if (subsystem_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  subsystem_ = false;
}

void SdlAudio::PauseAll() {
  if (device_ != 0) SDL_PauseAudioDevice(device_, 1);
}

void SdlAudio::ResumeAll() {
  if (device_ != 0) SDL_PauseAudioDevice(device_, 0);
}

void SdlAudio::Callback(void*, Uint8* stream, int length) { std::memset(stream, 0, length); }

}  // namespace qx
