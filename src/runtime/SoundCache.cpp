// The sample and music lists: finding, loading, remembering failures, and the music fades.
#include "runtime/SoundCache.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/CodePage.h"
#include "base/Log.h"
#include "render/GfxTimer.h"
#include "resources/GameFs.h"
#include "resources/NameFold.h"
#include "resources/ResArchive.h"
#include "runtime/RuntimeState.h"

namespace qx {
namespace {

const std::string kSoundsFolder = "sounds\\";

// A fade that has reached its target within rounding ends on that tick, not one tick later:
// sixty steps of 0.8 / 60 add up to a hair below 0.8.
constexpr double kFadeSlack = 1e-9;

int32_t ClampToInt32(double value) {
  if (!(value == value)) return 0;
  return static_cast<int32_t>(std::clamp(value, static_cast<double>(std::numeric_limits<int32_t>::min()),
                                         static_cast<double>(std::numeric_limits<int32_t>::max())));
}

template <typename Entry>
Entry* FindEntry(std::vector<Entry>& list, const std::string& name) {
  for (Entry& e : list) {
    if (e.name == name) return &e;
  }
  return nullptr;
}

}  // namespace

std::string TSoundCache::CacheName(const std::string& name) { return FoldName1251(name); }

std::string TSoundCache::OggName(const std::string& cacheName) {
  return cacheName.substr(0, cacheName.size() >= 3 ? cacheName.size() - 3 : 0) + "OGG";
}

TFileSource LocateSound(TGameFs& fs, const TResArchive* archive, const std::string& cacheName) {
  const std::string gameName = kSoundsFolder + cacheName;
  if (fs.ResolveFile(gameName)) return TFileSource::Disk;
  if (archive && archive->Opened() && archive->IndexOf(gameName) >= 0) return TFileSource::Archive;
  return TFileSource::None;
}

TSoundCache::Where TSoundCache::Locate(const std::string& name, std::string& path, std::vector<uint8_t>& bytes) {
  const std::string gameName = kSoundsFolder + name;
  switch (LocateSound(files_, archive_, name)) {
    case TFileSource::Disk:
      path = files_.ResolveFile(gameName).value_or(std::string());
      return Where::Disk;
    case TFileSource::Archive:
      // A damaged record is a sound that cannot be loaded, not a reason to look elsewhere.
      if (!archive_->ReadRecord(gameName, bytes)) bytes.clear();
      return Where::Archive;
    case TFileSource::None: break;
  }
  return Where::None;
}

AudioHandle TSoundCache::LoadSample(const std::string& name, bool reportMissing) {
  std::string path;
  std::vector<uint8_t> bytes;
  AudioHandle sample = 0;
  switch (Locate(name, path, bytes)) {
    case Where::Disk: sample = audio_.SampleLoad(path, kPlaybacks); break;
    case Where::Archive:
      if (!bytes.empty()) sample = audio_.SampleLoadMemory(bytes.data(), bytes.size(), kPlaybacks);
      break;
    case Where::None: break;
  }
  if (!sample && reportMissing) LogDetail("sound", "no sound " + Cp1251ToUtf8(name));
  samples_.push_back({name, sample});
  // Decoding a whole sample may take a while; the frame timer must not count it.
  if (timer_) timer_->Reset();
  return sample;
}

AudioHandle TSoundCache::CreateStream(const std::string& name) {
  std::string path;
  std::vector<uint8_t> bytes;
  AudioHandle stream = 0;
  switch (Locate(name, path, bytes)) {
    case Where::Disk: stream = audio_.StreamCreateFile(path, true); break;
    case Where::Archive:
      if (!bytes.empty()) stream = audio_.StreamCreateMemory(std::move(bytes), true);
      break;
    case Where::None: break;
  }
  if (!stream) LogDetail("sound", "no music " + Cp1251ToUtf8(name));
  return stream;
}

void TSoundCache::SetVolume(AudioHandle channel, int32_t volume) {
  ChannelAttributes attributes;
  if (!audio_.ChannelGetAttributes(channel, attributes)) return;
  attributes.volume = volume;  // frequency and pan stay as they are
  audio_.ChannelSetAttributes(channel, attributes);
}

void TSoundCache::PlaySound(const std::string& rawName, int32_t volume, bool reportMissing) {
  const std::string name = CacheName(rawName);
  const std::string alternative = OggName(name);
  // A remembered failure of the name does not hide a loaded alternative, and the
  // alternative is loaded once when the name has failed.
  SampleEntry* byName = FindEntry(samples_, name);
  SampleEntry* byAlternative = FindEntry(samples_, alternative);
  AudioHandle sample = 0;
  if (byName && byName->sample) sample = byName->sample;
  else if (byAlternative && byAlternative->sample) sample = byAlternative->sample;
  else {
    if (!byName) sample = LoadSample(name, reportMissing);
    if (!sample && !byAlternative && alternative != name) sample = LoadSample(alternative, reportMissing);
  }
  if (!sample) return;
  const AudioHandle channel = audio_.SampleGetChannel(sample);
  if (!channel) return;
  const int64_t level = static_cast<int64_t>(Runtime().SoundVolume) * volume / 100;
  SetVolume(channel, ClampToInt32(static_cast<double>(level)));
  audio_.ChannelPlay(channel, false);
}

void TSoundCache::PlayMusic(const std::string& rawName, int32_t volume) {
  const std::string name = CacheName(rawName);
  const std::string alternative = OggName(name);
  MusicEntry* entry = nullptr;
  MusicEntry* byName = FindEntry(music_, name);
  MusicEntry* byAlternative = FindEntry(music_, alternative);
  if (byName && byName->channel) entry = byName;
  else if (byAlternative && byAlternative->channel) entry = byAlternative;
  else if (byName || byAlternative) return;  // remembered: neither could be played
  else {
    // The entry is named after the file that gave the stream, so that either name finds it.
    MusicEntry created;
    created.name = name;
    created.channel = CreateStream(name);
    if (!created.channel && alternative != name) {
      created.channel = CreateStream(alternative);
      if (created.channel) created.name = alternative;
    }
    music_.push_back(created);
    entry = &music_.back();
    if (!entry->channel) return;
  }
  entry->target = volume / 100.0;
  entry->step = (entry->target - entry->level) / kFadeTicks;
  if (!audio_.ChannelIsActive(entry->channel)) {
    entry->level = 0;
    entry->step = entry->target / kFadeTicks;
    SetVolume(entry->channel, 0);
    audio_.ChannelPlay(entry->channel, true);
  }
}

void TSoundCache::FadeOutAllMusic() {
  for (MusicEntry& e : music_) {
    e.target = 0;
    e.step = -e.level / kFadeOutTicks;
    // Music still silent (its fade-in not begun, or played at volume 0) has nothing to fade:
    // it stops now instead of playing on unheard.
    if (e.level <= 0 && e.channel && audio_.ChannelIsActive(e.channel)) {
      e.level = 0;
      e.step = 0;
      audio_.ChannelStop(e.channel);
    }
  }
}

void TSoundCache::SoundTick() {
  const int32_t musicVolume = Runtime().MusicVolume;
  for (MusicEntry& e : music_) {
    if (!e.channel || !audio_.ChannelIsActive(e.channel)) continue;
    e.level += e.step;
    bool stop = false;
    if (e.step > 0 && e.level >= e.target - kFadeSlack) {
      e.step = 0;
      e.level = e.target;
    } else if (e.step < 0 && e.level <= e.target + kFadeSlack) {
      e.step = 0;
      e.level = e.target;
      stop = e.level == 0;
    }
    if (stop) audio_.ChannelStop(e.channel);
    SetVolume(e.channel, ClampToInt32(std::nearbyint(musicVolume * e.level)));
  }
}

void TSoundCache::ApplyMusicVolume() {
  for (MusicEntry& e : music_) {
    if (e.channel && audio_.ChannelIsActive(e.channel)) {
      SetVolume(e.channel, ClampToInt32(std::nearbyint(Runtime().MusicVolume * e.level)));
      return;
    }
  }
}

bool TSoundCache::CurrentMusic(std::string& name, int32_t& volume) const {
  for (const MusicEntry& e : music_) {
    if (e.channel && e.target > 0 && audio_.ChannelIsActive(e.channel)) {
      name = e.name;
      volume = static_cast<int32_t>(std::lround(e.target * 100));
      return true;
    }
  }
  return false;
}

void TSoundCache::Clear() {
  samples_.clear();
  music_.clear();
}

const TSoundCache::MusicEntry* TSoundCache::FindMusic(const std::string& name) const {
  const std::string key = CacheName(name);
  for (const MusicEntry& e : music_) {
    if (e.name == key) return &e;
  }
  return nullptr;
}

}  // namespace qx
