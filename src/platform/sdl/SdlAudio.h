// The audio device on SDL2. Until the mixer lands it plays silence; the shell uses it for
// the start-up checks and for pausing all output while the window is in the background.
#pragma once

#include <SDL.h>

#include "shell/Audio.h"

namespace qx {

class SdlAudio final : public Audio {
 public:
  ~SdlAudio() override;
  bool LibraryAvailable() override;
  bool Initialize(int frequency) override;
  void Shutdown() override;
  void PauseAll() override;
  void ResumeAll() override;

 private:
  static void Callback(void* self, Uint8* stream, int length);
  SDL_AudioDeviceID device_ = 0;
  bool subsystem_ = false;
};

}  // namespace qx
