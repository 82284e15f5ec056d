// The audio device as the shell sees it. The media cache extends this with samples,
// streams and channel volumes; the shell only needs start-up, pause and resume.
#pragma once

namespace qx {

class Audio {
 public:
  virtual ~Audio() = default;
  // The audio back end is present and usable (the original checked a library version).
  virtual bool LibraryAvailable() = 0;
  // Opens the default output device at the given rate.
  virtual bool Initialize(int frequency) = 0;
  virtual void Shutdown() = 0;
  virtual void PauseAll() = 0;
  virtual void ResumeAll() = 0;
};

}  // namespace qx
