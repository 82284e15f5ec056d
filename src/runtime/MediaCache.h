// The media cache's pictures: every picture of a game is requested by name through one
// list of entries (TQXIm), owned by the main window and reached through the services. Each picture is loaded once into the image list,
// counted, deferred while a screen change is prepared, given alpha from companion mask
// files, and released when no screen uses it after a screen change.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qx {

class TGameFs;
class WorkPool;
class TGfxImage;
class TGfxImages;
class TResArchive;

// One picture of the cache. Entries are never removed; only their textures come and go.
struct TQXIm {
  std::string Name;             // upper case, relative to the game folder
  std::string RequestedName;    // the name as first given (for the disk lookup)
  TGfxImage* Image = nullptr;   // none while not loaded (queued, released or failed)
  int32_t Count = 0;            // references since the last reset
  bool Failed = false;          // found but could not be made a texture: never retried
  bool Keep = false;            // the first request was forced: survives screen changes
  bool ReportMissing = true;    // --verbose names it when it is found nowhere
};

class MediaCache {
 public:
  // Pictures are read from `files`, else from `archive`, and become textures of `images`.
  // Without an image list or files the entries are only counted (nothing loads).
  explicit MediaCache(TGfxImages* images = nullptr, TResArchive* archive = nullptr, TGameFs* files = nullptr);
  ~MediaCache();
  MediaCache(const MediaCache&) = delete;
  MediaCache& operator=(const MediaCache&) = delete;

  // The entry of a picture (never null). Forced requests, and all requests while LoadNow
  // is set, load the picture at once; others are queued for the loading phase.
  // `reportMissing` false: a picture that may well be absent (an intro logo), not worth a
  // --verbose line.
  TQXIm* GetImage(std::string_view name, bool force, bool reportMissing = true);
  // The entry of a picture already named, or null; counts nothing and loads nothing.
  TQXIm* Find(std::string_view name) const;
  // Before a screen change loads: every count back to 0 (and nothing queued).
  void ClearImageCounts();

  // Decoding ahead. The pictures queued since the counts were last cleared are read now and
  // decoded and laid out on worker threads, while the game thread goes on loading them one
  // by one as before: a load takes the picture ready (or waits for it, or does the work
  // itself when no worker has started it yet), uploads it and runs the progress script, so
  // the order of the loads, the counts and every script run stay what the serial path
  // gives. Pictures decoded ahead but not requested are dropped by DropDecodedAhead, which
  // changes no count.
  void DecodeQueuedAhead();
  // The pictures a screen is about to request, when they are not loaded yet.
  void DecodeAhead(const std::vector<TQXIm*>& entries);
  void DropDecodedAhead();
  // Off: every picture is decoded on the game thread when it is loaded (--serial-decode).
  void SetParallelDecode(bool on) { parallel_ = on; }
  bool ParallelDecode() const { return parallel_; }
  // Pictures decoded ahead and not yet loaded or dropped.
  int DecodesAhead() const { return static_cast<int>(ahead_.size()); }
  // Loads that took a picture decoded ahead, since the cache was made.
  int TakenAhead() const { return takenAhead_; }
  // After the new screen is shown: textures no entry counts and none keeps are released.
  void ReleaseUnusedImages();
  // After a display-mode change: every loaded picture is released and requested again.
  void RebuildImages();
  // Forgets every entry (at close, and between tests).
  void Clear();
  // The image list freed a picture (device finalised): its entry no longer holds it.
  void Forget(const TGfxImage* image);

  int EntryCount() const { return static_cast<int>(entries_.size()); }
  const TQXIm& Entry(int i) const { return *entries_[static_cast<size_t>(i)]; }

  // Called after every picture loaded while the loading phase runs (the root's progress).
  std::function<void()> OnLoadProgress;

 private:
  struct Decode;
  void Load(TQXIm& entry);
  TGfxImages* images_;
  TResArchive* archive_;
  TGameFs* files_;
  std::deque<std::unique_ptr<TQXIm>> entries_;
  bool parallel_ = true;
  std::vector<TQXIm*> queued_;  // in the order they were queued
  std::vector<std::pair<TQXIm*, std::shared_ptr<Decode>>> ahead_;
  int takenAhead_ = 0;
  std::unique_ptr<WorkPool> pool_;  // made at the first decode ahead
};

}  // namespace qx
