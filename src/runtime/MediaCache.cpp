#include "runtime/MediaCache.h"

#include "base/CodePage.h"
#include "base/Log.h"
#include "resources/FrameLayout.h"
#include "resources/GameFs.h"
#include "resources/GfxImages.h"
#include "resources/ImageDecoders.h"
#include "runtime/RuntimeState.h"

namespace qx {
namespace {

std::string ExtensionUpper(std::string_view name) {
  const size_t dot = name.find_last_of('.');
  const size_t slash = name.find_last_of("\\/");
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return {};
  return Upper1251(name.substr(dot));
}

// Splits "folder\file.ext" into "folder\" and "file.ext".
void SplitFolder(std::string_view name, std::string& folder, std::string& file) {
  const size_t slash = name.find_last_of("\\/");
  folder = slash == std::string_view::npos ? std::string() : std::string(name.substr(0, slash + 1));
  file = std::string(slash == std::string_view::npos ? name : name.substr(slash + 1));
}

bool DecodeFrom(TFileSource where, TGameFs& fs, TResArchive* archive, const std::string& name, TBitmap& bmp) {
  std::vector<uint8_t> data;
  if (!ReadGameFileFrom(where, fs, archive, name, data)) return false;
  std::string error;
  if (!LoadPictureFromMemory(name, data.data(), data.size(), bmp, error)) {
    LogDetail("media", name + ": " + error);
    return false;
  }
  return true;
}

// Colours of `colours`, alpha from the mask's palette indices (0 beyond the mask).
void ApplyMask(TBitmap& colours, const TBitmap& mask) {
  for (int y = 0; y < colours.height; ++y) {
    for (int x = 0; x < colours.width; ++x) {
      uint32_t& p = colours.pixels[static_cast<size_t>(y) * colours.width + x];
      const bool inside = x < mask.width && y < mask.height;
      const uint8_t alpha = inside ? mask.indices[static_cast<size_t>(y) * mask.width + x] : 0;
      p = (p & 0x00FFFFFFu) | (uint32_t{alpha} << 24);
    }
  }
  colours.hasAlpha = true;
}

}  // namespace

TQXIm* MediaCache::GetImage(std::string_view name, bool force, bool reportMissing) {
  RuntimeState& rt = Runtime();
  std::string requested(name);
  std::string upper = Upper1251(name);
  const std::string folder = Upper1251(rt.GameFolder);
  if (!folder.empty() && upper.rfind(folder, 0) == 0) {
    upper.erase(0, folder.size());
    requested.erase(0, folder.size());
  }
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
    else if (entry->Count == 1) ++rt.ImForLoadCount;  // queued for the loading phase
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
  TBitmap bitmap;
  bool ok = DecodeFrom(where, fs, archive_, name, bitmap);

  std::string folder, file;
  SplitFolder(name, folder, file);
  const std::string ext = ExtensionUpper(name);
  if (ok && ext == ".BMP" && !bitmap.indices.empty()) {
    // An 8-bit mask whose colours come from a JPEG beside it.
    const TBitmap mask = bitmap;
    const std::string stem = file.substr(0, file.size() - ext.size());
    std::vector<std::string> partners;
    if (const size_t underscore = file.find('_'); underscore != std::string::npos) {
      partners.push_back(folder + file.substr(0, underscore) + ".jpg");
    }
    partners.push_back(folder + stem + "_.jpg");
    for (const std::string& partner : partners) {
      TBitmap colours;
      if (!DecodeFrom(where, fs, archive_, partner, colours)) continue;
      ApplyMask(colours, mask);
      bitmap = std::move(colours);
    }
  } else if (ok && ext == ".JPG") {
    if (const size_t underscore = file.find('_'); underscore != std::string::npos) {
      TBitmap mask;
      if (DecodeFrom(where, fs, archive_, folder + file.substr(0, underscore) + ".bmp", mask) &&
          !mask.indices.empty()) {
        ApplyMask(bitmap, mask);
      }
    }
  }
  if (!ok) {
    entry.Failed = true;
    return;
  }
  std::vector<uint8_t> layoutText;
  TFrameGrid grid;
  if (ReadGameFileFrom(where, fs, archive_, FrameLayoutFileName(name), layoutText)) {
    grid = ParseFrameLayout(std::string_view(reinterpret_cast<const char*>(layoutText.data()), layoutText.size()));
  }
  grid = ClampFrameGrid(grid, bitmap.width, bitmap.height);

  TGfxImage* image = images_->Add();
  image->SetName(entry.Name);
  image->SetQuality(TGfxQuality::aqHigh);
  image->SetAlphaLevel(TAlphaLevel::alFull);
  image->SetMipMapping(images_->MipMappping());
  image->SetFrameLayout(bitmap.width / grid.columns, bitmap.height / grid.rows, grid.columns * grid.rows);
  if (!image->LoadFromBitmap(bitmap)) {
    images_->Remove(image);
    entry.Failed = true;
    LogDetail("media", name + ": cannot make textures");
    return;
  }
  entry.Image = image;
  if (rt.LoadingPhase && OnLoadProgress) OnLoadProgress();
}

void MediaCache::ClearImageCounts() {
  for (auto& e : entries_) e->Count = 0;
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

void MediaCache::Clear() { entries_.clear(); }

void MediaCache::Forget(const TGfxImage* image) {
  for (auto& e : entries_) {
    if (e->Image == image) e->Image = nullptr;
  }
}

}  // namespace qx
