#include "runtime/AudioMixer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "AudioTestSupport.h"

namespace qx {
namespace {

using test::Constant;
using test::Counter;
using test::Level;
using test::MixFrames;

struct MixerRig {
  AudioMixer mixer{nullptr};
  MixerRig() { mixer.SetRampFrames(0); }

  AudioHandle Stream(std::unique_ptr<AudioSource> source, bool loop = false) {
    return mixer.StreamFromSource(std::move(source), loop);
  }
  void Volume(AudioHandle channel, int volume, int pan = 0) {
    ChannelAttributes a;
    ASSERT_TRUE(mixer.ChannelGetAttributes(channel, a));
    a.volume = volume;
    a.pan = pan;
    ASSERT_TRUE(mixer.ChannelSetAttributes(channel, a));
  }
};

TEST(AudioMixer, VolumeAndPanScaleEachChannel) {
  MixerRig rig;
  const AudioHandle s = rig.Stream(Constant(16384, 10000));
  ASSERT_NE(s, 0u);
  rig.Volume(s, 40);
  ASSERT_TRUE(rig.mixer.ChannelPlay(s, false));
  test::Mixed m = MixFrames(rig.mixer, 100);
  EXPECT_FLOAT_EQ(m.L(0), 0.2f);
  EXPECT_FLOAT_EQ(m.R(99), 0.2f);

  rig.Volume(s, 40, 50);  // half way to the right: the left side at half
  m = MixFrames(rig.mixer, 10);
  EXPECT_FLOAT_EQ(m.L(5), 0.1f);
  EXPECT_FLOAT_EQ(m.R(5), 0.2f);

  ChannelAttributes a;
  ASSERT_TRUE(rig.mixer.ChannelGetAttributes(s, a));
  EXPECT_EQ(a.frequency, 44100);
  EXPECT_EQ(a.volume, 40);
  EXPECT_EQ(a.pan, 50);
  a.volume = 250;
  a.pan = -300;
  ASSERT_TRUE(rig.mixer.ChannelSetAttributes(s, a));
  ASSERT_TRUE(rig.mixer.ChannelGetAttributes(s, a));
  EXPECT_EQ(a.volume, 100);  // clamped
  EXPECT_EQ(a.pan, -100);
  m = MixFrames(rig.mixer, 10);
  EXPECT_FLOAT_EQ(m.L(0), 0.5f);
  EXPECT_FLOAT_EQ(m.R(0), 0.0f);
}

TEST(AudioMixer, ChannelsAddUpAndTheSumIsClipped) {
  MixerRig rig;
  const AudioHandle a = rig.Stream(Constant(16384, 1000));
  const AudioHandle b = rig.Stream(Constant(8192, 1000));
  rig.mixer.ChannelPlay(a, false);
  rig.mixer.ChannelPlay(b, false);
  EXPECT_FLOAT_EQ(MixFrames(rig.mixer, 10).L(3), 0.75f);
  const AudioHandle c = rig.Stream(Constant(32767, 1000));
  rig.mixer.ChannelPlay(c, false);
  EXPECT_FLOAT_EQ(MixFrames(rig.mixer, 10).R(3), 1.0f);
}

TEST(AudioMixer, VolumeChangesGlideWhilePlaying) {
  MixerRig rig;
  rig.mixer.SetRampFrames(100);
  const AudioHandle s = rig.Stream(Constant(16384, 10000));
  rig.mixer.ChannelPlay(s, false);
  MixFrames(rig.mixer, 10);
  rig.Volume(s, 0);
  const test::Mixed m = MixFrames(rig.mixer, 200);
  EXPECT_GT(m.L(0), 0.49f);  // no jump ...
  for (size_t f = 1; f < 100; ++f) EXPECT_LE(m.L(f), m.L(f - 1));
  EXPECT_NEAR(m.L(50), 0.25f, 0.01f);  // ... a straight slide ...
  EXPECT_EQ(m.L(100), 0.0f);           // ... to silence
  EXPECT_EQ(m.L(199), 0.0f);
}

TEST(AudioMixer, AStartTakesTheVolumeAtOnce) {
  MixerRig rig;
  rig.mixer.SetRampFrames(100);
  const AudioHandle s = rig.Stream(Constant(16384, 10000));
  rig.Volume(s, 0);
  rig.mixer.ChannelPlay(s, false);
  EXPECT_EQ(MixFrames(rig.mixer, 10).L(0), 0.0f);
}

TEST(AudioMixer, ASampleEndsAndItsChannelGoesIdle) {
  MixerRig rig;
  auto source = Counter(300);
  const AudioHandle sample = rig.mixer.SampleFromSource(*source, 3);
  ASSERT_NE(sample, 0u);
  const AudioHandle ch = rig.mixer.SampleGetChannel(sample);
  ASSERT_NE(ch, 0u);
  EXPECT_FALSE(rig.mixer.ChannelIsActive(ch));
  rig.mixer.ChannelPlay(ch, false);
  EXPECT_TRUE(rig.mixer.ChannelIsActive(ch));
  const test::Mixed m = MixFrames(rig.mixer, 400);
  EXPECT_EQ(m.L(0), 0.0f);
  EXPECT_EQ(m.L(299), Level(299));
  EXPECT_EQ(m.R(299), Level(-299));
  EXPECT_EQ(m.L(300), 0.0f);
  EXPECT_FALSE(rig.mixer.ChannelIsActive(ch));
  // Played again without restart: from the start, since it ran to its end.
  rig.mixer.ChannelPlay(ch, false);
  EXPECT_EQ(MixFrames(rig.mixer, 2).L(1), Level(1));
}

TEST(AudioMixer, AFourthPlaybackTakesOverTheOldest) {
  MixerRig rig;
  auto source = Counter(30000);
  const AudioHandle sample = rig.mixer.SampleFromSource(*source, 3);
  AudioHandle ch[3];
  for (AudioHandle& h : ch) {
    h = rig.mixer.SampleGetChannel(sample);
    rig.mixer.ChannelPlay(h, false);
    MixFrames(rig.mixer, 100);
  }
  EXPECT_NE(ch[0], ch[1]);
  EXPECT_NE(ch[1], ch[2]);
  // Three playbacks at 300, 200 and 100 frames.
  EXPECT_FLOAT_EQ(MixFrames(rig.mixer, 1).L(0), Level(300) + Level(200) + Level(100));

  const AudioHandle fourth = rig.mixer.SampleGetChannel(sample);
  ASSERT_NE(fourth, 0u);
  EXPECT_FALSE(rig.mixer.ChannelIsActive(ch[0]));  // the oldest stopped ...
  EXPECT_FALSE(rig.mixer.ChannelPlay(ch[0], false));  // ... and its handle ended
  EXPECT_TRUE(rig.mixer.ChannelIsActive(ch[1]));
  EXPECT_TRUE(rig.mixer.ChannelIsActive(ch[2]));
  EXPECT_FLOAT_EQ(MixFrames(rig.mixer, 1).L(0), Level(201) + Level(101));
  rig.mixer.ChannelPlay(fourth, false);
  EXPECT_FLOAT_EQ(MixFrames(rig.mixer, 1).L(0), Level(202) + Level(102) + Level(0));
}

TEST(AudioMixer, AnIdlePlaybackIsUsedBeforeAnyIsTakenOver) {
  MixerRig rig;
  auto source = Counter(30000);
  const AudioHandle sample = rig.mixer.SampleFromSource(*source, 3);
  const AudioHandle a = rig.mixer.SampleGetChannel(sample);
  const AudioHandle b = rig.mixer.SampleGetChannel(sample);
  const AudioHandle c = rig.mixer.SampleGetChannel(sample);
  for (AudioHandle h : {a, b, c}) rig.mixer.ChannelPlay(h, false);
  MixFrames(rig.mixer, 10);
  rig.mixer.ChannelStop(b);
  rig.mixer.SampleGetChannel(sample);
  EXPECT_TRUE(rig.mixer.ChannelIsActive(a));  // the oldest plays on: b was free
  EXPECT_TRUE(rig.mixer.ChannelIsActive(c));
  EXPECT_FALSE(rig.mixer.ChannelPlay(b, false));
}

TEST(AudioMixer, LoopingStreamsWrapAroundAndOthersEnd) {
  MixerRig rig;
  const AudioHandle looping = rig.Stream(Counter(100), true);
  rig.mixer.ChannelPlay(looping, false);
  test::Mixed m = MixFrames(rig.mixer, 1000, 37);
  for (size_t f = 0; f < 1000; ++f) ASSERT_EQ(m.L(f), Level(static_cast<int16_t>(f % 100))) << f;
  EXPECT_TRUE(rig.mixer.ChannelIsActive(looping));
  rig.mixer.ChannelStop(looping);

  const AudioHandle once = rig.Stream(Counter(100), false);
  rig.mixer.ChannelPlay(once, false);
  m = MixFrames(rig.mixer, 150);
  EXPECT_EQ(m.L(99), Level(99));
  EXPECT_EQ(m.L(100), 0.0f);
  EXPECT_FALSE(rig.mixer.ChannelIsActive(once));
}

TEST(AudioMixer, EmptyOrUnrewindableLoopsEnd) {
  MixerRig rig;
  const AudioHandle empty = rig.Stream(Counter(0), true);
  ASSERT_NE(empty, 0u);
  rig.mixer.ChannelPlay(empty, false);
  MixFrames(rig.mixer, 100);
  EXPECT_FALSE(rig.mixer.ChannelIsActive(empty));

  auto source = Counter(50);
  source->canRewind = false;
  const AudioHandle stuck = rig.Stream(std::move(source), true);
  rig.mixer.ChannelPlay(stuck, false);
  const test::Mixed m = MixFrames(rig.mixer, 100);
  EXPECT_EQ(m.L(49), Level(49));
  EXPECT_EQ(m.L(50), 0.0f);
  EXPECT_FALSE(rig.mixer.ChannelIsActive(stuck));
}

TEST(AudioMixer, StopKeepsThePlaceAndRestartGoesBack) {
  MixerRig rig;
  const AudioHandle s = rig.Stream(Counter(10000));
  rig.mixer.ChannelPlay(s, false);
  MixFrames(rig.mixer, 100);
  rig.mixer.ChannelStop(s);
  EXPECT_FALSE(rig.mixer.ChannelIsActive(s));
  EXPECT_EQ(MixFrames(rig.mixer, 10).L(5), 0.0f);
  rig.mixer.ChannelPlay(s, false);
  EXPECT_EQ(MixFrames(rig.mixer, 1).L(0), Level(100));
  rig.mixer.ChannelPlay(s, true);
  EXPECT_EQ(MixFrames(rig.mixer, 1).L(0), Level(0));
}

TEST(AudioMixer, PauseSilencesEverythingAndResumeGoesOn) {
  MixerRig rig;
  const AudioHandle s = rig.Stream(Counter(10000));
  rig.mixer.ChannelPlay(s, false);
  MixFrames(rig.mixer, 100);
  rig.mixer.PauseAll();
  EXPECT_TRUE(rig.mixer.Paused());
  const test::Mixed quiet = MixFrames(rig.mixer, 500);
  for (float v : quiet.values) ASSERT_EQ(v, 0.0f);
  EXPECT_TRUE(rig.mixer.ChannelIsActive(s));
  rig.mixer.ResumeAll();
  EXPECT_EQ(MixFrames(rig.mixer, 1).L(0), Level(100));
}

TEST(AudioMixer, ResamplesFrom22050) {
  MixerRig rig;
  const AudioHandle s = rig.Stream(test::Sine(22050, 1000, 0.5, 22050));
  rig.mixer.ChannelPlay(s, false);
  const test::Mixed m = MixFrames(rig.mixer, 44100 + 100);
  EXPECT_NEAR(test::Frequency(m.values, 2, 0, 44100, 0, 44000), 1000.0, 1.0);
  EXPECT_NEAR(test::Rms(m.values, 2, 0, 0, 44100), 0.5 / std::sqrt(2.0), 0.005);
  EXPECT_NEAR(test::Rms(m.values, 2, 1, 0, 44100), 0.5 / std::sqrt(2.0), 0.005);
  // Twice as many frames come out as went in: one second of sound lasts one second.
  EXPECT_NE(m.L(44090), 0.0f);
  EXPECT_EQ(m.L(44105), 0.0f);
  EXPECT_FALSE(rig.mixer.ChannelIsActive(s));
}

TEST(AudioMixer, ResamplesFrom48000) {
  MixerRig rig;
  const AudioHandle s = rig.Stream(test::Sine(48000, 1000, 0.5, 48000));
  rig.mixer.ChannelPlay(s, false);
  const test::Mixed m = MixFrames(rig.mixer, 44100 + 100);
  EXPECT_NEAR(test::Frequency(m.values, 2, 0, 44100, 0, 44000), 1000.0, 1.0);
  EXPECT_NEAR(test::Rms(m.values, 2, 0, 0, 44100), 0.5 / std::sqrt(2.0), 0.005);
  EXPECT_EQ(m.L(44105), 0.0f);
  EXPECT_FALSE(rig.mixer.ChannelIsActive(s));
}

TEST(AudioMixer, TheSameRateComesOutUnchangedAndFrequencyChangesThePitch) {
  MixerRig rig;
  const AudioHandle s = rig.Stream(test::Sine(44100, 441, 0.5, 44100));
  rig.mixer.ChannelPlay(s, false);
  test::Mixed m = MixFrames(rig.mixer, 1000);
  for (size_t f = 0; f < 1000; ++f) {
    ASSERT_EQ(m.L(f), Level(static_cast<int16_t>(std::lround(0.5 * 32767.0 * std::sin(2 * M_PI * 441 * f / 44100)))));
  }
  ChannelAttributes a;
  rig.mixer.ChannelGetAttributes(s, a);
  a.frequency = 88200;
  rig.mixer.ChannelSetAttributes(s, a);
  m = MixFrames(rig.mixer, 10000);
  EXPECT_NEAR(test::Frequency(m.values, 2, 0, 44100), 882.0, 2.0);
  a.frequency = 0;  // back to the sound's own rate
  rig.mixer.ChannelSetAttributes(s, a);
  rig.mixer.ChannelGetAttributes(s, a);
  EXPECT_EQ(a.frequency, 44100);
}

TEST(AudioMixer, StereoSourcesKeepTheirSides) {
  MixerRig rig;
  auto source = std::make_unique<test::FunctionSource>(44100, 2, 100, [](size_t, int c) {
    return static_cast<int16_t>(c == 0 ? 1000 : -2000);
  });
  rig.mixer.ChannelPlay(rig.Stream(std::move(source)), false);
  const test::Mixed m = MixFrames(rig.mixer, 10);
  EXPECT_EQ(m.L(5), Level(1000));
  EXPECT_EQ(m.R(5), Level(-2000));
}

TEST(AudioMixer, BadHandlesAndSourcesAreRefused) {
  MixerRig rig;
  ChannelAttributes a;
  EXPECT_FALSE(rig.mixer.ChannelPlay(0, false));
  EXPECT_FALSE(rig.mixer.ChannelPlay(12345, false));
  EXPECT_FALSE(rig.mixer.ChannelStop(7));
  EXPECT_FALSE(rig.mixer.ChannelIsActive(7));
  EXPECT_FALSE(rig.mixer.ChannelGetAttributes(7, a));
  EXPECT_FALSE(rig.mixer.ChannelSetAttributes(7, a));
  EXPECT_EQ(rig.mixer.SampleGetChannel(0), 0u);

  auto source = Counter(10);
  const AudioHandle sample = rig.mixer.SampleFromSource(*source, 1);
  const AudioHandle stream = rig.Stream(Counter(10));
  EXPECT_FALSE(rig.mixer.ChannelPlay(sample, false));  // a sample is not a channel
  EXPECT_EQ(rig.mixer.SampleGetChannel(stream), 0u);   // a stream is not a sample

  EXPECT_EQ(rig.Stream(nullptr), 0u);
  EXPECT_EQ(rig.Stream(Counter(10, 0)), 0u);  // no rate
  EXPECT_EQ(rig.Stream(std::make_unique<test::FunctionSource>(44100, 3, 10, [](size_t, int) { return int16_t{0}; })),
            0u);
  auto silent = Counter(0);
  EXPECT_EQ(rig.mixer.SampleFromSource(*silent, 3), 0u);  // nothing to play
  // Without decoders files and bytes cannot load.
  EXPECT_EQ(rig.mixer.SampleLoad("/nonexistent", 3), 0u);
  EXPECT_EQ(rig.mixer.StreamCreateMemory({1, 2, 3}, true), 0u);
}

TEST(AudioMixer, ShutdownEndsEveryHandle) {
  MixerRig rig;
  const AudioHandle s = rig.Stream(Counter(100), true);
  rig.mixer.ChannelPlay(s, false);
  rig.mixer.Shutdown();
  EXPECT_FALSE(rig.mixer.ChannelIsActive(s));
  EXPECT_EQ(MixFrames(rig.mixer, 10).L(5), 0.0f);
}

// The game thread plays, stops and changes volumes while another thread mixes: nothing is
// lost or torn (best run under ThreadSanitizer).
TEST(AudioMixer, MixesOnAnotherThreadWhileTheGameThreadCommands) {
  AudioMixer mixer(nullptr);
  auto source = Counter(2000);
  const AudioHandle sample = mixer.SampleFromSource(*source, 3);
  std::vector<AudioHandle> streams;
  for (int i = 0; i < 4; ++i) streams.push_back(mixer.StreamFromSource(test::Sine(22050, 300 + i, 0.2, 5000), true));
  std::atomic<bool> done{false};
  std::atomic<int> blocks{0};
  std::thread output([&] {
    std::vector<float> buffer(256 * 2);
    while (!done.load()) {
      mixer.Mix(buffer.data(), 256);
      for (float v : buffer) {
        if (!(v >= -1.0f && v <= 1.0f)) std::abort();
      }
      ++blocks;
    }
  });
  for (int i = 0; i < 3000; ++i) {
    const AudioHandle ch = mixer.SampleGetChannel(sample);
    ChannelAttributes a;
    mixer.ChannelGetAttributes(ch, a);
    a.volume = i % 101;
    mixer.ChannelSetAttributes(ch, a);
    mixer.ChannelPlay(ch, false);
    const AudioHandle s = streams[i % streams.size()];
    if (i % 7 == 0) mixer.ChannelStop(s);
    else mixer.ChannelPlay(s, i % 11 == 0);
    mixer.ChannelIsActive(s);
    if (i % 500 == 0) mixer.PauseAll();
    if (i % 500 == 250) mixer.ResumeAll();
    if (i % 100 == 0) std::this_thread::yield();
  }
  while (blocks.load() < 10) std::this_thread::yield();
  done = true;
  output.join();
  mixer.ResumeAll();
  // Commands given last are in force once the output side has taken them.
  std::vector<float> buffer(64 * 2);
  mixer.Mix(buffer.data(), 64);
  for (AudioHandle s : streams) mixer.ChannelStop(s);
  mixer.Mix(buffer.data(), 64);
  for (AudioHandle s : streams) EXPECT_FALSE(mixer.ChannelIsActive(s));
}

}  // namespace
}  // namespace qx
