// Colour words: 0xAABBGGRR, alpha in the top byte and red in the lowest. Elements expose
// one word as a colour (low 24 bits) and an opacity (top byte).
#pragma once

#include <cstdint>

namespace qx {

inline uint32_t ColorPart(uint32_t word) { return word & 0x00FFFFFFu; }
inline uint8_t AlphaPart(uint32_t word) { return static_cast<uint8_t>(word >> 24); }
inline uint32_t WithColor(uint32_t word, uint32_t color) { return (word & 0xFF000000u) | (color & 0x00FFFFFFu); }
inline uint32_t WithAlpha(uint32_t word, uint8_t alpha) { return (word & 0x00FFFFFFu) | (uint32_t{alpha} << 24); }

// One colour word of an element, published as hxColor (its low 24 bits) and hxTrans (its
// top byte): images and shapes hold one. The word starts opaque white.
class TColorWordHolder {
 public:
  uint32_t hxColor() const { return ColorPart(color_); }
  void SethxColor(uint32_t v) { color_ = WithColor(color_, v); }
  uint8_t hxTrans() const { return AlphaPart(color_); }
  void SethxTrans(uint8_t v) { color_ = WithAlpha(color_, v); }
  uint32_t ColorWord() const { return color_; }

 protected:
  uint32_t color_ = 0xFFFFFFFFu;
};

// Anchors: which point of a picture or box the position denotes.
enum TQXPosHor : uint8_t { phLeft, phCenter, phRight };
enum TQXPosVert : uint8_t { pvTop, pvCenter, pvBottom };

}  // namespace qx
