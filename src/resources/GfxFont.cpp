#include "resources/GfxFont.h"

#include <algorithm>
#include <cmath>

#include "base/Log.h"
#include "base/Rounding.h"
#include "render/GfxCanvas.h"
#include "resources/NameFold.h"
#include "resources/ResArchive.h"

namespace qx {
namespace {

constexpr size_t kRecordHeader = 16;
constexpr size_t kGlyphMetrics = 8;
// "#$" or "&$" or "0x", then eight hexadecimal digits.
constexpr size_t kTagLength = 10;

int32_t I32(const uint8_t* p) {
  return static_cast<int32_t>(uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24);
}

enum class TagKind { Top, Bottom, Both };

// Whether a tag of `kind` starts at `pos`. A tag counts only when at least two characters
// follow it; one dangling nearer the end of a text is shown as it is typed.
bool TagAt(std::string_view text, size_t pos, TagKind kind) {
  if (pos + kTagLength + 1 >= text.size()) return false;
  static constexpr char kPrefix[3][2] = {{'#', '$'}, {'&', '$'}, {'0', 'x'}};
  const char* prefix = kPrefix[static_cast<int>(kind)];
  return text[pos] == prefix[0] && text[pos + 1] == prefix[1];
}

// The eight digits after a tag's prefix as a colour word; false when they are not hexadecimal.
bool TagColor(std::string_view text, size_t pos, uint32_t& color) {
  uint32_t v = 0;
  for (size_t i = pos + 2; i < pos + kTagLength; ++i) {
    const char c = text[i];
    uint32_t d;
    if (c >= '0' && c <= '9') d = static_cast<uint32_t>(c - '0');
    else if (c >= 'a' && c <= 'f') d = static_cast<uint32_t>(c - 'a' + 10);
    else if (c >= 'A' && c <= 'F') d = static_cast<uint32_t>(c - 'A' + 10);
    else return false;
    v = v << 4 | d;
  }
  color = v;
  return true;
}

// The tags at `pos`: top, bottom, then both, each tried once, a recognised one moving the
// position past itself before the next kind is tried. Applies them to the two colours (when
// given) and answers the position of the character to draw. Measuring and drawing both go
// through here, so widths agree with what is drawn.
size_t SkipTags(std::string_view text, size_t pos, uint32_t* top, uint32_t* bottom) {
  for (TagKind kind : {TagKind::Top, TagKind::Bottom, TagKind::Both}) {
    if (!TagAt(text, pos, kind)) continue;
    if (top) {
      uint32_t c = 0;
      const bool parsed = TagColor(text, pos, c);
      switch (kind) {
        case TagKind::Top: if (parsed) *top = c; break;
        case TagKind::Bottom: if (parsed) *bottom = c; break;
        case TagKind::Both:
          // Digits that do not parse leave both edges in the bottom colour.
          if (parsed) *bottom = c;
          *top = *bottom;
          break;
      }
    }
    pos += kTagLength;
  }
  return pos;
}

// An alpha byte from a fraction of 255, rounded, kept within the byte.
uint32_t AlphaOf(double fraction255) {
  const double a = RoundHalfEven(fraction255);
  if (!(a > 0)) return 0;
  return a >= 255 ? 255u : static_cast<uint32_t>(a);
}

}  // namespace

// --- TGfxFont ------------------------------------------------------------------------------

TGfxFont::TGfxFont(TGfxFonts* owner, GfxPlatform* platform) : owner_(owner), image_(platform) {}

TGfxFont::~TGfxFont() = default;

int32_t TGfxFont::GlyphWidth(int index) const {
  return index >= 0 && index < GlyphCount() ? glyphs_[static_cast<size_t>(index)].width : 0;
}

int32_t TGfxFont::GlyphHeight(int index) const {
  return index >= 0 && index < GlyphCount() ? glyphs_[static_cast<size_t>(index)].height : 0;
}

double TGfxFont::Advance(int index) const {
  if (index < 0 || index >= GlyphCount()) return (image_.VisibleWidth() * BlankSpacing + Interleave) * Scale;
  return (static_cast<double>(glyphs_[static_cast<size_t>(index)].width) + extraAdvance_ + Interleave) * Scale;
}

TFontExtent TGfxFont::TextExtent(std::string_view text) const {
  TFontExtent e;
  if (!loaded_) return e;
  for (size_t i = 0; i < text.size(); ++i) {
    if (TextTags) i = SkipTags(text, i, nullptr, nullptr);
    const int index = static_cast<uint8_t>(text[i]) - firstChar_;
    e.width += Advance(index);
    if (index >= 0 && index < GlyphCount()) {
      e.height = std::max(e.height, glyphs_[static_cast<size_t>(index)].height * Scale);
    }
  }
  return e;
}

void TGfxFont::DrawGlyph(TGfxCanvas& canvas, int index, const double qx[4], const double qy[4],
                         const uint32_t colors[4], uint32_t code) {
  const TPoint2 p[4] = {{qx[0], qy[0]}, {qx[1], qy[1]}, {qx[2], qy[2]}, {qx[3], qy[3]}};
  TFrameRegion region;
  region.frame = index;
  canvas.DrawImageQuad(&image_, p, code, region, colors);
}

void TGfxFont::TextOut(std::string_view text, uint32_t color1, double x, double y, uint32_t color2, uint32_t code) {
  if (!loaded_) return;
  if (!owner_) throw EFontError("TGfxFont: Unassigned Owner property.");
  if (!owner_->Canvas) throw EFontError("TGfxFont: Unassigned Owner.Canvas property.");
  TGfxCanvas& canvas = *owner_->Canvas;
  const bool bold = Style & feBold;
  const double fw = image_.VisibleWidth(), fh = image_.VisibleHeight();
  // Every glyph is drawn as its whole frame; the glyph width only sets the advance.
  const double w = RoundHalfEven(Scale * fw), h = RoundHalfEven(Scale * fh);
  uint32_t top = color1, bottom = color2;
  double pen = x;
  for (size_t i = 0; i < text.size(); ++i) {
    if (TextTags) i = SkipTags(text, i, &top, &bottom);
    const int index = static_cast<uint8_t>(text[i]) - firstChar_;
    if (index < 0 || index >= GlyphCount()) {
      pen += Advance(index);
      continue;
    }
    const double x0 = std::trunc(pen), y0 = std::trunc(y);
    double qx[4] = {x0, x0 + w, x0 + w, x0};
    double qy[4] = {y0, y0, y0 + h, y0 + h};
    if (Style & feItalic) {
      const double slant = fw / 8;
      qx[0] = std::trunc(qx[0] + slant);
      qx[1] = std::trunc(qx[1] + slant);
      qx[2] = std::trunc(qx[2] - slant);
      qx[3] = std::trunc(qx[3] - slant);
    }
    const auto drawAt = [&](double dx, double dy, const uint32_t colors[4]) {
      const double mx[4] = {qx[0] + dx, qx[1] + dx, qx[2] + dx, qx[3] + dx};
      const double my[4] = {qy[0] + dy, qy[1] + dy, qy[2] + dy, qy[3] + dy};
      DrawGlyph(canvas, index, mx, my, colors, code);
    };
    if (Style & feShadow) {
      const uint32_t c = AlphaOf(ShadowIntensity * 255) << 24 | (ShadowColor & 0x00FFFFFFu);
      const uint32_t shadow[4] = {c, c, c, c};
      const double d = Scale * ShadowDistance;
      drawAt((bold ? 3 : 2) * d, 2 * d, shadow);
    }
    if (Style & feEmboss) {
      for (int k = 0; k < 4; ++k) {
        qx[k] -= 1;
        qy[k] -= 1;
      }
    }
    const uint32_t colors[4] = {top, top, bottom, bottom};
    drawAt(0, 0, colors);
    if (bold) {
      drawAt(-1, 0, colors);
      drawAt(1, 0, colors);
    }
    if (Style & feEmboss) {
      const double strength = EmbossStrength * 255 * (bold ? 0.65 : 1.0);
      const uint32_t c = AlphaOf(strength) << 24 | (EmbossColor & 0x00FFFFFFu);
      const uint32_t emboss[4] = {c, c, c, c};
      drawAt(1, 1, emboss);
      if (bold) {
        drawAt(0, 1, emboss);
        drawAt(2, 1, emboss);
      }
    }
    pen += Advance(index);
  }
}

bool TGfxFont::LoadFromArchive(std::string_view name, TResArchive& archive, TGfxQuality quality, TAlphaLevel alpha) {
  if (loaded_) return false;
  if (!archive.Opened() && !archive.Open()) return false;
  return LoadFromArchive(archive.IndexOf(name), archive, quality, alpha);
}

bool TGfxFont::LoadFromArchive(int index, TResArchive& archive, TGfxQuality quality, TAlphaLevel alpha) {
  if (loaded_) return false;
  if (!archive.Opened() && !archive.Open()) return false;
  if (index < 0 || index >= archive.RecordCount()) return false;
  const std::string record = archive.RecordName(index);
  if (archive.RecordType(index) != kFontRecordType) {
    LogDetail("font", record + ": not a font record");
    return false;
  }
  std::vector<uint8_t> data;
  if (!archive.ReadRecord(index, data)) {
    LogDetail("font", record + ": unreadable record: " + archive.LastError());
    return false;
  }
  if (!LoadFromMemory(data.data(), data.size(), quality, alpha)) {
    LogDetail("font", record + ": damaged font record");
    return false;
  }
  return true;
}

bool TGfxFont::LoadFromMemory(const uint8_t* data, size_t size, TGfxQuality quality, TAlphaLevel alpha) {
  if (loaded_) return false;
  const auto fail = [this](const char* why) {
    LogDetail("font", name_ + ": " + why);
    glyphs_.clear();
    image_.ReleaseTextures();
    return false;
  };
  if (!data || size < kRecordHeader) return fail("font record cut short in its header");
  const int32_t count = I32(data + 12);
  if (count < 0) return fail("negative glyph count");
  if (static_cast<uint64_t>(count) * kGlyphMetrics > size - kRecordHeader) {
    return fail("font record cut short in its glyph metrics");
  }
  firstChar_ = data[0];
  extraAdvance_ = I32(data + 4);
  glyphs_.resize(static_cast<size_t>(count));
  const uint8_t* p = data + kRecordHeader;
  for (Glyph& g : glyphs_) {
    g.width = I32(p);
    g.height = I32(p + 4);
    p += kGlyphMetrics;
  }
  image_.SetName(name_);
  image_.SetQuality(quality);
  image_.SetAlphaLevel(alpha);
  const size_t metrics = kRecordHeader + static_cast<size_t>(count) * kGlyphMetrics;
  if (!image_.LoadFromStream(data + metrics, size - metrics)) return fail("bad glyph image");
  loaded_ = true;
  return true;
}

// --- TGfxFonts -----------------------------------------------------------------------------

TGfxFonts::TGfxFonts(GfxPlatform& platform) : platform_(platform) {}

TGfxFonts::~TGfxFonts() { Clear(); }

TGfxFont* TGfxFonts::AddFont() {
  auto font = std::make_shared<TGfxFont>(this, &platform_);
  const std::string number = std::to_string(counter_++);
  font->SetName("Font" + std::string(number.size() < 2 ? 2 - number.size() : 0, '0') + number);
  fonts_.push_back(font);
  return font.get();
}

TGfxFont* TGfxFonts::Font(int index) const {
  return index >= 0 && index < Count() ? fonts_[static_cast<size_t>(index)].get() : nullptr;
}

std::shared_ptr<TGfxFont> TGfxFonts::FindFont(std::string_view name) const {
  for (const auto& font : fonts_) {
    if (SameName1251(font->Name(), name)) return font;
  }
  return nullptr;
}

bool TGfxFonts::LoadFromArchive(TResArchive& archive) {
  if (!archive.Opened() && !archive.Open()) {
    LogDetail("font", "cannot open the archive " + archive.FileName());
    return false;
  }
  bool all = true;
  for (int i = 0; i < archive.RecordCount(); ++i) {
    if (archive.RecordType(i) != kFontRecordType) continue;
    TGfxFont* font = AddFont();
    if (font->LoadFromArchive(i, archive, TGfxQuality::aqHigh, TAlphaLevel::alFull)) {
      font->SetName(archive.RecordName(i));
      continue;
    }
    // One damaged record costs only its own font: the later fonts still load.
    all = false;
    fonts_.pop_back();
  }
  return all;
}

bool TGfxFonts::Reload(TResArchive& archive) {
  Clear();
  return LoadFromArchive(archive);
}

void TGfxFonts::Clear() { fonts_.clear(); }

bool TGfxFonts::Notify(TGfxPublisher*, int code) {
  switch (code) {
    case kGfxFinalizing:
      Clear();
      break;
    case kGfxLost:
      for (auto& font : fonts_) font->DeviceLost();
      break;
    case kGfxReset:
      for (auto& font : fonts_) font->DeviceReset();
      break;
    default:
      break;
  }
  return true;
}

}  // namespace qx
