#include "runtime/MediaCache.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>

#include "base/CodePage.h"
#include "base/Log.h"
#include "base/WorkPool.h"
#include "resources/GameFs.h"
#include "resources/GfxImages.h"
#include "resources/PicturePrep.h"
#include "runtime/RuntimeState.h"

namespace qx {

// One picture decoded ahead. State 0: waiting for a thread; 1: being decoded; 2: done;
// 3: dropped before it started. Whoever moves it from 0 to 1 (a worker, or the game thread
// that needs it) does the work.
struct MediaCache::Decode {
  explicit Decode(TFileSource from, TPictureFiles in) : where(from), files(std::move(in)) {}
  bool Claim() {
    int expected = 0;
    return state.compare_exchange_strong(expected, 1);
  }
  void Run() {
    TPreparedPicture done = PreparePicture(files);
    std::lock_guard<std::mutex> guard(lock);
    result = std::move(done);
    files = TPictureFiles{};
    state = 2;
    ready.notify_all();
  }
  // The result, on the game thread: done here when no worker has started it.
  TPreparedPicture Take() {
    if (Claim()) Run();
    std::unique_lock<std::mutex> guard(lock);
    ready.wait(guard, [this] { return state.load() == 2; });
    return std::move(result);
  }
  const TFileSource where;
  std::atomic<int> state{0};
  std::mutex lock;
  std::condition_variable ready;
  TPictureFiles files;
  TPreparedPicture result;
};

MediaCache::MediaCache(TGfxImages* images, TResArchive* archive, TGameFs* files)
    : images_(images), archive_(archive), files_(files) {}

MediaCache::~MediaCache() { DropDecodedAhead(); }

namespace {

// A picture's name as the cache keys it (upper case, without the game folder) and as it was
// asked for (without the game folder).
void CacheNames(std::string_view name, std::string& requested, std::string& upper) {
  requested = std::string(name);
  upper = Upper1251(name);
  const std::string folder = Upper1251(Runtime().GameFolder);
  if (!folder.empty() && upper.rfind(folder, 0) == 0) {
    upper.erase(0, folder.size());
    requested.erase(0, folder.size());
  }
}

}  // namespace

TQXIm* MediaCache::Find(std::string_view name) const {
  std::string requested, upper;
  CacheNames(name, requested, upper);
  for (const auto& e : entries_) {
    if (e->Name == upper) return e.get();
  }
  return nullptr;
}

TQXIm* MediaCache::GetImage(std::string_view name, bool force, bool reportMissing) {
  RuntimeState& rt = Runtime();
  std::string requested, upper;
  CacheNames(name, requested, upper);
  TQXIm* entry = nullptr;
  for (auto& e : entries_) {
    if (e->Name == upper) {
      entry = e.get();
      break;
    }
  }
  if (!entry) {
    auto made = std::make_unique<TQXIm>();
    made->Name = upper;
    made->RequestedName = requested;
    made->Keep = force;
    made->ReportMissing = reportMissing;
    entry = made.get();
    entries_.push_back(std::move(made));
  }
  ++entry->Count;
  if (!entry->Image && !entry->Failed) {
    if (rt.LoadNow || force) Load(*entry);
    else if (entry->Count == 1) {  // queued for the loading phase
      ++rt.ImForLoadCount;
      queued_.push_back(entry);
    }
  }
  return entry;
}

void MediaCache::Load(TQXIm& entry) {
  RuntimeState& rt = Runtime();
  ++rt.ImForLoadPos;
  if (!files_ || !images_) return;
  TGameFs& fs = *files_;
  // The picture: on disk first, then in the archive; its companions come from the same place.
  const TFileSource where = LocateGameFile(fs, archive_, entry.RequestedName);
  if (where == TFileSource::None) {  // missing: not failed, a later request tries again
    if (entry.ReportMissing) LogDetailOnce("media", "no picture " + Cp1251ToUtf8(entry.RequestedName));
    return;
  }
  const std::string& name = entry.RequestedName;
  TPreparedPicture picture;
  const auto ahead = std::find_if(ahead_.begin(), ahead_.end(), [&](const auto& a) { return a.first == &entry; });
  if (ahead != ahead_.end() && ahead->second->where == where) {
    const std::shared_ptr<Decode> decode = ahead->second;
    ahead_.erase(ahead);
    picture = decode->Take();
    ++takenAhead_;
  } else {
    if (ahead != ahead_.end()) ahead_.erase(ahead);  // found elsewhere now: read again
    picture = PreparePicture(ReadPictureFiles(where, fs, archive_, name, entry.Name));
  }
  for (const auto& [tag, line] : picture.details) LogDetail(tag, line);
  if (!picture.decoded) {
    entry.Failed = true;
    return;
  }
  TGfxImage* image = images_->Add();
  image->SetName(entry.Name);
  image->SetQuality(TGfxQuality::aqHigh);
  image->SetAlphaLevel(TAlphaLevel::alFull);
  image->SetMipMapping(images_->MipMappping());
  image->SetFrameLayout(picture.frameWidth, picture.frameHeight, picture.frameCount);
  bool loaded = picture.laidOut;
  if (loaded) {
    loaded = image->LoadFromPages(std::move(picture.pages));
  } else {
    LogDetail("image", entry.Name + ": " + picture.layoutError);
  }
  if (!loaded) {
    images_->Remove(image);
    entry.Failed = true;
    LogDetail("media", name + ": cannot make textures");
    return;
  }
  entry.Image = image;
  if (rt.LoadingPhase && OnLoadProgress) OnLoadProgress();
}

void MediaCache::DecodeQueuedAhead() {
  std::vector<TQXIm*> queued;
  queued.swap(queued_);
  DecodeAhead(queued);
}

void MediaCache::DecodeAhead(const std::vector<TQXIm*>& entries) {
  if (!parallel_ || !files_ || !images_) return;
  for (TQXIm* entry : entries) {
    if (entry->Image || entry->Failed) continue;
    if (std::any_of(ahead_.begin(), ahead_.end(), [&](const auto& a) { return a.first == entry; })) continue;
    const TFileSource where = LocateGameFile(*files_, archive_, entry->RequestedName);
    if (where == TFileSource::None) continue;  // its load says so
    if (!pool_) pool_ = std::make_unique<WorkPool>(WorkPool::CoresUpTo(8));
    auto decode = std::make_shared<Decode>(
        where, ReadPictureFiles(where, *files_, archive_, entry->RequestedName, entry->Name));
    ahead_.emplace_back(entry, decode);
    pool_->Post([decode] {
      if (decode->Claim()) decode->Run();
    });
  }
}

void MediaCache::DropDecodedAhead() {
  // A decode not started never starts; one running finishes into a result nobody takes.
  for (auto& [entry, decode] : ahead_) {
    int expected = 0;
    decode->state.compare_exchange_strong(expected, 3);
  }
  ahead_.clear();
}

void MediaCache::ClearImageCounts() {
  for (auto& e : entries_) e->Count = 0;
  queued_.clear();
}

void MediaCache::ReleaseUnusedImages() {
  for (auto& e : entries_) {
    if (e->Count == 0 && !e->Keep && e->Image) {
      if (images_) images_->Remove(e->Image);
      e->Image = nullptr;
    }
  }
}

void MediaCache::RebuildImages() {
  for (auto& e : entries_) {
    if (!e->Image) continue;
    if (images_) images_->Remove(e->Image);
    e->Image = nullptr;
    GetImage(e->RequestedName, false);
  }
}

void MediaCache::Clear() {
  DropDecodedAhead();
  queued_.clear();
  entries_.clear();
}

void MediaCache::Forget(const TGfxImage* image) {
  for (auto& e : entries_) {
    if (e->Image == image) e->Image = nullptr;
  }
}

}  // namespace qx
