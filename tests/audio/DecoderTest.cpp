#include "platform/audio/SoundDecoders.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "AudioTestSupport.h"

namespace qx {
namespace {

using test::AudioData;
using test::ReadBytes;

// Everything a source gives, at most `limit` frames, as interleaved floats.
std::vector<float> ReadAll(AudioSource& source, size_t limit = 10 * 48000) {
  std::vector<float> out;
  std::vector<int16_t> block(4096 * 2);
  size_t frames = 0;
  while (frames < limit) {
    const size_t got = source.Read(block.data(), 4096);
    if (got == 0) break;
    for (size_t k = 0; k < got * source.Channels(); ++k) out.push_back(block[k] / 32768.0f);
    frames += got;
  }
  return out;
}

std::unique_ptr<AudioSource> FromBytes(std::vector<uint8_t> bytes) {
  SoundDecoders decoders;
  return decoders.OpenMemory(std::make_shared<const std::vector<uint8_t>>(std::move(bytes)));
}

struct Fixture {
  const char* file;
  int rate;
  int channels;       // as decoded
  size_t frames;      // as written
  bool exact;         // lossless: every frame and value as written
  bool rightIsOwn;    // the right channel holds the 500 Hz tone (not a copy of the left)
};

const Fixture kFixtures[] = {
    {"pcm16_stereo_22050.wav", 22050, 2, 5512, true, true},
    {"pcm8_mono_11025.wav", 11025, 1, 2756, true, false},
    {"pcm24_stereo_48000.wav", 48000, 2, 12000, true, true},
    {"float_mono_44100.wav", 44100, 1, 11025, true, false},
    {"pcm16_quad_22050.wav", 22050, 2, 5512, true, true},
    {"ima_adpcm_mono_22050.wav", 22050, 1, 5512, false, false},
    {"ulaw_stereo_44100.wav", 44100, 2, 11025, false, true},
    {"vorbis_stereo_44100.ogg", 44100, 2, 11025, false, true},
    {"vorbis_mono_22050.ogg", 22050, 1, 5512, false, false},
    {"mp3_stereo_44100.mp3", 44100, 2, 11025, false, true},
    {"mp3_mono_22050.mp3", 22050, 2, 5512, false, false},
};

class DecodeFixture : public testing::TestWithParam<Fixture> {};

TEST_P(DecodeFixture, GivesTheToneAsWritten) {
  const Fixture& f = GetParam();
  SoundDecoders decoders;
  std::unique_ptr<AudioSource> source = decoders.OpenFile(AudioData(f.file));
  ASSERT_TRUE(source);
  EXPECT_EQ(source->Rate(), f.rate);
  ASSERT_EQ(source->Channels(), f.channels);
  const std::vector<float> pcm = ReadAll(*source);
  const size_t frames = pcm.size() / f.channels;
  if (f.exact) {
    EXPECT_EQ(frames, f.frames);
  } else {
    // Lossy coders may pad to whole blocks.
    EXPECT_GE(frames, f.frames * 95 / 100);
    EXPECT_LE(frames, f.frames * 110 / 100 + 1152);
  }
  // Measured over 80 % of the tone from where it starts (after a lossy coder's lead-in).
  const double tolerance = f.exact ? 0.01 : 0.1;
  const size_t from = test::FirstSound(pcm, f.channels, 0);
  const size_t to = from + f.frames * 8 / 10;
  ASSERT_LT(from, f.frames / 4);
  EXPECT_NEAR(test::Frequency(pcm, f.channels, 0, f.rate, from, to), 1000.0, 1000.0 * 0.02);
  EXPECT_NEAR(test::Rms(pcm, f.channels, 0, from, to), 0.5 / std::sqrt(2.0), 0.354 * tolerance);
  if (f.channels == 2 && f.rightIsOwn) {
    EXPECT_NEAR(test::Frequency(pcm, 2, 1, f.rate, from, to), 500.0, 500.0 * 0.02);
    EXPECT_NEAR(test::Rms(pcm, 2, 1, from, to), 0.25 / std::sqrt(2.0), 0.177 * tolerance * 2);
  } else if (f.channels == 2) {
    for (size_t k = 0; k < frames; ++k) ASSERT_EQ(pcm[2 * k], pcm[2 * k + 1]);
  }
  if (f.exact) {
    // 16 bits keep the written value to within one step of the coarsest format (8 bits).
    for (size_t k = 0; k < frames; k += 97) {
      const double t = static_cast<double>(k) / f.rate;
      EXPECT_NEAR(pcm[k * f.channels], 0.5 * std::sin(2 * M_PI * 1000 * t), 1.5 / 128) << k;
    }
  }

  // Rewinding gives the same sound again; memory gives what the file gives.
  ASSERT_TRUE(source->Rewind());
  EXPECT_EQ(ReadAll(*source), pcm);
  std::unique_ptr<AudioSource> fromMemory = FromBytes(ReadBytes(AudioData(f.file)));
  ASSERT_TRUE(fromMemory);
  EXPECT_EQ(ReadAll(*fromMemory), pcm);
}

// Truncated, overwritten and garbled files either fail to open or decode to something of
// bounded length; nothing crashes or reads outside its data.
TEST_P(DecodeFixture, DamagedCopiesFailCleanly) {
  const std::vector<uint8_t> good = ReadBytes(AudioData(GetParam().file));
  std::vector<std::vector<uint8_t>> variants;
  for (size_t n : {size_t{0}, size_t{1}, size_t{3}, size_t{4}, size_t{8}, size_t{11}, size_t{12}, size_t{16},
                   size_t{20}, size_t{36}, size_t{44}, size_t{45}, size_t{60}, size_t{100}, size_t{200},
                   good.size() / 3, good.size() / 2, good.size() - 1}) {
    if (n < good.size()) variants.emplace_back(good.begin(), good.begin() + static_cast<long>(n));
  }
  std::mt19937 random(1234);
  for (int i = 0; i < 300; ++i) {
    std::vector<uint8_t> bad = good;
    const int changes = 1 + static_cast<int>(random() % 8);
    for (int c = 0; c < changes; ++c) bad[random() % bad.size()] = static_cast<uint8_t>(random());
    variants.push_back(std::move(bad));
  }
  for (int i = 0; i < 30; ++i) {
    // The signature and header kept, everything after it noise.
    std::vector<uint8_t> bad(good.begin(), good.begin() + std::min<long>(64, static_cast<long>(good.size())));
    for (int k = 0; k < 4000; ++k) bad.push_back(static_cast<uint8_t>(random()));
    variants.push_back(std::move(bad));
  }
  int opened = 0;
  for (const std::vector<uint8_t>& bytes : variants) {
    std::unique_ptr<AudioSource> source = FromBytes(bytes);
    if (!source) continue;
    ++opened;
    ASSERT_GE(source->Rate(), 1);
    ASSERT_TRUE(source->Channels() == 1 || source->Channels() == 2);
    const size_t frames = ReadAll(*source).size() / source->Channels();
    EXPECT_LE(frames, size_t{10} * 48000);
    source->Rewind();
    ReadAll(*source, 1000);
  }
  EXPECT_GT(opened, 0);  // the lightly damaged copies still play
}

INSTANTIATE_TEST_SUITE_P(Fixtures, DecodeFixture, testing::ValuesIn(kFixtures),
                         [](const testing::TestParamInfo<Fixture>& info) {
                           std::string name = info.param.file;
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

TEST(SoundDecoders, TheContentDecidesNotTheName) {
  test::ScratchDir dir;
  const std::string misnamed = dir / "click.mp3";
  test::WriteBytes(misnamed, ReadBytes(AudioData("vorbis_stereo_44100.ogg")));
  SoundDecoders decoders;
  std::unique_ptr<AudioSource> source = decoders.OpenFile(misnamed);
  ASSERT_TRUE(source);
  EXPECT_EQ(source->Rate(), 44100);
}

TEST(SoundDecoders, WhatIsNoSoundDoesNotOpen) {
  SoundDecoders decoders;
  EXPECT_FALSE(decoders.OpenFile("/nonexistent/sound.wav"));
  EXPECT_FALSE(decoders.OpenFile(std::string(QX_TEST_DATA_DIR) + "/audio"));  // a folder
  EXPECT_FALSE(FromBytes({}));
  EXPECT_FALSE(FromBytes({'x'}));
  const std::string text = "[Default]\nclick=60:click.wav\n";
  EXPECT_FALSE(FromBytes(std::vector<uint8_t>(text.begin(), text.end())));
  EXPECT_FALSE(FromBytes(std::vector<uint8_t>(5000, 0)));
  EXPECT_FALSE(OpenVorbis(nullptr));
}

// --- WAV headers ------------------------------------------------------------------------------

void Put16(std::vector<uint8_t>& b, uint16_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void PutChunk(std::vector<uint8_t>& b, const char* id, const std::vector<uint8_t>& body, uint32_t size) {
  b.insert(b.end(), id, id + 4);
  Put32(b, size);
  b.insert(b.end(), body.begin(), body.end());
}

struct WavSpec {
  uint16_t format = 1;
  uint16_t channels = 1;
  uint32_t rate = 8000;
  uint16_t bits = 16;
  int blockAlign = -1;  // -1: as the format says
  bool extensible = false;
  bool dataFirst = false;
  std::vector<uint8_t> data = std::vector<uint8_t>(200, 0x10);
  int64_t dataSize = -1;  // -1: the data's size
};

std::vector<uint8_t> MakeWav(const WavSpec& s) {
  std::vector<uint8_t> fmt;
  Put16(fmt, s.extensible ? 0xFFFE : s.format);
  Put16(fmt, s.channels);
  Put32(fmt, s.rate);
  const uint16_t align = s.blockAlign >= 0 ? static_cast<uint16_t>(s.blockAlign) : s.channels * s.bits / 8;
  Put32(fmt, s.rate * align);
  Put16(fmt, align);
  Put16(fmt, s.bits);
  if (s.extensible) {
    Put16(fmt, 22);
    Put16(fmt, s.bits);
    Put32(fmt, 3);  // channel mask
    Put16(fmt, s.format);  // the sub-format GUID begins with the format tag
    const uint8_t rest[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    fmt.insert(fmt.end(), rest, rest + 14);
  }
  std::vector<uint8_t> body = {'W', 'A', 'V', 'E'};
  const uint32_t dataSize = s.dataSize >= 0 ? static_cast<uint32_t>(s.dataSize) : static_cast<uint32_t>(s.data.size());
  if (s.dataFirst) PutChunk(body, "data", s.data, dataSize);
  PutChunk(body, "fmt ", fmt, static_cast<uint32_t>(fmt.size()));
  if (!s.dataFirst) PutChunk(body, "data", s.data, dataSize);
  std::vector<uint8_t> file = {'R', 'I', 'F', 'F'};
  Put32(file, static_cast<uint32_t>(body.size()));
  file.insert(file.end(), body.begin(), body.end());
  return file;
}

size_t Frames(const std::vector<uint8_t>& wav) {
  std::unique_ptr<AudioSource> source = FromBytes(wav);
  return source ? ReadAll(*source).size() / source->Channels() : 0;
}

TEST(WavDecoder, ReadsPlainAndExtensibleHeaders) {
  WavSpec plain;
  EXPECT_EQ(Frames(MakeWav(plain)), 100u);
  WavSpec extensible;
  extensible.extensible = true;
  extensible.channels = 2;
  EXPECT_EQ(Frames(MakeWav(extensible)), 50u);
  WavSpec doubles;
  doubles.format = 3;
  doubles.bits = 64;
  doubles.data.assign(8 * 10, 0);
  EXPECT_EQ(Frames(MakeWav(doubles)), 10u);
}

TEST(WavDecoder, ADataSizeBeyondTheFileReadsToItsEnd) {
  WavSpec s;
  s.dataSize = 0x7FFFFFF0;
  EXPECT_EQ(Frames(MakeWav(s)), 100u);
  s.dataSize = 0;  // a writer that could not go back to fill it in
  EXPECT_EQ(Frames(MakeWav(s)), 100u);
  s.dataSize = 51;  // a partial last frame is dropped
  EXPECT_EQ(Frames(MakeWav(s)), 25u);
}

TEST(WavDecoder, ADataSizeBeyondTheFileReadsToItsEndInEncodingsSdlDecodes) {
  WavSpec s;
  s.format = 7;  // mu-law: 8 bits a value, decoded by SDL
  s.bits = 8;
  EXPECT_EQ(Frames(MakeWav(s)), 200u);
  s.dataSize = 0xFFFF0000;  // SDL would reserve 4 GiB for it
  EXPECT_EQ(Frames(MakeWav(s)), 200u);
  s.dataSize = 0;
  EXPECT_EQ(Frames(MakeWav(s)), 200u);
}

TEST(WavDecoder, InconsistentHeadersAreRefused) {
  WavSpec noChannels;
  noChannels.channels = 0;
  EXPECT_FALSE(FromBytes(MakeWav(noChannels)));
  WavSpec noRate;
  noRate.rate = 0;
  EXPECT_FALSE(FromBytes(MakeWav(noRate)));
  WavSpec badAlign;
  badAlign.blockAlign = 3;
  EXPECT_FALSE(FromBytes(MakeWav(badAlign)));
  WavSpec zeroAlign;
  zeroAlign.blockAlign = 0;
  EXPECT_FALSE(FromBytes(MakeWav(zeroAlign)));
  WavSpec dataFirst;
  dataFirst.dataFirst = true;
  EXPECT_FALSE(FromBytes(MakeWav(dataFirst)));
  WavSpec oddBits;
  oddBits.bits = 12;
  oddBits.blockAlign = 2;
  EXPECT_FALSE(FromBytes(MakeWav(oddBits)));  // not PCM we read, and SDL refuses it too
  WavSpec mp3InWav;
  mp3InWav.format = 0x55;
  EXPECT_FALSE(FromBytes(MakeWav(mp3InWav)));
  WavSpec tooManyChannels;
  tooManyChannels.channels = 1000;
  EXPECT_FALSE(FromBytes(MakeWav(tooManyChannels)));

  // A chunk claiming more bytes than the file holds.
  std::vector<uint8_t> huge = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'J', 'U', 'N', 'K',
                               0xF0, 0xFF, 0xFF, 0xFF};
  EXPECT_FALSE(FromBytes(huge));
}

}  // namespace
}  // namespace qx
