#include "platform/null/NullAudio.h"

#include <fstream>
#include <iterator>

namespace qx {

bool NullAudio::Initialize(int frequency) {
  this->frequency = frequency;
  initialized = initOk;
  calls.push_back("Initialize " + std::to_string(frequency));
  return initOk;
}

bool NullAudio::InitializeSilent(int frequency) {
  calls.push_back("InitializeSilent " + std::to_string(frequency));
  if (!silentOk) return false;
  this->frequency = frequency;
  initialized = silent = true;
  return true;
}

void NullAudio::Shutdown() {
  initialized = silent = false;
  calls.push_back("Shutdown");
  samples.clear();
  channels.clear();
}

void NullAudio::PauseAll() {
  paused = true;
  calls.push_back("PauseAll");
}

void NullAudio::ResumeAll() {
  paused = false;
  calls.push_back("ResumeAll");
}

AudioHandle NullAudio::Load(const std::string& call, const std::string& source, const std::vector<uint8_t>* bytes) {
  std::vector<uint8_t> data;
  if (bytes) {
    data = *bytes;
  } else {
    std::ifstream in(source, std::ios::binary);
    if (in) data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  const bool ok = accepts ? accepts(data) : !data.empty();
  const AudioHandle handle = ok ? next_++ : 0;
  calls.push_back(call + " " + source + " -> " + std::to_string(handle));
  return handle;
}

AudioHandle NullAudio::SampleLoad(const std::string& path, int maxPlaybacks) {
  const AudioHandle h = Load("SampleLoad(" + std::to_string(maxPlaybacks) + ")", path, nullptr);
  if (h) samples[h] = path;
  return h;
}

AudioHandle NullAudio::SampleLoadMemory(const uint8_t* data, size_t size, int maxPlaybacks) {
  const std::vector<uint8_t> bytes(data, data + size);
  const std::string source = "memory:" + std::to_string(size);
  const AudioHandle h = Load("SampleLoad(" + std::to_string(maxPlaybacks) + ")", source, &bytes);
  if (h) samples[h] = source;
  return h;
}

AudioHandle NullAudio::SampleGetChannel(AudioHandle sample) {
  auto it = samples.find(sample);
  if (it == samples.end()) return 0;
  const AudioHandle h = next_++;
  Channel c;
  c.sample = sample;
  c.source = it->second;
  c.attributes.frequency = 44100;
  channels[h] = c;
  calls.push_back("SampleGetChannel " + std::to_string(sample) + " -> " + std::to_string(h));
  return h;
}

AudioHandle NullAudio::StreamCreate(const std::string& source, const std::vector<uint8_t>* bytes, bool loop) {
  const AudioHandle h = Load(loop ? "StreamCreate(loop)" : "StreamCreate", source, bytes);
  if (h) {
    Channel c;
    c.source = source;
    c.loop = loop;
    c.attributes.frequency = 44100;
    channels[h] = c;
  }
  return h;
}

AudioHandle NullAudio::StreamCreateFile(const std::string& path, bool loop) { return StreamCreate(path, nullptr, loop); }

AudioHandle NullAudio::StreamCreateMemory(std::vector<uint8_t> data, bool loop) {
  return StreamCreate("memory:" + std::to_string(data.size()), &data, loop);
}

bool NullAudio::ChannelPlay(AudioHandle channel, bool restart) {
  auto it = channels.find(channel);
  if (it == channels.end()) return false;
  it->second.playing = true;
  ++it->second.plays;
  calls.push_back("ChannelPlay " + std::to_string(channel) + (restart ? " restart" : ""));
  return true;
}

bool NullAudio::ChannelStop(AudioHandle channel) {
  auto it = channels.find(channel);
  if (it == channels.end()) return false;
  it->second.playing = false;
  calls.push_back("ChannelStop " + std::to_string(channel));
  return true;
}

bool NullAudio::ChannelIsActive(AudioHandle channel) {
  auto it = channels.find(channel);
  return it != channels.end() && it->second.playing;
}

bool NullAudio::ChannelGetAttributes(AudioHandle channel, ChannelAttributes& attributes) {
  auto it = channels.find(channel);
  if (it == channels.end()) return false;
  attributes = it->second.attributes;
  return true;
}

bool NullAudio::ChannelSetAttributes(AudioHandle channel, const ChannelAttributes& attributes) {
  auto it = channels.find(channel);
  if (it == channels.end()) return false;
  it->second.attributes = attributes;
  calls.push_back("ChannelSetAttributes " + std::to_string(channel) + " " + std::to_string(attributes.frequency) +
                  " " + std::to_string(attributes.volume) + " " + std::to_string(attributes.pan));
  return true;
}

void NullAudio::End(AudioHandle channel) {
  auto it = channels.find(channel);
  if (it != channels.end()) it->second.playing = false;
}

const NullAudio::Channel* NullAudio::Find(AudioHandle channel) const {
  auto it = channels.find(channel);
  return it == channels.end() ? nullptr : &it->second;
}

int NullAudio::Count(const std::string& prefix) const {
  int n = 0;
  for (const std::string& call : calls) n += call.compare(0, prefix.size(), prefix) == 0;
  return n;
}

}  // namespace qx
