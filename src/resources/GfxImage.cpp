#include "resources/GfxImage.h"

#include <algorithm>

#include "base/Log.h"
#include "resources/ImageDecoders.h"

namespace qx {
namespace {

constexpr size_t kStreamHeader = 33;

int32_t I32(const uint8_t* p) {
  return static_cast<int32_t>(uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24);
}

bool SideOk(int64_t v) { return v > 0 && v <= kMaxImageSide; }

const std::vector<uint32_t> kNoPixels;

}  // namespace

TGfxImage::TGfxImage(GfxPlatform* platform) : platform_(platform) {}

TGfxImage::~TGfxImage() { DropTextures(); }

void TGfxImage::SetPatternSize(int width, int height) {
  patternWidth_ = width;
  patternHeight_ = height;
}

void TGfxImage::SetVisibleSize(int width, int height) {
  visibleWidth_ = width;
  visibleHeight_ = height;
}

void TGfxImage::SetTextureSize(int width, int height) {
  textureWidth_ = width;
  textureHeight_ = height;
}

void TGfxImage::SetFrameLayout(int frameWidth, int frameHeight, int frameCount) {
  SetPatternSize(frameWidth, frameHeight);
  SetVisibleSize(frameWidth, frameHeight);
  const auto cell = [](int v) { return (v + 2 + 1) & ~1; };
  SetTextureSize(cell(frameWidth), cell(frameHeight));
  SetPatternCount(frameCount);
}

int TGfxImage::FramesPerRow() const {
  return patternWidth_ > 0 && textureWidth_ >= patternWidth_ ? textureWidth_ / patternWidth_ : 0;
}

int TGfxImage::FramesPerColumn() const {
  return patternHeight_ > 0 && textureHeight_ >= patternHeight_ ? textureHeight_ / patternHeight_ : 0;
}

bool TGfxImage::FramePlace(int frame, TFramePlace& place) const {
  const int perTexture = FramesPerTexture();
  if (pages_.empty() || patternCount_ <= 0 || perTexture <= 0) return false;
  frame = std::clamp(frame, 0, patternCount_ - 1);
  place.texture = frame / perTexture;
  if (place.texture >= TextureCount()) return false;
  const int within = frame % perTexture;
  place.left = (within % FramesPerRow()) * patternWidth_ + FrameLeft();
  place.top = (within / FramesPerRow()) * patternHeight_ + FrameTop();
  return true;
}

bool TGfxImage::CheckLayout(std::string& error) const {
  if (!SideOk(patternWidth_) || !SideOk(patternHeight_) || !SideOk(visibleWidth_) || !SideOk(visibleHeight_) ||
      !SideOk(textureWidth_) || !SideOk(textureHeight_)) {
    error = "frame or texture size out of range";
    return false;
  }
  if (patternCount_ <= 0) {
    error = "no frames";
    return false;
  }
  if (FramesPerTexture() <= 0) {
    error = "a frame cell is larger than the texture";
    return false;
  }
  return true;
}

bool TGfxImage::LoadFromBitmap(const TBitmap& bitmap) {
  ReleaseTextures();
  std::vector<std::vector<uint32_t>> pages;
  std::string error;
  if (!LayOutPages(bitmap, pages, error)) {
    LogDetail("image", name_ + ": " + error);
    return false;
  }
  return LoadFromPages(std::move(pages));
}

bool TGfxImage::LoadFromPages(std::vector<std::vector<uint32_t>>&& pages) {
  ReleaseTextures();
  pages_ = std::move(pages);
  if (!CreateTextures()) {
    LogDetail("image", name_ + ": cannot create the textures");
    ReleaseTextures();
    return false;
  }
  return true;
}

bool TGfxImage::LayOutPages(const TBitmap& bitmap, std::vector<std::vector<uint32_t>>& pages,
                            std::string& error) const {
  pages.clear();
  const auto fail = [&error](const char* why) {
    error = why;
    return false;
  };
  if (!CheckLayout(error)) return false;
  if (visibleWidth_ > patternWidth_ || visibleHeight_ > patternHeight_) {
    return fail("the visible frame is larger than its cell");
  }
  if (bitmap.Empty() || bitmap.pixels.size() != static_cast<size_t>(bitmap.width) * static_cast<size_t>(bitmap.height)) {
    return fail("no picture");
  }
  const int sourceColumns = bitmap.width / visibleWidth_;
  const int sourceRows = bitmap.height / visibleHeight_;
  if (sourceColumns == 0 || sourceRows == 0) {
    return fail("the picture is smaller than one frame");
  }
  const int columns = FramesPerRow(), rows = FramesPerColumn(), perTexture = columns * rows;
  const int pageCount = (patternCount_ + perTexture - 1) / perTexture;
  const size_t tw = static_cast<size_t>(textureWidth_), th = static_cast<size_t>(textureHeight_);
  if (static_cast<int64_t>(pageCount) * textureWidth_ * textureHeight_ > kMaxTexturePixels) {
    return fail("the texture pages would exceed the size limit");
  }
  const int offsetX = FrameLeft(), offsetY = FrameTop();
  const size_t vw = static_cast<size_t>(visibleWidth_);
  pages.resize(static_cast<size_t>(pageCount));
  for (int page = 0; page < pageCount; ++page) {
    std::vector<uint32_t>& out = pages[static_cast<size_t>(page)];
    out.assign(tw * th, 0);
    for (size_t ty = 0; ty < th; ++ty) {
      // Rows past the last cell row, and each cell's spare rows, repeat the nearest frame row.
      const int cellRow = std::min(static_cast<int>(ty) / patternHeight_, rows - 1);
      const int lineInFrame =
          std::clamp(static_cast<int>(ty) - cellRow * patternHeight_ - offsetY, 0, visibleHeight_ - 1);
      uint32_t* dst = out.data() + ty * tw;
      for (int cellColumn = 0; cellColumn < columns; ++cellColumn) {
        const int frame = page * perTexture + cellRow * columns + cellColumn;
        if (frame >= patternCount_ || frame / sourceColumns >= sourceRows) continue;  // stays transparent
        const size_t sy = static_cast<size_t>((frame / sourceColumns) * visibleHeight_ + lineInFrame);
        const uint32_t* src = bitmap.pixels.data() + sy * static_cast<size_t>(bitmap.width) +
                              static_cast<size_t>(frame % sourceColumns) * vw;
        const size_t x0 = static_cast<size_t>(cellColumn * patternWidth_);
        const size_t x1 = cellColumn == columns - 1 ? tw : x0 + static_cast<size_t>(patternWidth_);
        const size_t left = x0 + static_cast<size_t>(offsetX);
        std::fill(dst + x0, dst + left, src[0]);
        std::copy_n(src, vw, dst + left);
        std::fill(dst + left + vw, dst + x1, src[vw - 1]);
      }
    }
    if (alphaLevel_ == TAlphaLevel::alNone) {
      for (uint32_t& p : out) p |= 0xFF000000u;
    }
  }
  return true;
}

bool TGfxImage::TakesFramesDirectly() const {
  std::string error;
  return CheckLayout(error) && FramesPerTexture() == 1 && visibleWidth_ <= patternWidth_ &&
         visibleHeight_ <= patternHeight_ &&
         int64_t{patternCount_} * textureWidth_ * textureHeight_ <= kMaxTexturePixels;
}

void TGfxImage::StartFramePages(std::vector<std::vector<uint32_t>>& pages, size_t& first, size_t& pitch) const {
  pitch = static_cast<size_t>(textureWidth_);
  pages.resize(static_cast<size_t>(patternCount_));
  // The decoder writes the frames and FinishFramePages everything around them.
  for (std::vector<uint32_t>& page : pages) page.assign(pitch * static_cast<size_t>(textureHeight_), 0);
  first = static_cast<size_t>(FrameTop()) * pitch + static_cast<size_t>(FrameLeft());
}

void TGfxImage::PutPictureRow(std::vector<std::vector<uint32_t>>& pages, int y, const uint32_t* row,
                              int pictureWidth, int pictureHeight) const {
  // Frames are taken left to right, top to bottom, as many a row as the picture's width holds;
  // rows and columns past the last whole frame are not drawn.
  const int sourceColumns = pictureWidth / visibleWidth_;
  const int sourceRow = y / visibleHeight_;
  if (sourceRow >= pictureHeight / visibleHeight_) return;
  const size_t pitch = static_cast<size_t>(textureWidth_), vw = static_cast<size_t>(visibleWidth_);
  const size_t at = static_cast<size_t>(FrameTop() + y % visibleHeight_) * pitch + static_cast<size_t>(FrameLeft());
  for (int column = 0; column < sourceColumns; ++column) {
    const int64_t frame = int64_t{sourceRow} * sourceColumns + column;
    if (frame >= patternCount_) return;
    std::copy_n(row + static_cast<size_t>(column) * vw, vw, pages[static_cast<size_t>(frame)].data() + at);
  }
}

void TGfxImage::FinishFramePages(std::vector<std::vector<uint32_t>>& pages) const {
  const size_t tw = static_cast<size_t>(textureWidth_), th = static_cast<size_t>(textureHeight_);
  const size_t vw = static_cast<size_t>(visibleWidth_), vh = static_cast<size_t>(visibleHeight_);
  const size_t left = static_cast<size_t>(FrameLeft());
  const size_t top = static_cast<size_t>(FrameTop());
  for (std::vector<uint32_t>& page : pages) {
    uint32_t* const p = page.data();
    // As LayOutPages does: columns beside the frame repeat its edge pixels, rows above and
    // below repeat its first and last rows.
    for (size_t y = top; y < top + vh; ++y) {
      uint32_t* row = p + y * tw;
      std::fill(row, row + left, row[left]);
      std::fill(row + left + vw, row + tw, row[left + vw - 1]);
    }
    for (size_t y = 0; y < top; ++y) std::copy_n(p + top * tw, tw, p + y * tw);
    for (size_t y = top + vh; y < th; ++y) std::copy_n(p + (top + vh - 1) * tw, tw, p + y * tw);
    if (alphaLevel_ == TAlphaLevel::alNone) {
      for (uint32_t& px : page) px |= 0xFF000000u;
    }
  }
}

bool TGfxImage::LoadFromStream(const uint8_t* data, size_t size, size_t* consumed) {
  ReleaseTextures();
  if (consumed) *consumed = 0;
  const auto fail = [this](const std::string& why) {
    LogDetail("image", name_ + ": " + why);
    ReleaseTextures();
    return false;
  };
  std::string error;
  if (!data || size < kStreamHeader) return fail("image stream cut short in its header");
  const auto format = static_cast<TPixelFormat>(data[0]);
  const int bytes = BytesPerPixel(format);
  if (bytes == 0) {
    return fail("unknown pixel format " + std::to_string(data[0]));
  }
  SetPatternSize(I32(data + 1), I32(data + 5));
  SetVisibleSize(I32(data + 9), I32(data + 13));
  SetPatternCount(I32(data + 17));
  SetTextureSize(I32(data + 21), I32(data + 25));
  const int32_t pageCount = I32(data + 29);
  if (!CheckLayout(error)) return fail(error);
  if (pageCount <= 0) {
    return fail("no texture pages");
  }
  const int64_t pagePixels = int64_t{textureWidth_} * textureHeight_;
  if (pageCount * pagePixels > kMaxTexturePixels) {
    return fail("the texture pages exceed the size limit");
  }
  if (patternCount_ > int64_t{pageCount} * FramesPerTexture()) {
    return fail("more frames than the texture pages hold");
  }
  const uint64_t needed = static_cast<uint64_t>(pageCount) * static_cast<uint64_t>(pagePixels) * static_cast<uint64_t>(bytes);
  if (needed > size - kStreamHeader) {
    return fail("image stream cut short in its pixels");
  }
  const uint8_t* p = data + kStreamHeader;
  pages_.resize(static_cast<size_t>(pageCount));
  for (std::vector<uint32_t>& page : pages_) {
    page.resize(static_cast<size_t>(pagePixels));
    for (uint32_t& px : page) {
      px = PixelToArgb(format, p);
      if (alphaLevel_ == TAlphaLevel::alNone) px |= 0xFF000000u;
      p += bytes;
    }
  }
  if (!CreateTextures()) {
    return fail("cannot create the textures");
  }
  if (consumed) *consumed = kStreamHeader + static_cast<size_t>(needed);
  return true;
}

bool TGfxImage::CreateTextures() {
  textures_.assign(pages_.size(), 0);
  for (size_t i = 0; i < pages_.size(); ++i) {
    textures_[i] = platform_ ? platform_->CreateTexture(textureWidth_, textureHeight_) : 0;
    if (textures_[i] == 0 || !platform_->UploadTexture(textures_[i], pages_[i].data(), textureWidth_)) {
      DropTextures();
      return false;
    }
  }
  state_ = TTextureState::tsReady;
  return true;
}

void TGfxImage::DropTextures() {
  for (TextureHandle t : textures_) {
    if (t != 0 && platform_) platform_->ReleaseTexture(t);
  }
  textures_.clear();
}

void TGfxImage::ReleaseTextures() {
  DropTextures();
  pages_.clear();
  state_ = TTextureState::tsNone;
}

uint32_t TGfxImage::GetPixel(int x, int y, int textureIndex) const {
  if (textureIndex < 0 || textureIndex >= TextureCount() || x < 0 || y < 0 || x >= textureWidth_ ||
      y >= textureHeight_) {
    return 0;
  }
  return pages_[static_cast<size_t>(textureIndex)][static_cast<size_t>(y) * static_cast<size_t>(textureWidth_) +
                                                   static_cast<size_t>(x)];
}

TextureHandle TGfxImage::Texture(int index) const {
  if (state_ != TTextureState::tsReady || index < 0 || index >= static_cast<int>(textures_.size())) return 0;
  return textures_[static_cast<size_t>(index)];
}

const std::vector<uint32_t>& TGfxImage::PagePixels(int index) const {
  if (index < 0 || index >= TextureCount()) return kNoPixels;
  return pages_[static_cast<size_t>(index)];
}

void TGfxImage::DeviceLost() {
  if (state_ == TTextureState::tsReady) state_ = TTextureState::tsLost;
}

void TGfxImage::DeviceReset() {
  if (!platform_) return;
  if (state_ != TTextureState::tsLost && state_ != TTextureState::tsFailed) return;
  // A back end may have dropped the texture contents with the device: fill them again from
  // the kept pages, re-creating any texture that is gone.
  textures_.resize(pages_.size(), 0);
  for (size_t i = 0; i < pages_.size(); ++i) {
    TextureHandle& t = textures_[i];
    if (t != 0 && platform_->UploadTexture(t, pages_[i].data(), textureWidth_)) continue;
    if (t != 0) platform_->ReleaseTexture(t);
    t = platform_->CreateTexture(textureWidth_, textureHeight_);
    if (t == 0 || !platform_->UploadTexture(t, pages_[i].data(), textureWidth_)) {
      LogDetail("image", name_ + ": cannot re-create its textures after a device reset");
      state_ = TTextureState::tsFailed;
      return;
    }
  }
  state_ = TTextureState::tsReady;
}

}  // namespace qx
