// What the root and the built-ins ask of the sounds: a sound effect once, music faded in or
// to a new volume, every music faded out, and the player's music volume applied. The sound
// cache plays them; tests record them.
#pragma once

#include <cstdint>
#include <string>

namespace qx {

class SoundPlayer {
 public:
  virtual ~SoundPlayer() = default;
  // Volumes in percent of the player's sound or music volume.
  virtual void PlaySound(const std::string& name, int32_t volume) = 0;
  virtual void PlayMusic(const std::string& name, int32_t volume) = 0;
  virtual void FadeOutAllMusic() = 0;
  // After MusicVolume changed.
  virtual void ApplyMusicVolume() = 0;
};

}  // namespace qx
