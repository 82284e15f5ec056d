// Bitmap fonts: TGfxFont (a glyph image with one frame per character and per-glyph metrics,
// drawn glyph by glyph through the canvas) and TGfxFonts, the font list that loads them from
// the resource archive's font records and follows the graphics device.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "render/GfxPublisher.h"
#include "resources/GfxImage.h"

namespace qx {

class TGfxCanvas;
class TGfxFonts;
class TResArchive;

// Drawing styles, combined as a set.
using TFontStylesFx = uint8_t;
inline constexpr TFontStylesFx feBold = 1;
inline constexpr TFontStylesFx feItalic = 2;
inline constexpr TFontStylesFx feShadow = 4;
inline constexpr TFontStylesFx feEmboss = 8;

// Record type of font records in the resource archive.
inline constexpr int kFontRecordType = 3;

// Raised by TextOut when the font has no list or the list no canvas.
class EFontError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TFontExtent {
  double width = 0;
  double height = 0;
};

class TGfxFont {
 public:
  // `owner` may be null (the font then measures but cannot draw); the glyph image creates its
  // textures on `platform`.
  TGfxFont(TGfxFonts* owner, GfxPlatform* platform);
  ~TGfxFont();
  TGfxFont(const TGfxFont&) = delete;
  TGfxFont& operator=(const TGfxFont&) = delete;

  // --- drawing settings -----------------------------------------------------------------
  double Scale = 1.0;           // the text element sets it before each measurement or draw
  TFontStylesFx Style = 0;
  bool TextTags = true;         // recognise inline colour tags
  double Interleave = 0.0;      // extra advance after every character, unscaled pixels
  double BlankSpacing = 0.3;    // advance of a missing character, as a fraction of the frame width
  double ShadowIntensity = 0.5; // shadow alpha as a fraction of 255
  uint32_t ShadowColor = 0;     // low 24 bits
  double ShadowDistance = 1.0;
  double EmbossStrength = 0.8;  // emboss alpha as a fraction of 255
  uint32_t EmbossColor = 0;     // low 24 bits

  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }
  TGfxFonts* Owner() const { return owner_; }
  bool Loaded() const { return loaded_; }
  uint8_t FirstChar() const { return firstChar_; }
  int32_t ExtraAdvance() const { return extraAdvance_; }
  int GlyphCount() const { return static_cast<int>(glyphs_.size()); }
  // Metrics of glyph i (0 outside the font).
  int32_t GlyphWidth(int index) const;
  int32_t GlyphHeight(int index) const;
  const TGfxImage& Image() const { return image_; }

  // --- measuring and drawing (nothing when the font is not loaded) -------------------------
  // Width: the sum of advances; height: the tallest glyph, scaled. Colour tags take no room.
  TFontExtent TextExtent(std::string_view text) const;
  double TextWidth(std::string_view text) const { return TextExtent(text).width; }
  double TextHeight(std::string_view text) const { return TextExtent(text).height; }
  // Draws with (x, y) the top-left of the first glyph frame; `color1` tints the glyphs' top
  // edge, `color2` their bottom edge, `code` is the DrawFx code. Throws EFontError when the
  // font has no list or the list has no canvas.
  void TextOut(std::string_view text, uint32_t color1, double x, double y, uint32_t color2, uint32_t code);

  // --- loading -----------------------------------------------------------------------------
  // One font record of the archive (opened when it is not). False when already loaded, when
  // the archive cannot be opened, the record is missing, not a font record, unreadable or
  // damaged; the font then stays unloaded.
  bool LoadFromArchive(std::string_view name, TResArchive& archive, TGfxQuality quality, TAlphaLevel alpha);
  bool LoadFromArchive(int index, TResArchive& archive, TGfxQuality quality, TAlphaLevel alpha);
  // A font record in memory: 16-byte header, 8 bytes of metrics per glyph, the glyph image in
  // the image stream format.
  bool LoadFromMemory(const uint8_t* data, size_t size, TGfxQuality quality, TAlphaLevel alpha);

  // Device life cycle, forwarded by the list to the glyph image.
  void DeviceLost() { image_.DeviceLost(); }
  void DeviceReset() { image_.DeviceReset(); }

 private:
  struct Glyph {
    int32_t width = 0;
    int32_t height = 0;
  };
  // Advance of the character at `index` (code - first code), scaled.
  double Advance(int index) const;
  void DrawGlyph(TGfxCanvas& canvas, int index, const double qx[4], const double qy[4], const uint32_t colors[4],
                 uint32_t code);

  TGfxFonts* owner_;
  std::string name_;
  bool loaded_ = false;
  uint8_t firstChar_ = 32;
  int32_t extraAdvance_ = 0;
  std::vector<Glyph> glyphs_;
  TGfxImage image_;
};

class TGfxFonts : public TGfxSubscriber {
 public:
  // Fonts create their glyph textures on `platform`; attach the list to the device with
  // SetPublisher(&device) so that it follows loss, reset and finalisation.
  explicit TGfxFonts(GfxPlatform& platform);
  ~TGfxFonts() override;

  // The canvas fonts draw with.
  TGfxCanvas* Canvas = nullptr;

  // A new font named "Font" and the counter as at least two digits ("Font00", "Font01" ...).
  TGfxFont* AddFont();
  int Count() const { return static_cast<int>(fonts_.size()); }
  TGfxFont* Font(int index) const;
  // The first font whose name equals `name` without regard to letter case (ASCII and 1251
  // Cyrillic), else null. Holders keep a weak reference: clearing the list ends it.
  std::shared_ptr<TGfxFont> FindFont(std::string_view name) const;
  // Adds and loads a font for every font record (type 3) of the archive, in archive order,
  // each named after its record. A record that fails to load is logged and left out; the
  // answer is then false, but the other fonts still load. False also when the archive cannot
  // be opened.
  bool LoadFromArchive(TResArchive& archive);
  // Clear, then LoadFromArchive: the fonts of a newly opened archive, or after a display-mode
  // change. Text elements must write their Font again to find the new fonts.
  bool Reload(TResArchive& archive);
  void Clear();

 protected:
  bool Notify(TGfxPublisher* sender, int code) override;

 private:
  GfxPlatform& platform_;
  std::vector<std::shared_ptr<TGfxFont>> fonts_;
  int counter_ = 0;
};

}  // namespace qx
