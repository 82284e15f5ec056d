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

// Decodes as the decoder chosen by the name, noting a failure as the loaders have always
// reported it: once from the decoder, once from the media cache.
bool Decode(const std::string& name, const std::vector<uint8_t>& data, TBitmap& bmp, TPreparedPicture& out) {
  std::string error;
  if (DecodePicture(PictureFormatOf(name), data.data(), data.size(), bmp, error)) return true;
  error = name + ": " + error;
  out.details.emplace_back("image", error);
  out.details.emplace_back("media", name + ": " + error);
  return false;
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
  } else if (ext == ".JPG" && !files.companions.empty()) {
    TBitmap mask;
    if (Decode(files.companions.front().first, files.companions.front().second, mask, out) && !mask.indices.empty()) {
      ApplyMask(bitmap, mask);
    }
  }
  out.decoded = true;
  TFrameGrid grid;
  if (files.hasLayout) {
    grid = ParseFrameLayout(std::string_view(reinterpret_cast<const char*>(files.layout.data()), files.layout.size()));
  }
  grid = ClampFrameGrid(grid, bitmap.width, bitmap.height);
  out.frameWidth = bitmap.width / grid.columns;
  out.frameHeight = bitmap.height / grid.rows;
  out.frameCount = grid.columns * grid.rows;
  // The same layout the media cache's image will have, on no device.
  TGfxImage layout(nullptr);
  layout.SetAlphaLevel(TAlphaLevel::alFull);
  layout.SetFrameLayout(out.frameWidth, out.frameHeight, out.frameCount);
  out.laidOut = layout.LayOutPages(bitmap, out.pages, out.layoutError);
  return out;
}

}  // namespace qx
