#include "platform/sdl/SdlAudio.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "AudioTestSupport.h"

namespace qx {
namespace {

// The real back end on SDL's dummy driver: its audio thread mixes as a sound card would.
class SdlAudioTest : public testing::Test {
 protected:
  void SetUp() override { setenv("SDL_AUDIODRIVER", "dummy", 1); }

  // Waits (at most a few seconds) for the channel to finish.
  static bool WaitUntilIdle(Audio& audio, AudioHandle channel) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (audio.ChannelIsActive(channel)) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
  }
};

TEST_F(SdlAudioTest, PlaysSamplesAndStreamsOnTheDevice) {
  SdlAudio audio;
  ASSERT_TRUE(audio.LibraryAvailable());
  ASSERT_TRUE(audio.Initialize(44100));
  EXPECT_EQ(audio.OutputRate(), 44100);

  const AudioHandle sample = audio.SampleLoad(test::AudioData("vorbis_mono_22050.ogg"), 3);
  ASSERT_NE(sample, 0u);
  const AudioHandle channel = audio.SampleGetChannel(sample);
  ASSERT_TRUE(audio.ChannelPlay(channel, false));
  EXPECT_TRUE(WaitUntilIdle(audio, channel));  // a quarter of a second of sound ran out

  const std::vector<uint8_t> bytes = test::ReadBytes(test::AudioData("mp3_stereo_44100.mp3"));
  const AudioHandle music = audio.StreamCreateMemory(bytes, true);
  ASSERT_NE(music, 0u);
  ASSERT_TRUE(audio.ChannelPlay(music, true));
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  EXPECT_TRUE(audio.ChannelIsActive(music));  // looping: still playing after its length
  audio.PauseAll();
  EXPECT_TRUE(audio.Paused());
  audio.ResumeAll();
  EXPECT_TRUE(audio.ChannelStop(music));
  EXPECT_FALSE(audio.ChannelIsActive(music));

  const AudioHandle once = audio.StreamCreateFile(test::AudioData("pcm16_stereo_22050.wav"), false);
  ASSERT_NE(once, 0u);
  audio.ChannelPlay(once, false);
  EXPECT_TRUE(WaitUntilIdle(audio, once));

  audio.Shutdown();
  EXPECT_FALSE(audio.ChannelIsActive(music));
  EXPECT_EQ(audio.SampleLoad(test::AudioData("missing.ogg"), 3), 0u);
}

// A driver that does not exist: the back end says why, and the silent device plays instead,
// keeping time, so sounds still end.
TEST_F(SdlAudioTest, WithoutAUsableDriverTheSilentDeviceKeepsTime) {
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  SdlAudio audio;
  EXPECT_FALSE(audio.LibraryAvailable() && audio.Initialize(44100));
  EXPECT_FALSE(audio.FailureReason().empty());
  ASSERT_TRUE(audio.InitializeSilent(44100));
  EXPECT_FALSE(audio.DeviceLost());
  const AudioHandle sample = audio.SampleLoad(test::AudioData("vorbis_mono_22050.ogg"), 3);
  ASSERT_NE(sample, 0u);
  const AudioHandle channel = audio.SampleGetChannel(sample);
  ASSERT_TRUE(audio.ChannelPlay(channel, false));
  EXPECT_TRUE(audio.ChannelIsActive(channel));
  EXPECT_TRUE(WaitUntilIdle(audio, channel));
  audio.Shutdown();
  // The next back end looks for the driver it is told again.
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  SdlAudio next;
  EXPECT_TRUE(next.LibraryAvailable());
  EXPECT_STREQ(SDL_GetCurrentAudioDriver(), "dummy");
  next.Shutdown();
}

// Moving to the silent device mid-game keeps every sound and channel: what played goes on.
TEST_F(SdlAudioTest, TheSilentDeviceTakesOverWhatPlays) {
  SdlAudio audio;
  ASSERT_TRUE(audio.LibraryAvailable());
  ASSERT_TRUE(audio.Initialize(44100));
  const std::vector<uint8_t> bytes = test::ReadBytes(test::AudioData("mp3_stereo_44100.mp3"));
  const AudioHandle music = audio.StreamCreateMemory(bytes, true);
  ASSERT_TRUE(audio.ChannelPlay(music, true));
  const AudioHandle once = audio.StreamCreateFile(test::AudioData("pcm16_stereo_22050.wav"), false);
  ASSERT_TRUE(audio.ChannelPlay(once, true));
  ASSERT_TRUE(audio.InitializeSilent(44100));
  EXPECT_TRUE(audio.ChannelIsActive(music));
  EXPECT_TRUE(WaitUntilIdle(audio, once));
  EXPECT_TRUE(audio.ChannelIsActive(music));
  audio.Shutdown();
}

}  // namespace
}  // namespace qx
