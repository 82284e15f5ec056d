#include "runtime/SoundCache.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "AudioTestSupport.h"
#include "platform/audio/SoundDecoders.h"
#include "platform/null/NullAudio.h"
#include "render/GfxTimer.h"
#include "resources/GameFs.h"
#include "resources/ResArchive.h"
#include "runtime/RuntimeState.h"

namespace qx {
namespace {

// Counts how often the frame timer re-reads its clock (each Reset reads it once).
class CountingClock final : public TimerClock {
 public:
  int64_t Now() override {
    ++reads;
    return 0;
  }
  void SleepMs(int) override {}
  int reads = 0;
};

struct CacheRig {
  test::ScratchDir dir;
  NullAudio audio;
  CountingClock clock;
  TGfxTimer timer{clock};
  TResArchive archive;
  TGameFs files{dir.path().string()};
  TSoundCache cache{audio, files, &archive, &timer};

  CacheRig() {
    ResetRuntime();
    clock.reads = 0;
  }
  ~CacheRig() { ResetRuntime(); }

  std::string File(const std::string& name, const std::string& content = "sound") {
    const std::string path = dir / name;
    test::WriteBytes(path, std::vector<uint8_t>(content.begin(), content.end()));
    return path;
  }
  void Archive(const std::vector<std::pair<std::string, std::string>>& records) {
    std::vector<TResPackEntry> entries;
    for (const auto& [name, content] : records) {
      TResPackEntry e;
      e.name = name;
      e.data.assign(content.begin(), content.end());
      entries.push_back(e);
    }
    std::string error;
    ASSERT_TRUE(WriteResArchive(dir / "res.dat", entries, error)) << error;
    archive.SetFileName(dir / "res.dat");
    ASSERT_TRUE(archive.Open());
  }
  void Ticks(int n) {
    for (int i = 0; i < n; ++i) cache.SoundTick();
  }
  int Volume(AudioHandle channel) const { return audio.Find(channel)->attributes.volume; }
};

// --- sound effects -----------------------------------------------------------------------------

TEST(SoundCache, PlaySoundLoadsFromTheSoundsFolderWhateverTheCase) {
  CacheRig rig;
  const std::string path = rig.File("Sounds/Click.Wav");
  Runtime().SoundVolume = 80;
  rig.cache.PlaySound("click.WAV", 50);
  const std::vector<std::string> expected = {
      "SampleLoad(3) " + path + " -> 1",
      "SampleGetChannel 1 -> 2",
      "ChannelSetAttributes 2 44100 40 0",  // SoundVolume x volume div 100; frequency and pan kept
      "ChannelPlay 2",                      // no restart
  };
  EXPECT_EQ(rig.audio.calls, expected);
  ASSERT_EQ(rig.cache.Samples().size(), 1u);
  EXPECT_EQ(rig.cache.Samples()[0].name, "CLICK.WAV");
  EXPECT_EQ(rig.clock.reads, 1);  // loading reset the frame timer's clock

  rig.cache.PlaySound("Click.wav", 100);  // loaded once; a new playback each time
  EXPECT_EQ(rig.audio.Count("SampleLoad"), 1);
  EXPECT_EQ(rig.audio.calls.back(), "ChannelPlay 3");
  EXPECT_EQ(rig.Volume(3), 80);
  EXPECT_EQ(rig.clock.reads, 1);
}

TEST(SoundCache, TheOggFileStandsInForAMissingOne) {
  CacheRig rig;
  const std::string ogg = rig.File("sounds/click.ogg");
  rig.cache.PlaySound("click.mp3", 100);
  EXPECT_EQ(rig.audio.Count("SampleLoad(3) " + ogg), 1);
  EXPECT_EQ(rig.audio.Count("ChannelPlay"), 1);
  ASSERT_EQ(rig.cache.Samples().size(), 2u);
  EXPECT_EQ(rig.cache.Samples()[0].name, "CLICK.MP3");  // remembered as missing
  EXPECT_EQ(rig.cache.Samples()[0].sample, 0u);
  EXPECT_EQ(rig.cache.Samples()[1].name, "CLICK.OGG");

  // Later plays find the OGG sample at once; the missing name is not looked for again.
  rig.cache.PlaySound("CLICK.MP3", 100);
  rig.File("sounds/click.mp3");
  rig.cache.PlaySound("click.mp3", 100);
  EXPECT_EQ(rig.audio.Count("SampleLoad"), 1);
  EXPECT_EQ(rig.audio.Count("ChannelPlay"), 3);
  EXPECT_EQ(rig.clock.reads, 2);
}

TEST(SoundCache, FailuresAreRememberedAndNotRetried) {
  CacheRig rig;
  rig.File("sounds/broken.wav", "");  // there, but no sound
  rig.cache.PlaySound("broken.wav", 100);
  rig.cache.PlaySound("nothing.wav", 100);
  EXPECT_EQ(rig.audio.Count("SampleLoad"), 1);
  EXPECT_EQ(rig.cache.Samples().size(), 4u);  // both names and both alternatives
  const int reads = rig.clock.reads;
  rig.cache.PlaySound("broken.wav", 100);
  rig.cache.PlaySound("BROKEN.OGG", 100);
  rig.cache.PlaySound("nothing.wav", 100);
  EXPECT_EQ(rig.audio.Count("SampleLoad"), 1);
  EXPECT_EQ(rig.audio.Count("SampleGetChannel"), 0);
  EXPECT_EQ(rig.cache.Samples().size(), 4u);
  EXPECT_EQ(rig.clock.reads, reads);
}

TEST(SoundCache, TheArchiveIsAskedWhenTheDiskHasNoFile) {
  CacheRig rig;
  rig.Archive({{"sounds\\boom.wav", "abc"}, {"SOUNDS\\DISK.WAV", "archived"}, {"sounds\\theme.ogg", "music!"}});
  const std::string disk = rig.File("sounds/disk.wav");
  rig.cache.PlaySound("Boom.wav", 100);
  EXPECT_EQ(rig.audio.Count("SampleLoad(3) memory:3 -> "), 1);
  rig.cache.PlaySound("disk.wav", 100);
  EXPECT_EQ(rig.audio.Count("SampleLoad(3) " + disk), 1);  // the disk comes first
  rig.cache.PlayMusic("theme.ogg", 100);
  EXPECT_EQ(rig.audio.Count("StreamCreate(loop) memory:6 -> "), 1);
  EXPECT_EQ(rig.audio.Count("ChannelPlay"), 3);
}

TEST(SoundCache, NamesStayInsideTheGameFolder) {
  CacheRig rig;
  rig.File("sounds/Voice/Hello.WAV");
  rig.File("outside.wav");
  rig.files = TGameFs(rig.dir.path().string() + "/sounds/");  // a game whose folder holds "Voice"
  rig.File("sounds/sounds/voice/hello.wav");
  rig.cache.PlaySound("voice\\hello.wav", 100);
  EXPECT_EQ(rig.audio.Count("SampleLoad(3) " + (rig.dir / "sounds/sounds/voice/hello.wav")), 1);
  rig.cache.PlaySound("..\\..\\outside.wav", 100);
  rig.cache.PlaySound("/etc/passwd", 100);
  EXPECT_EQ(rig.audio.Count("SampleLoad"), 1);
}

TEST(SoundCache, VolumesAreWholePercentagesAndNeverOverflow) {
  CacheRig rig;
  rig.File("sounds/a.wav");
  Runtime().SoundVolume = 70;
  rig.cache.PlaySound("a.wav", 33);
  EXPECT_EQ(rig.Volume(2), 23);  // 70 x 33 div 100
  Runtime().SoundVolume = INT32_MAX;
  rig.cache.PlaySound("a.wav", INT32_MAX);
  EXPECT_EQ(rig.Volume(3), INT32_MAX);  // the back end clamps it to 100
  Runtime().SoundVolume = 100;
  rig.cache.PlaySound("a.wav", -5);
  EXPECT_EQ(rig.Volume(4), -5);
}

TEST(SoundCache, NameFolding) {
  EXPECT_EQ(TSoundCache::CacheName("Click.wav"), "CLICK.WAV");
  EXPECT_EQ(TSoundCache::CacheName("\xE7\xE2\xF3\xEA.wav"), "\xC7\xC2\xD3\xCA.WAV");  // 1251 letters too
  EXPECT_EQ(TSoundCache::OggName("CLICK.WAV"), "CLICK.OGG");
  EXPECT_EQ(TSoundCache::OggName("CLICK.OGG"), "CLICK.OGG");
  EXPECT_EQ(TSoundCache::OggName("AB"), "OGG");
  EXPECT_EQ(TSoundCache::OggName(""), "OGG");
}

// --- music ---------------------------------------------------------------------------------------

TEST(SoundCache, MusicFadesInFromSilenceOverSixtyTicks) {
  CacheRig rig;
  const std::string path = rig.File("sounds/theme.ogg");
  Runtime().MusicVolume = 50;
  rig.cache.PlayMusic("Theme.ogg", 80);
  const std::vector<std::string> expected = {
      "StreamCreate(loop) " + path + " -> 1",
      "ChannelSetAttributes 1 44100 0 0",
      "ChannelPlay 1 restart",
  };
  EXPECT_EQ(rig.audio.calls, expected);
  const TSoundCache::MusicEntry* m = rig.cache.FindMusic("theme.ogg");
  ASSERT_TRUE(m);
  EXPECT_EQ(m->level, 0.0);
  EXPECT_DOUBLE_EQ(m->step, 0.8 / 60);

  rig.Ticks(30);
  EXPECT_NEAR(m->level, 0.4, 1e-12);
  EXPECT_EQ(rig.Volume(1), 20);  // round(MusicVolume x level)
  rig.Ticks(30);
  EXPECT_EQ(m->level, 0.8);  // reached on the 60th tick
  EXPECT_EQ(m->step, 0.0);
  EXPECT_EQ(rig.Volume(1), 40);
  rig.Ticks(10);
  EXPECT_EQ(m->level, 0.8);
  EXPECT_EQ(rig.audio.Count("StreamCreate"), 1);
  EXPECT_EQ(rig.audio.Count("ChannelPlay"), 1);
  EXPECT_EQ(rig.clock.reads, 0);  // streams open quickly: the timer is left alone
}

TEST(SoundCache, PlayingMusicFadesToANewVolumeWithoutRestarting) {
  CacheRig rig;
  rig.File("sounds/theme.ogg");
  rig.cache.PlayMusic("theme.ogg", 80);
  rig.Ticks(60);
  rig.cache.PlayMusic("THEME.OGG", 40);
  const TSoundCache::MusicEntry* m = rig.cache.FindMusic("theme.ogg");
  EXPECT_DOUBLE_EQ(m->step, (0.4 - 0.8) / 60);
  rig.Ticks(60);
  EXPECT_DOUBLE_EQ(m->level, 0.4);
  EXPECT_EQ(m->step, 0.0);
  EXPECT_TRUE(rig.audio.ChannelIsActive(m->channel));  // a fade to a lower volume does not stop it
  EXPECT_EQ(rig.audio.Count("ChannelPlay"), 1);
  EXPECT_EQ(rig.audio.Count("ChannelStop"), 0);
}

TEST(SoundCache, FadeOutAllMusicStopsEveryStreamAfterThirtyTicks) {
  CacheRig rig;
  rig.File("sounds/a.ogg");
  rig.File("sounds/b.ogg");
  rig.cache.PlayMusic("a.ogg", 100);
  rig.Ticks(60);
  rig.cache.FadeOutAllMusic();
  rig.cache.PlayMusic("b.ogg", 100);  // a cross-fade: a goes down while b comes up
  const TSoundCache::MusicEntry* a = rig.cache.FindMusic("a.ogg");
  const TSoundCache::MusicEntry* b = rig.cache.FindMusic("b.ogg");
  EXPECT_DOUBLE_EQ(a->step, -1.0 / 30);
  rig.Ticks(29);
  EXPECT_TRUE(rig.audio.ChannelIsActive(a->channel));
  EXPECT_EQ(rig.Volume(a->channel), 2);  // round(50 x 1/30)
  rig.Ticks(1);
  EXPECT_EQ(a->level, 0.0);
  EXPECT_FALSE(rig.audio.ChannelIsActive(a->channel));
  EXPECT_EQ(rig.audio.Count("ChannelStop " + std::to_string(a->channel)), 1);
  EXPECT_EQ(rig.Volume(a->channel), 0);
  EXPECT_DOUBLE_EQ(b->level, 0.5);
  EXPECT_TRUE(rig.audio.ChannelIsActive(b->channel));

  // Started again it comes from the beginning, fading in.
  rig.cache.PlayMusic("a.ogg", 60);
  EXPECT_EQ(rig.audio.calls.back(), "ChannelPlay " + std::to_string(a->channel) + " restart");
  EXPECT_DOUBLE_EQ(a->step, 0.6 / 60);
}

TEST(SoundCache, SilentMusicStopsAtOnceWhenAllMusicFadesOut) {
  CacheRig rig;
  rig.File("sounds/a.ogg");
  rig.cache.PlayMusic("a.ogg", 100);  // its fade-in has not begun
  rig.cache.FadeOutAllMusic();
  const TSoundCache::MusicEntry* a = rig.cache.FindMusic("a.ogg");
  EXPECT_FALSE(rig.audio.ChannelIsActive(a->channel));
  EXPECT_EQ(a->step, 0.0);
  rig.cache.FadeOutAllMusic();  // nothing plays: nothing more to do
  EXPECT_EQ(rig.audio.Count("ChannelStop"), 1);
}

TEST(SoundCache, MissingMusicIsRememberedAndTheOggAlternativeServesBothNames) {
  CacheRig rig;
  rig.cache.PlayMusic("gone.mp3", 100);
  rig.cache.PlayMusic("GONE.MP3", 100);
  ASSERT_EQ(rig.cache.Music().size(), 1u);
  EXPECT_EQ(rig.cache.Music()[0].name, "GONE.MP3");
  EXPECT_EQ(rig.cache.Music()[0].channel, 0u);
  EXPECT_TRUE(rig.audio.calls.empty());
  rig.Ticks(3);

  rig.File("sounds/song.ogg");
  rig.cache.PlayMusic("song.mp3", 100);
  rig.Ticks(10);
  rig.cache.PlayMusic("Song.ogg", 50);  // the same music, re-targeted
  rig.cache.PlayMusic("song.mp3", 50);
  EXPECT_EQ(rig.audio.Count("StreamCreate"), 1);
  EXPECT_EQ(rig.audio.Count("ChannelPlay"), 1);
  ASSERT_EQ(rig.cache.Music().size(), 2u);
  EXPECT_EQ(rig.cache.Music()[1].name, "SONG.OGG");
}

TEST(SoundCache, MusicVolumeChangesReachTheFirstPlayingMusicAtOnce) {
  CacheRig rig;
  rig.File("sounds/a.ogg");
  rig.File("sounds/b.ogg");
  rig.File("sounds/c.ogg");
  rig.cache.PlayMusic("a.ogg", 100);
  rig.cache.PlayMusic("b.ogg", 100);
  rig.cache.PlayMusic("c.ogg", 100);
  rig.Ticks(60);
  rig.audio.ChannelStop(rig.cache.FindMusic("a.ogg")->channel);
  Runtime().MusicVolume = 20;
  rig.cache.ApplyMusicVolume();
  EXPECT_EQ(rig.Volume(rig.cache.FindMusic("b.ogg")->channel), 20);
  EXPECT_EQ(rig.Volume(rig.cache.FindMusic("c.ogg")->channel), 50);  // at the next tick
  rig.Ticks(1);
  EXPECT_EQ(rig.Volume(rig.cache.FindMusic("c.ogg")->channel), 20);
}

TEST(SoundCache, MusicThatEndedOnItsOwnIsLeftAlone) {
  CacheRig rig;
  rig.File("sounds/a.ogg");
  rig.cache.PlayMusic("a.ogg", 100);
  const TSoundCache::MusicEntry* a = rig.cache.FindMusic("a.ogg");
  rig.Ticks(5);
  rig.audio.End(a->channel);
  const size_t calls = rig.audio.calls.size();
  rig.Ticks(5);
  EXPECT_EQ(rig.audio.calls.size(), calls);
  EXPECT_NEAR(a->level, 5.0 / 60, 1e-12);
  rig.cache.Clear();
  EXPECT_TRUE(rig.cache.Music().empty());
  EXPECT_TRUE(rig.cache.Samples().empty());
}

// --- the real mixer and decoders -------------------------------------------------------------

TEST(SoundCache, MusicAndSoundsComeOutOfTheMixer) {
  CacheRig rig;
  test::WriteBytes(rig.dir / "sounds/theme.ogg", test::ReadBytes(test::AudioData("vorbis_stereo_44100.ogg")));
  test::WriteBytes(rig.dir / "sounds/click.wav", test::ReadBytes(test::AudioData("pcm16_stereo_22050.wav")));
  SoundDecoders decoders;
  AudioMixer mixer(&decoders);
  mixer.SetRampFrames(0);
  TSoundCache cache(mixer, rig.files);
  Runtime().MusicVolume = 100;
  constexpr size_t kTickFrames = 44100 / 30;
  auto tickRms = [&] {
    cache.SoundTick();
    const test::Mixed m = test::MixFrames(mixer, kTickFrames);
    return test::Rms(m.values, 2, 0);
  };

  cache.PlayMusic("theme.mp3", 100);  // only the OGG file exists
  std::vector<double> rms;
  for (int tick = 0; tick < 70; ++tick) rms.push_back(tickRms());
  EXPECT_LT(rms[0], 0.02);
  EXPECT_NEAR(rms[29] / rms[65], 0.5, 0.05);  // half way up at tick 30
  EXPECT_NEAR(rms[65], 0.5 / std::sqrt(2.0), 0.05);

  cache.FadeOutAllMusic();
  for (int tick = 0; tick < 30; ++tick) tickRms();
  EXPECT_EQ(tickRms(), 0.0);
  EXPECT_FALSE(mixer.ChannelIsActive(cache.FindMusic("theme.ogg")->channel));

  Runtime().SoundVolume = 100;
  cache.PlaySound("CLICK.WAV", 100);
  EXPECT_GT(tickRms(), 0.3);
  for (int tick = 0; tick < 8; ++tick) tickRms();  // a quarter of a second
  EXPECT_EQ(tickRms(), 0.0);
}

}  // namespace
}  // namespace qx
