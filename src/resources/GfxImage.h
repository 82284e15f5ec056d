// TGfxImage: a picture cut into equal frames and uploaded into device textures, with a kept
// copy of the texture pages for pixel queries and for rebuilding after a device reset.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "render/CanvasPicture.h"
#include "render/GfxPlatform.h"
#include "resources/Bitmap.h"
#include "resources/PixelFormat.h"

namespace qx {

enum class TTextureState { tsNone, tsReady, tsLost, tsFailed };

class TGfxImage final : public TCanvasPicture {
 public:
  // Texture pages of one image may hold at most this many pixels in all (1 GiB of RGBA8).
  static constexpr int64_t kMaxTexturePixels = int64_t{256} << 20;

  explicit TGfxImage(GfxPlatform* platform);
  ~TGfxImage();
  TGfxImage(const TGfxImage&) = delete;
  TGfxImage& operator=(const TGfxImage&) = delete;

  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }
  TGfxQuality Quality() const { return quality_; }
  void SetQuality(TGfxQuality q) { quality_ = q; }
  // alNone makes every pixel opaque (the original's textures had no alpha then); the other
  // levels keep the alpha as it is.
  TAlphaLevel AlphaLevel() const { return alphaLevel_; }
  void SetAlphaLevel(TAlphaLevel a) { alphaLevel_ = a; }
  // Stored for the image list's setting; GL textures have one level.
  bool MipMapping() const { return mipMapping_; }
  void SetMipMapping(bool on) { mipMapping_ = on; }

  // Frame layout. The pattern is the cell one frame occupies in a texture; the visible
  // pattern is the part of it that is drawn, centred in the cell.
  int PatternWidth() const { return patternWidth_; }
  int PatternHeight() const { return patternHeight_; }
  void SetPatternSize(int width, int height);
  int VisibleWidth() const override { return visibleWidth_; }
  int VisibleHeight() const override { return visibleHeight_; }
  void SetVisibleSize(int width, int height);
  int TextureWidth() const override { return textureWidth_; }
  int TextureHeight() const override { return textureHeight_; }
  void SetTextureSize(int width, int height);
  int PatternCount() const override { return patternCount_; }
  void SetPatternCount(int count) { patternCount_ = count; }
  int TextureCount() const override { return static_cast<int>(pages_.size()); }
  // The layout the media cache uses: pattern and visible pattern = the frame size, texture =
  // the frame size plus 2 in each direction rounded up to even (one texture per frame, with a
  // spare border that filtering may read).
  void SetFrameLayout(int frameWidth, int frameHeight, int frameCount);

  // Cells per texture, from the texture and pattern sizes (0 when the layout is unusable).
  int FramesPerRow() const;
  int FramesPerColumn() const;
  int FramesPerTexture() const { return FramesPerRow() * FramesPerColumn(); }
  // The place of a frame (clamped to 0 .. PatternCount - 1); false without textures or frames.
  bool FramePlace(int frame, TFramePlace& place) const override;

  // Cuts the bitmap into PatternCount frames of the visible size (left to right, top to
  // bottom), lays each into its cell with the spare border filled from the frame's edge
  // pixels, and uploads the pages. False (no textures) on an unusable layout or when a
  // texture cannot be created or filled.
  bool LoadFromBitmap(const TBitmap& bitmap);
  // The first half of LoadFromBitmap, apart from any device: the texture pages this image's
  // layout makes of the bitmap. Touches nothing but `pages`, so a copy of the layout may run
  // it on any thread. False with the reason in `error`.
  bool LayOutPages(const TBitmap& bitmap, std::vector<std::vector<uint32_t>>& pages, std::string& error) const;
  // A layout of one frame a page can be filled straight by a decoder. StartFramePages sizes
  // `pages` for it and says where a frame's top-left pixel goes in its page (`first`) and how
  // far apart its rows are (`pitch`). The decoder writes a picture of one frame there itself;
  // a picture of several hands each of its rows to PutPictureRow, which shares it out among
  // the frames it crosses. FinishFramePages then fills the spare borders (and applies
  // alNone), so the pages equal what LayOutPages makes of the same picture.
  bool TakesFramesDirectly() const;
  void StartFramePages(std::vector<std::vector<uint32_t>>& pages, size_t& first, size_t& pitch) const;
  void PutPictureRow(std::vector<std::vector<uint32_t>>& pages, int y, const uint32_t* row, int pictureWidth,
                     int pictureHeight) const;
  void FinishFramePages(std::vector<std::vector<uint32_t>>& pages) const;
  // The second half: takes pages LayOutPages made for this layout and uploads them.
  bool LoadFromPages(std::vector<std::vector<uint32_t>>&& pages);
  // Reads the image stream format (33-byte header, then the stored texture pages) from
  // memory; `consumed` receives the bytes used. False on a short or inconsistent stream or
  // when the textures cannot be created or filled.
  bool LoadFromStream(const uint8_t* data, size_t size, size_t* consumed = nullptr);

  // The 0xAARRGGBB pixel at (x, y) of a texture page; 0 outside the pages.
  uint32_t GetPixel(int x, int y, int textureIndex) const;

  TTextureState State() const { return state_; }
  // The device texture of a page (0 when there is none, as while the device is lost).
  TextureHandle Texture(int index) const override;
  // The kept copy of a page, TextureWidth x TextureHeight pixels, rows top to bottom.
  const std::vector<uint32_t>& PagePixels(int index) const;

  // Device life cycle, forwarded by the owner (the image list or a font).
  void DeviceLost();
  void DeviceReset();
  // Releases the device textures and the kept pages (state none).
  void ReleaseTextures();

 private:
  bool CheckLayout(std::string& error) const;
  // Where the visible frame sits in its cell: centred.
  int FrameLeft() const { return (patternWidth_ - visibleWidth_) / 2; }
  int FrameTop() const { return (patternHeight_ - visibleHeight_) / 2; }
  bool CreateTextures();
  void DropTextures();

  GfxPlatform* platform_;
  std::string name_ = "[unnamed]";
  TGfxQuality quality_ = TGfxQuality::aqHigh;
  TAlphaLevel alphaLevel_ = TAlphaLevel::alFull;
  bool mipMapping_ = false;
  int patternWidth_ = 0, patternHeight_ = 0;
  int visibleWidth_ = 0, visibleHeight_ = 0;
  int textureWidth_ = 0, textureHeight_ = 0;
  int patternCount_ = 0;
  TTextureState state_ = TTextureState::tsNone;
  std::vector<std::vector<uint32_t>> pages_;
  std::vector<TextureHandle> textures_;
};

}  // namespace qx
