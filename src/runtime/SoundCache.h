// TSoundCache: the media cache's sounds. Sound effects are samples (three playbacks each),
// music is looping streams that fade per process tick; both come from the game's "sounds"
// folder, else from the resource archive, and are kept for the whole run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "resources/GameFs.h"
#include "runtime/Audio.h"
#include "runtime/SoundPlayer.h"

namespace qx {

class TGfxTimer;
class TResArchive;

// Where the sound cache finds a sound (its cache name, see TSoundCache::CacheName): the file
// "sounds\NAME" in the game folder, else the archive's record of that name.
TFileSource LocateSound(TGameFs& fs, const TResArchive* archive, const std::string& cacheName);

class TSoundCache final : public SoundPlayer {
 public:
  // Playbacks of one sample at once; a fourth takes over the oldest.
  static constexpr int kPlaybacks = 3;
  // Process ticks of a music fade in (or to a new volume), and of a fade out.
  static constexpr int kFadeTicks = 60;
  static constexpr int kFadeOutTicks = 30;

  struct SampleEntry {
    std::string name;        // upper-cased file name
    AudioHandle sample = 0;  // 0: it could not be loaded, and is not tried again
  };
  struct MusicEntry {
    std::string name;         // upper-cased file name
    AudioHandle channel = 0;  // the stream; 0 when none could be created
    double level = 0;         // current relative volume, 0..1
    double step = 0;          // change of level per tick; 0 when not fading
    double target = 0;        // level at which the fade stops
  };

  // Sounds come from the "sounds" folder of `files`, else from `archive` (when given); the
  // timer (when given) is reset after a sample is decoded. SoundVolume and MusicVolume are
  // read from the runtime state at every call.
  TSoundCache(Audio& audio, TGameFs& files, TResArchive* archive = nullptr, TGfxTimer* timer = nullptr)
      : audio_(audio), files_(files), archive_(archive), timer_(timer) {}

  // Plays a sound effect once at `volume` percent of SoundVolume. A name that cannot be
  // loaded is tried with the extension "OGG" instead.
  void PlaySound(const std::string& name, int32_t volume) override { PlaySound(name, volume, true); }
  // `reportMissing` false keeps --verbose quiet about a sound that cannot be found.
  void PlaySound(const std::string& name, int32_t volume, bool reportMissing);
  // Starts the music `name` fading in to `volume` percent over 60 ticks, or fades it to that
  // volume if it plays already. Other music is not touched. The "OGG" alternative as above.
  void PlayMusic(const std::string& name, int32_t volume) override;
  // Every music fades out over 30 ticks and stops (screen changes, the built-in StopMuz).
  void FadeOutAllMusic() override;
  // One process tick of the music fades.
  void SoundTick();
  // After MusicVolume changed: the first playing music takes it at once (the others at the
  // next SoundTick).
  void ApplyMusicVolume() override;
  bool CurrentMusic(std::string& name, int32_t& volume) const override;
  // Forgets every entry (program end; the audio back end frees the sounds at its shutdown).
  void Clear();

  const std::vector<SampleEntry>& Samples() const { return samples_; }
  const std::vector<MusicEntry>& Music() const { return music_; }
  // The music entry of a name (upper-cased here), or nullptr.
  const MusicEntry* FindMusic(const std::string& name) const;

  // The name the cache keeps (1251 letters upper-cased), and its "OGG" alternative.
  static std::string CacheName(const std::string& name);
  static std::string OggName(const std::string& cacheName);

 private:
  enum class Where { None, Disk, Archive };
  // "sounds\" + name in the game folder (its disk path) or the archive (its bytes).
  Where Locate(const std::string& name, std::string& path, std::vector<uint8_t>& bytes);
  AudioHandle LoadSample(const std::string& name, bool reportMissing);
  AudioHandle CreateStream(const std::string& name);
  void SetVolume(AudioHandle channel, int32_t volume);

  Audio& audio_;
  TGameFs& files_;
  TResArchive* archive_;
  TGfxTimer* timer_;
  std::vector<SampleEntry> samples_;
  std::vector<MusicEntry> music_;
};

}  // namespace qx
