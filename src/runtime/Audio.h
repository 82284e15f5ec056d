// The audio device and its sounds as the shell and the media cache see them: start-up, pause
// and resume of all output, samples with several playbacks, looping streams, channel volumes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qx {

// A sample, a stream or a playback channel. 0 is no handle: every call that fails answers 0.
using AudioHandle = uint32_t;

// A channel's attributes. Volume 0..100 (linear); pan -100 (left only) .. 100 (right only);
// frequency is the playback rate in Hz, the sound's own rate unless changed. Values out of
// range are clamped when set.
struct ChannelAttributes {
  int32_t frequency = 0;
  int32_t volume = 100;
  int32_t pan = 0;
};

class Audio {
 public:
  virtual ~Audio() = default;

  // --- the device ------------------------------------------------------------------------
  // The audio back end is present and usable (the original checked a library version).
  virtual bool LibraryAvailable() = 0;
  // Opens the default output device at the given rate.
  virtual bool Initialize(int frequency) = 0;
  // Closes the device and frees every sample and stream; their handles end here.
  virtual void Shutdown() = 0;
  // All output stops where it is, and goes on from there.
  virtual void PauseAll() = 0;
  virtual void ResumeAll() = 0;

  // Why the last LibraryAvailable or Initialize failed, or the device went ("" when unknown).
  virtual std::string FailureReason() const { return {}; }
  // Plays on without a sound device: sounds load, start and end as they would, in silence
  // (so scripts that wait for a sound still see it end). After a failed start, or when the
  // device has gone mid-game, in which case whatever plays goes on silently. False when even
  // that cannot be had.
  virtual bool InitializeSilent(int /*frequency*/) { return false; }
  // Whether the open device has gone (a headset pulled out); looked at once a process tick.
  virtual bool DeviceLost() { return false; }

  // The calls below belong to back ends that play sound; one that cannot answers 0 / false.

  // --- samples: decoded whole when loaded, each with up to `maxPlaybacks` playbacks at once
  // `path` is a disk path.
  virtual AudioHandle SampleLoad(const std::string& /*path*/, int /*maxPlaybacks*/) { return 0; }
  // The bytes are decoded at once and not kept.
  virtual AudioHandle SampleLoadMemory(const uint8_t* /*data*/, size_t /*size*/, int /*maxPlaybacks*/) {
    return 0;
  }
  // A channel for a new playback of the sample, not playing yet: an idle playback if there
  // is one, else the one started longest ago, which stops and whose old handle ends.
  virtual AudioHandle SampleGetChannel(AudioHandle /*sample*/) { return 0; }

  // --- streams: decoded bit by bit while they play; a stream is its own channel ----------
  virtual AudioHandle StreamCreateFile(const std::string& /*path*/, bool /*loop*/) { return 0; }
  // The stream keeps the bytes.
  virtual AudioHandle StreamCreateMemory(std::vector<uint8_t> /*data*/, bool /*loop*/) { return 0; }

  // --- channels --------------------------------------------------------------------------
  // Starts a channel: from the beginning with `restart`, else from where it was stopped
  // (from the beginning when it ran to its end or never played).
  virtual bool ChannelPlay(AudioHandle /*channel*/, bool /*restart*/) { return false; }
  virtual bool ChannelStop(AudioHandle /*channel*/) { return false; }
  // Playing: started and neither stopped nor run to its end (pausing all output does not
  // change it).
  virtual bool ChannelIsActive(AudioHandle /*channel*/) { return false; }
  virtual bool ChannelGetAttributes(AudioHandle /*channel*/, ChannelAttributes& /*attributes*/) {
    return false;
  }
  virtual bool ChannelSetAttributes(AudioHandle /*channel*/, const ChannelAttributes& /*attributes*/) {
    return false;
  }
};

}  // namespace qx
