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

// Lets the decoder write a one-frame picture straight into its texture page; a picture too
// small for a cell of its own goes into a plain bitmap for LayOutPages instead.
class FramePageSink final : public TPixelSink {
 public:
  explicit FramePageSink(std::vector<uint32_t>& page) : page_(page) {}
  uint32_t* Place(int width, int height, size_t& pitch) override {
    CacheLayout(layout_, width, height, 1);
    direct_ = layout_.TakesFrameDirectly();
    if (direct_) {
      size_t first = 0;
      layout_.StartFramePage(page_, first, pitch);
      first_ = page_.data() + first;
    } else {
      first_ = TBitmapSink(bitmap_).Place(width, height, pitch);
    }
    pitch_ = pitch;
    return first_;
  }
  bool Direct() const { return direct_; }
  uint32_t* First() const { return first_; }
  size_t Pitch() const { return pitch_; }
  const TGfxImage& Layout() const { return layout_; }
  TBitmap& Bitmap() { return bitmap_; }

 private:
  std::vector<uint32_t>& page_;
  TGfxImage layout_{nullptr};
  bool direct_ = false;
  uint32_t* first_ = nullptr;
  size_t pitch_ = 0;
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

// A JPEG whose name has a '_' takes its alpha from the 8-bit BMP beside it, when that decodes
// with palette indices.
bool DecodeJpegMask(const TPictureFiles& files, TBitmap& mask, TPreparedPicture& out) {
  return ExtensionUpper(files.name) == ".JPG" && !files.companions.empty() &&
         Decode(files.companions.front().first, files.companions.front().second, mask, out) && !mask.indices.empty();
}

// A picture of one frame (a PNG, or a JPEG with or without its mask) decodes straight into
// its texture page: nothing but the mask's alpha happens between decoding and laying out.
TPreparedPicture PrepareOneFrame(const TPictureFiles& files) {
  TPreparedPicture out;
  out.pages.resize(1);
  FramePageSink sink(out.pages[0]);
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
  out.frameWidth = info.width;
  out.frameHeight = info.height;
  out.frameCount = 1;
  if (sink.Direct()) {
    sink.Layout().FinishFramePage(out.pages[0]);
    out.laidOut = true;
    return out;
  }
  info.pixels = std::move(sink.Bitmap().pixels);  // too small for a cell of its own
  out.laidOut = sink.Layout().LayOutPages(info, out.pages, out.layoutError);
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
  if (DecodesIntoSink(PictureFormatOf(files.name)) && grid.columns == 1 && grid.rows == 1) {
    return PrepareOneFrame(files);
  }
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
