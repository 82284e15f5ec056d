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
  // The music that plays now (fading in or playing, not fading out) and the volume it was
  // asked for, for a save slot; false when none does.
  virtual bool CurrentMusic(std::string& name, int32_t& volume) const {
    (void)name;
    (void)volume;
    return false;
  }
};

}  // namespace qx
