// The mixer: game-thread bookkeeping of samples and channels, the command queue, and the
// output side that resamples every playing voice (cubic interpolation) into one buffer.
#include "runtime/AudioMixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "base/Log.h"

namespace qx {
namespace {

constexpr AudioHandle kSampleTag = 0x80000000u;
constexpr int kIndexBits = 20;
constexpr uint32_t kIndexMask = (1u << kIndexBits) - 1;
constexpr uint32_t kGenerationMask = 0x7FFu;  // 11 bits below the sample tag
// Frames a voice decodes at a time, and the few around them that interpolation needs.
constexpr size_t kChunkFrames = 1024;
constexpr size_t kWindowFrames = kChunkFrames + 4;
constexpr int kMinFrequency = 100;
constexpr int kMaxFrequency = 200000;
constexpr int kMaxSourceRate = 384000;

// Catmull-Rom: passes through the input frames, so a sound at the output rate comes out
// unchanged, and it is cheap enough for dozens of voices.
inline float Cubic(float xm1, float x0, float x1, float x2, float t) {
  const float a = -0.5f * xm1 + 1.5f * x0 - 1.5f * x1 + 0.5f * x2;
  const float b = xm1 - 2.5f * x0 + 2.0f * x1 - 0.5f * x2;
  const float c = -0.5f * xm1 + 0.5f * x1;
  return ((a * t + b) * t + c) * t + x0;
}

bool UsableSource(const AudioSource& source) {
  return source.Rate() >= 1 && source.Rate() <= kMaxSourceRate && (source.Channels() == 1 || source.Channels() == 2);
}

}  // namespace

// A sample's decoded frames, shared by its playbacks.
struct AudioMixer::SampleData {
  int rate = 0;
  int channels = 0;
  std::vector<int16_t> values;
};

PcmSource::PcmSource(std::vector<int16_t> values, int rate, int channels) : rate_(rate), channels_(channels) {
  auto owned = std::make_shared<std::vector<int16_t>>(std::move(values));
  values_ = owned->data();
  frames_ = channels > 0 ? owned->size() / static_cast<size_t>(channels) : 0;
  owner_ = std::move(owned);
}

size_t PcmSource::Read(int16_t* out, size_t frames) {
  const size_t n = std::min(frames, frames_ - position_);
  std::memcpy(out, values_ + position_ * channels_, n * channels_ * sizeof(int16_t));
  position_ += n;
  return n;
}

// A channel as the output side sees it. Created on the game thread, handed over with an Add
// command, and from then on touched only by Mix (but for `finished`).
struct AudioMixer::Voice {
  std::unique_ptr<AudioSource> source;
  int sourceChannels = 1;
  bool loop = false;
  bool fresh = true;  // the source is at its first frame
  bool playing = false;
  bool ended = false;
  uint32_t serial = 0;
  // The serial of the last playback that ran to its end; read by the game thread.
  std::atomic<uint32_t> finished{0};
  double frequency = 0;
  float gain[2] = {1, 1};
  float target[2] = {1, 1};
  float delta[2] = {0, 0};
  int rampLeft = 0;
  // Decoded stereo frames; `position` is the fractional frame being played. The frame
  // before it stays for the interpolation; after the source's end two silent frames follow.
  std::vector<float> window;
  std::vector<int16_t> scratch;
  size_t windowFrames = 0;
  double position = 0;
  bool sourceDone = false;
  size_t endFrame = 0;  // one past the last real frame, once sourceDone

  bool Restart() {
    if (!fresh && !source->Rewind()) return false;
    fresh = false;
    window[0] = window[1] = 0;
    windowFrames = 1;
    position = 1.0;
    sourceDone = false;
    ended = false;
    return true;
  }

  // Decodes until frame `need` is in the window or the source has ended.
  void Fill(size_t need) {
    bool rewound = false;
    while (windowFrames <= need && !sourceDone) {
      // Keep the frame before the position; a fast voice may have passed the whole window.
      const size_t keepFrom = std::min(static_cast<size_t>(position) - 1, windowFrames);
      if (keepFrom > 0) {
        std::memmove(window.data(), window.data() + keepFrom * 2, (windowFrames - keepFrom) * 2 * sizeof(float));
        windowFrames -= keepFrom;
        position -= static_cast<double>(keepFrom);
        need -= keepFrom;
      }
      const size_t room = std::min(kChunkFrames, kChunkFrames + 1 - windowFrames);
      const size_t got = source->Read(scratch.data(), room);
      if (got == 0) {
        // A looping sound goes on from its start; one that yields nothing even then ends.
        if (loop && !rewound && source->Rewind()) {
          rewound = true;
          continue;
        }
        sourceDone = true;
        endFrame = windowFrames;
        std::fill(window.begin() + windowFrames * 2, window.begin() + (windowFrames + 2) * 2, 0.0f);
        windowFrames += 2;
        break;
      }
      rewound = false;
      float* dst = window.data() + windowFrames * 2;
      constexpr float kScale = 1.0f / 32768.0f;
      if (sourceChannels == 1) {
        for (size_t k = 0; k < got; ++k) dst[2 * k] = dst[2 * k + 1] = scratch[k] * kScale;
      } else {
        for (size_t k = 0; k < got * 2; ++k) dst[k] = scratch[k] * kScale;
      }
      windowFrames += got;
    }
  }
};

struct AudioMixer::Command {
  enum class Kind : uint8_t { Add, Play, Stop, Attributes, Rate, Ramp };
  Kind kind = Kind::Play;
  uint32_t index = 0;
  uint32_t serial = 0;
  bool restart = false;
  float gain[2] = {1, 1};
  double frequency = 0;
  int value = 0;
  std::unique_ptr<Voice> voice;
};

struct AudioMixer::ChannelState {
  int sample = -1;  // the sample this is a playback of; -1 for a stream
  uint32_t generation = 0;
  uint64_t age = 0;      // when last handed out or started (take-over picks the oldest)
  uint32_t serial = 0;   // of the last play command
  bool playing = false;  // as the game thread last asked
  bool played = false;   // started since it was created or taken over
  int sourceRate = 0;
  ChannelAttributes attributes;
  const std::atomic<uint32_t>* finished = nullptr;  // the voice's
};

struct AudioMixer::SampleState {
  std::shared_ptr<const SampleData> data;
  int maxPlaybacks = 1;
  std::vector<uint32_t> playbacks;  // channel indices
};

AudioMixer::AudioMixer(AudioDecoders* decoders, int outputRate)
    : decoders_(decoders),
      outputRate_(outputRate > 0 ? outputRate : kDefaultRate),
      mixRate_(outputRate_),
      rampFrames_(outputRate_ / 100) {
  // Voices are added by the output side; keeping the room reserved means it never reallocates.
  voices_.reserve(kMaxChannels);
}

AudioMixer::~AudioMixer() = default;

// --- the device ----------------------------------------------------------------------------

bool AudioMixer::Initialize(int frequency) {
  if (frequency <= 0) return false;
  outputRate_ = frequency;
  Command c;
  c.kind = Command::Kind::Rate;
  c.value = frequency;
  Post(std::move(c));
  SetRampFrames(frequency / 100);
  return true;
}

void AudioMixer::Shutdown() { Clear(); }

void AudioMixer::PauseAll() { paused_.store(true, std::memory_order_relaxed); }
void AudioMixer::ResumeAll() { paused_.store(false, std::memory_order_relaxed); }

void AudioMixer::SetRampFrames(int frames) {
  Command c;
  c.kind = Command::Kind::Ramp;
  c.value = std::max(frames, 0);
  Post(std::move(c));
}

void AudioMixer::Clear() {
  {
    std::lock_guard<std::mutex> lock(queueLock_);
    queue_.clear();
  }
  applying_.clear();
  voices_.clear();
  channels_.clear();
  samples_.clear();
}

// --- samples and streams -----------------------------------------------------------------

AudioHandle AudioMixer::SampleFromSource(AudioSource& source, int maxPlaybacks) {
  if (!UsableSource(source) || samples_.size() >= kMaxSamples) return 0;
  auto data = std::make_shared<SampleData>();
  data->rate = source.Rate();
  data->channels = source.Channels();
  const size_t perChunk = kChunkFrames * data->channels;
  for (;;) {
    if (data->values.size() + perChunk > kMaxSampleValues) {
      LogDetail("audio", "sample too long to keep in memory");
      return 0;
    }
    const size_t at = data->values.size();
    data->values.resize(at + perChunk);
    const size_t got = source.Read(data->values.data() + at, kChunkFrames);
    data->values.resize(at + got * data->channels);
    if (got == 0) break;
  }
  if (data->values.empty()) {
    LogDetail("audio", "sample holds no sound");
    return 0;
  }
  data->values.shrink_to_fit();
  SampleState s;
  s.data = std::move(data);
  s.maxPlaybacks = std::clamp(maxPlaybacks, 1, kMaxPlaybacks);
  samples_.push_back(std::move(s));
  return kSampleTag | static_cast<AudioHandle>(samples_.size());
}

AudioHandle AudioMixer::SampleLoad(const std::string& path, int maxPlaybacks) {
  if (!decoders_) return 0;
  std::unique_ptr<AudioSource> source = decoders_->OpenFile(path);
  return source ? SampleFromSource(*source, maxPlaybacks) : 0;
}

AudioHandle AudioMixer::SampleLoadMemory(const uint8_t* data, size_t size, int maxPlaybacks) {
  if (!decoders_ || !data || size == 0) return 0;
  auto bytes = std::make_shared<const std::vector<uint8_t>>(data, data + size);
  std::unique_ptr<AudioSource> source = decoders_->OpenMemory(std::move(bytes));
  return source ? SampleFromSource(*source, maxPlaybacks) : 0;
}

AudioHandle AudioMixer::StreamFromSource(std::unique_ptr<AudioSource> source, bool loop) {
  if (!source || !UsableSource(*source)) return 0;
  const uint32_t index = AddChannel(std::move(source), loop, -1);
  if (index >= kMaxChannels) return 0;
  return index + 1;  // generation 0
}

AudioHandle AudioMixer::StreamCreateFile(const std::string& path, bool loop) {
  if (!decoders_) return 0;
  return StreamFromSource(decoders_->OpenFile(path), loop);
}

AudioHandle AudioMixer::StreamCreateMemory(std::vector<uint8_t> data, bool loop) {
  if (!decoders_ || data.empty()) return 0;
  return StreamFromSource(decoders_->OpenMemory(std::make_shared<const std::vector<uint8_t>>(std::move(data))),
                          loop);
}

uint32_t AudioMixer::AddChannel(std::unique_ptr<AudioSource> source, bool loop, int sample) {
  if (channels_.size() >= kMaxChannels) {
    LogDetail("audio", "too many sound channels");
    return kMaxChannels;
  }
  auto voice = std::make_unique<Voice>();
  voice->sourceChannels = source->Channels();
  voice->frequency = source->Rate();
  voice->loop = loop;
  voice->window.assign(kWindowFrames * 2, 0.0f);
  voice->scratch.assign(kChunkFrames * 2, 0);
  voice->source = std::move(source);
  ChannelState state;
  state.sample = sample;
  state.sourceRate = static_cast<int>(voice->frequency);
  state.attributes.frequency = state.sourceRate;
  state.finished = &voice->finished;
  const auto index = static_cast<uint32_t>(channels_.size());
  channels_.push_back(state);
  Command c;
  c.kind = Command::Kind::Add;
  c.index = index;
  c.voice = std::move(voice);
  Post(std::move(c));
  return index;
}

AudioHandle AudioMixer::SampleGetChannel(AudioHandle sample) {
  if ((sample & kSampleTag) == 0) return 0;
  const uint32_t slot = sample & ~kSampleTag;
  if (slot == 0 || slot > samples_.size()) return 0;
  SampleState& s = samples_[slot - 1];
  // Room for a new playback, else an idle one, else the one started longest ago. (New ones
  // come first so that channels asked for before any plays are all different.)
  if (static_cast<int>(s.playbacks.size()) < s.maxPlaybacks) {
    const SampleData& d = *s.data;
    auto source = std::make_unique<PcmSource>(s.data, d.values.data(), d.values.size() / d.channels, d.rate,
                                              d.channels);
    const uint32_t index = AddChannel(std::move(source), false, static_cast<int>(slot - 1));
    if (index >= kMaxChannels) return 0;
    s.playbacks.push_back(index);
    ChannelState& c = channels_[index];
    c.age = ++clock_;
    return (c.generation << kIndexBits) | (index + 1);
  }
  ChannelState* pick = nullptr;
  uint32_t pickIndex = 0;
  for (const bool idle : {true, false}) {
    for (uint32_t index : s.playbacks) {
      ChannelState& c = channels_[index];
      if ((!idle || !IsActive(c)) && (!pick || c.age < pick->age)) {
        pick = &c;
        pickIndex = index;
      }
    }
    if (pick) break;
  }
  // Taken over: the old playback stops and its handle ends.
  if (pick->playing) {
    Command c;
    c.kind = Command::Kind::Stop;
    c.index = pickIndex;
    Post(std::move(c));
  }
  pick->generation = (pick->generation + 1) & kGenerationMask;
  pick->playing = false;
  pick->played = false;
  pick->age = ++clock_;
  pick->attributes = ChannelAttributes{};
  pick->attributes.frequency = pick->sourceRate;
  SendAttributes(pickIndex, *pick);
  return (pick->generation << kIndexBits) | (pickIndex + 1);
}

// --- channels --------------------------------------------------------------------------------

AudioMixer::ChannelState* AudioMixer::FindChannel(AudioHandle handle, uint32_t* index) {
  if (handle == 0 || (handle & kSampleTag) != 0) return nullptr;
  const uint32_t slot = handle & kIndexMask;
  if (slot == 0 || slot > channels_.size()) return nullptr;
  ChannelState& c = channels_[slot - 1];
  if (c.generation != ((handle >> kIndexBits) & kGenerationMask)) return nullptr;
  if (index) *index = slot - 1;
  return &c;
}

bool AudioMixer::IsActive(const ChannelState& c) const {
  return c.playing && c.finished->load(std::memory_order_acquire) != c.serial;
}

bool AudioMixer::ChannelPlay(AudioHandle channel, bool restart) {
  uint32_t index = 0;
  ChannelState* c = FindChannel(channel, &index);
  if (!c) return false;
  if (++c->serial == 0) c->serial = 1;  // 0 means "no playback ended yet"
  Command cmd;
  cmd.kind = Command::Kind::Play;
  cmd.index = index;
  cmd.serial = c->serial;
  cmd.restart = restart || !c->played;
  Post(std::move(cmd));
  c->playing = true;
  c->played = true;
  c->age = ++clock_;
  return true;
}

bool AudioMixer::ChannelStop(AudioHandle channel) {
  uint32_t index = 0;
  ChannelState* c = FindChannel(channel, &index);
  if (!c) return false;
  if (c->playing) {
    Command cmd;
    cmd.kind = Command::Kind::Stop;
    cmd.index = index;
    Post(std::move(cmd));
  }
  c->playing = false;
  return true;
}

bool AudioMixer::ChannelIsActive(AudioHandle channel) {
  const ChannelState* c = FindChannel(channel);
  return c && IsActive(*c);
}

bool AudioMixer::ChannelGetAttributes(AudioHandle channel, ChannelAttributes& attributes) {
  const ChannelState* c = FindChannel(channel);
  if (!c) return false;
  attributes = c->attributes;
  return true;
}

bool AudioMixer::ChannelSetAttributes(AudioHandle channel, const ChannelAttributes& attributes) {
  uint32_t index = 0;
  ChannelState* c = FindChannel(channel, &index);
  if (!c) return false;
  c->attributes.volume = std::clamp(attributes.volume, 0, 100);
  c->attributes.pan = std::clamp(attributes.pan, -100, 100);
  c->attributes.frequency =
      attributes.frequency <= 0 ? c->sourceRate : std::clamp(attributes.frequency, kMinFrequency, kMaxFrequency);
  SendAttributes(index, *c);
  return true;
}

void AudioMixer::SendAttributes(uint32_t index, const ChannelState& state) {
  const ChannelAttributes& a = state.attributes;
  const float volume = static_cast<float>(a.volume) / 100.0f;
  Command cmd;
  cmd.kind = Command::Kind::Attributes;
  cmd.index = index;
  cmd.gain[0] = volume * (a.pan > 0 ? static_cast<float>(100 - a.pan) / 100.0f : 1.0f);
  cmd.gain[1] = volume * (a.pan < 0 ? static_cast<float>(100 + a.pan) / 100.0f : 1.0f);
  cmd.frequency = a.frequency;
  Post(std::move(cmd));
}

void AudioMixer::Post(Command&& command) {
  std::lock_guard<std::mutex> lock(queueLock_);
  queue_.push_back(std::move(command));
}

// --- the output side -------------------------------------------------------------------------

void AudioMixer::ApplyCommands() {
  {
    std::lock_guard<std::mutex> lock(queueLock_);
    std::swap(queue_, applying_);
  }
  for (Command& c : applying_) Apply(c);
  applying_.clear();
}

void AudioMixer::Apply(Command& c) {
  if (c.kind == Command::Kind::Rate) {
    mixRate_ = c.value;
    return;
  }
  if (c.kind == Command::Kind::Ramp) {
    rampFrames_ = c.value;
    return;
  }
  if (c.kind == Command::Kind::Add) {
    if (voices_.size() <= c.index) voices_.resize(c.index + 1);
    voices_[c.index] = std::move(c.voice);
    return;
  }
  if (c.index >= voices_.size() || !voices_[c.index]) return;
  Voice& v = *voices_[c.index];
  switch (c.kind) {
    case Command::Kind::Play:
      v.serial = c.serial;
      if (c.restart || v.ended || v.fresh) {
        if (!v.Restart()) {
          v.playing = false;
          v.ended = true;
          v.finished.store(v.serial, std::memory_order_release);
          return;
        }
      }
      // A start takes the set volume at once; only changes while playing glide.
      if (!v.playing) {
        v.gain[0] = v.target[0];
        v.gain[1] = v.target[1];
        v.rampLeft = 0;
      }
      v.playing = true;
      break;
    case Command::Kind::Stop: v.playing = false; break;
    case Command::Kind::Attributes:
      v.frequency = c.frequency;
      v.target[0] = c.gain[0];
      v.target[1] = c.gain[1];
      if (!v.playing || rampFrames_ == 0) {
        v.gain[0] = v.target[0];
        v.gain[1] = v.target[1];
        v.rampLeft = 0;
      } else {
        v.rampLeft = rampFrames_;
        for (int k = 0; k < 2; ++k) v.delta[k] = (v.target[k] - v.gain[k]) / static_cast<float>(rampFrames_);
      }
      break;
    default: break;
  }
}

void AudioMixer::Mix(float* out, size_t frames) {
  ApplyCommands();
  std::fill(out, out + frames * 2, 0.0f);
  if (paused_.load(std::memory_order_relaxed)) return;
  for (auto& voice : voices_) {
    if (voice && voice->playing) MixVoice(*voice, out, frames);
  }
  for (size_t k = 0; k < frames * 2; ++k) out[k] = std::clamp(out[k], -1.0f, 1.0f);
}

void AudioMixer::MixVoice(Voice& v, float* out, size_t frames) {
  const double step = v.frequency / static_cast<double>(mixRate_);
  const float* w = v.window.data();
  for (size_t k = 0; k < frames; ++k) {
    size_t i = static_cast<size_t>(v.position);
    if (i + 2 >= v.windowFrames && !v.sourceDone) {
      v.Fill(i + 2);
      i = static_cast<size_t>(v.position);
    }
    if (v.sourceDone && i >= v.endFrame) {
      v.playing = false;
      v.ended = true;
      v.finished.store(v.serial, std::memory_order_release);
      return;
    }
    const float t = static_cast<float>(v.position - static_cast<double>(i));
    const float* f = w + (i - 1) * 2;
    const float left = t == 0.0f ? f[2] : Cubic(f[0], f[2], f[4], f[6], t);
    const float right = t == 0.0f ? f[3] : Cubic(f[1], f[3], f[5], f[7], t);
    if (v.rampLeft > 0) {
      v.gain[0] += v.delta[0];
      v.gain[1] += v.delta[1];
      if (--v.rampLeft == 0) {
        v.gain[0] = v.target[0];
        v.gain[1] = v.target[1];
      }
    }
    out[2 * k] += v.gain[0] * left;
    out[2 * k + 1] += v.gain[1] * right;
    v.position += step;
  }
}

}  // namespace qx
