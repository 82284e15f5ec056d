#include "resources/PicturePrep.h"

#include "base/CodePage.h"
#include "resources/FrameLayout.h"
#include "resources/GfxImage.h"
#include "resources/ImageDecoders.h"

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

// A failed decode noted as the loaders have always reported it: once from the decoder, once
// from the media cache.
bool NoteFailure(const std::string& name, const std::string& error, TPreparedPicture& out) {
  const std::string line = name + ": " + error;
  out.details.emplace_back("image", line);
  out.details.emplace_back("media", name + ": " + line);
  return false;
}

// Decodes as the decoder chosen by the name.
bool Decode(const std::string& name, const std::vector<uint8_t>& data, TBitmap& bmp, TPreparedPicture& out) {
  std::string error;
  if (DecodePicture(PictureFormatOf(name), data.data(), data.size(), bmp, error)) return true;
  return NoteFailure(name, error, out);
}

// The layout the media cache gives a picture (its alpha kept as it is).
void CacheLayout(TGfxImage& layout, int width, int height, int frameCount) {
  layout.SetAlphaLevel(TAlphaLevel::alFull);
  layout.SetFrameLayout(width, height, frameCount);
}

// Lets the decoder write a picture straight into its texture pages, one frame a page: a
// picture of one frame in place, one of several row by row, each row shared out among its
// frames. What the layout cannot take so (frames too small for a page of their own, an
// interlaced picture of several frames) goes into a plain bitmap for LayOutPages instead.
class FramePagesSink final : public TPixelSink {
 public:
  FramePagesSink(TFrameGrid grid, std::vector<std::vector<uint32_t>>& pages) : grid_(grid), pages_(pages) {}
  uint32_t* Place(int width, int height, bool rowsInOrder, size_t& pitch) override {
    width_ = width;
    height_ = height;
    const TFrameGrid grid = ClampFrameGrid(grid_, width, height);
    const int frameCount = grid.columns * grid.rows;
    CacheLayout(layout_, width / grid.columns, height / grid.rows, frameCount);
    direct_ = layout_.TakesFramesDirectly() && (frameCount == 1 || rowsInOrder);
    if (!direct_) {
      first_ = TBitmapSink(bitmap_).Place(width, height, rowsInOrder, pitch);
    } else {
      size_t first = 0;
      layout_.StartFramePages(pages_, first, pitch);
      if (frameCount == 1) {
        first_ = pages_[0].data() + first;
      } else {
        row_.resize(static_cast<size_t>(width));
        pitch = 0;
        first_ = row_.data();
      }
    }
    pitch_ = pitch;
    return first_;
  }
  void RowWritten(int y) override {
    if (!row_.empty()) layout_.PutPictureRow(pages_, y, row_.data(), width_, height_);
  }

  // Where the pixels of a picture of one frame are (in its page, or in the bitmap).
  uint32_t* First() const { return first_; }
  size_t Pitch() const { return pitch_; }
  // After a successful decode: lays out what is not laid out yet.
  bool Finish(TPreparedPicture& out) {
    out.frameWidth = layout_.PatternWidth();
    out.frameHeight = layout_.PatternHeight();
    out.frameCount = layout_.PatternCount();
    if (direct_) {
      layout_.FinishFramePages(pages_);
      return true;
    }
    bitmap_.width = width_;
    bitmap_.height = height_;
    return layout_.LayOutPages(bitmap_, pages_, out.layoutError);
  }

 private:
  const TFrameGrid grid_;
  std::vector<std::vector<uint32_t>>& pages_;
  int width_ = 0, height_ = 0;
  TGfxImage layout_{nullptr};
  bool direct_ = false;
  uint32_t* first_ = nullptr;
  size_t pitch_ = 0;
  std::vector<uint32_t> row_;
  TBitmap bitmap_;
};

// Alpha from the mask's palette indices (0 beyond the mask) for pixels whose rows lie `pitch`
// apart; the colours stay.
void ApplyMask(uint32_t* first, size_t pitch, int width, int height, const TBitmap& mask) {
  for (int y = 0; y < height; ++y) {
    uint32_t* row = first + static_cast<size_t>(y) * pitch;
    for (int x = 0; x < width; ++x) {
      const bool inside = x < mask.width && y < mask.height;
      const uint8_t alpha = inside ? mask.indices[static_cast<size_t>(y) * mask.width + x] : 0;
      row[x] = (row[x] & 0x00FFFFFFu) | (uint32_t{alpha} << 24);
    }
  }
}

void ApplyMask(TBitmap& colours, const TBitmap& mask) {
  ApplyMask(colours.pixels.data(), static_cast<size_t>(colours.width), colours.width, colours.height, mask);
  colours.hasAlpha = true;
}

bool HasJpegMask(const TPictureFiles& files) {
  return ExtensionUpper(files.name) == ".JPG" && !files.companions.empty();
}

// A JPEG whose name has a '_' takes its alpha from the 8-bit BMP beside it, when that decodes
// with palette indices.
bool DecodeJpegMask(const TPictureFiles& files, TBitmap& mask, TPreparedPicture& out) {
  return HasJpegMask(files) &&
         Decode(files.companions.front().first, files.companions.front().second, mask, out) && !mask.indices.empty();
}

// PNG and JPEG pictures decode straight into their texture pages, a JPEG of one frame taking
// its mask's alpha there; nothing else happens between decoding and laying out.
bool DecodesIntoPages(const TPictureFiles& files, const TFrameGrid& grid) {
  return DecodesIntoSink(PictureFormatOf(files.name)) && ((grid.columns == 1 && grid.rows == 1) || !HasJpegMask(files));
}

TPreparedPicture PrepareInPages(const TPictureFiles& files, const TFrameGrid& grid) {
  TPreparedPicture out;
  FramePagesSink sink(grid, out.pages);
  TBitmap info;
  std::string error;
  if (!DecodePictureInto(PictureFormatOf(files.name), files.data.data(), files.data.size(), sink, info, error)) {
    out.pages.clear();
    NoteFailure(files.name, error, out);
    return out;
  }
  TBitmap mask;
  if (DecodeJpegMask(files, mask, out)) ApplyMask(sink.First(), sink.Pitch(), info.width, info.height, mask);
  out.decoded = true;
  out.laidOut = sink.Finish(out);
  return out;
}

}  // namespace

TPictureFiles ReadPictureFiles(TFileSource where, TGameFs& fs, TResArchive* archive, const std::string& name,
                               const std::string& imageName) {
  TPictureFiles f;
  f.name = name;
  f.imageName = imageName;
  f.read = ReadGameFileFrom(where, fs, archive, name, f.data);
  std::string folder, file;
  SplitFolder(name, folder, file);
  const std::string ext = ExtensionUpper(name);
  std::vector<std::string> companions;
  if (ext == ".BMP") {
    // An 8-bit mask whose colours come from a JPEG beside it.
    const std::string stem = file.substr(0, file.size() - ext.size());
    if (const size_t underscore = file.find('_'); underscore != std::string::npos) {
      companions.push_back(folder + file.substr(0, underscore) + ".jpg");
    }
    companions.push_back(folder + stem + "_.jpg");
  } else if (ext == ".JPG") {
    if (const size_t underscore = file.find('_'); underscore != std::string::npos) {
      companions.push_back(folder + file.substr(0, underscore) + ".bmp");
    }
  }
  for (const std::string& c : companions) {
    std::vector<uint8_t> data;
    if (ReadGameFileFrom(where, fs, archive, c, data)) f.companions.emplace_back(c, std::move(data));
  }
  f.hasLayout = ReadGameFileFrom(where, fs, archive, FrameLayoutFileName(name), f.layout);
  return f;
}

TPreparedPicture PreparePicture(const TPictureFiles& files) {
  TPreparedPicture out;
  TBitmap bitmap;
  if (!files.read) return out;
  TFrameGrid grid;
  if (files.hasLayout) {
    grid = ParseFrameLayout(std::string_view(reinterpret_cast<const char*>(files.layout.data()), files.layout.size()));
  }
  if (DecodesIntoPages(files, grid)) return PrepareInPages(files, grid);
  if (!Decode(files.name, files.data, bitmap, out)) return out;
  const std::string ext = ExtensionUpper(files.name);
  if (ext == ".BMP" && !bitmap.indices.empty()) {
    const TBitmap mask = bitmap;
    for (const auto& [name, data] : files.companions) {
      TBitmap colours;
      if (!Decode(name, data, colours, out)) continue;
      ApplyMask(colours, mask);
      bitmap = std::move(colours);
    }
  } else if (TBitmap mask; DecodeJpegMask(files, mask, out)) {
    ApplyMask(bitmap, mask);
  }
  out.decoded = true;
  grid = ClampFrameGrid(grid, bitmap.width, bitmap.height);
  out.frameWidth = bitmap.width / grid.columns;
  out.frameHeight = bitmap.height / grid.rows;
  out.frameCount = grid.columns * grid.rows;
  // The same layout the media cache's image will have, on no device.
  TGfxImage layout(nullptr);
  CacheLayout(layout, out.frameWidth, out.frameHeight, out.frameCount);
  out.laidOut = layout.LayOutPages(bitmap, out.pages, out.layoutError);
  return out;
}

}  // namespace qx
