// Helpers of the font and text tests: font records built byte by byte, and a canvas on the
// recording back end with a font list attached.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "platform/null/NullGfx.h"
#include "render/GfxCanvas.h"
#include "render/GfxDevice.h"
#include "resources/GfxFont.h"

namespace qx::test {

inline void PutI32(std::vector<uint8_t>& out, int32_t v) {
  const auto u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(u >> (8 * i)));
}

// A font whose every glyph is `glyphWidth` wide and `glyphHeight` tall (unless `widths` or
// `heights` say otherwise for a character), drawn as an opaque white frame of
// frameWidth x frameHeight. The glyph image is one A8 texture page with the frames in a row.
struct FontSpec {
  int32_t first = 32;
  int32_t extraAdvance = 0;
  int32_t count = 96;  // characters 32 .. 127
  int32_t glyphWidth = 6;
  int32_t glyphHeight = 10;
  int32_t frameWidth = 8;
  int32_t frameHeight = 12;
  std::map<char, int32_t> widths = {};
  std::map<char, int32_t> heights = {};
};

inline std::vector<uint8_t> MakeFontRecord(const FontSpec& s) {
  std::vector<uint8_t> r;
  PutI32(r, s.first);
  PutI32(r, s.extraAdvance);
  PutI32(r, 0);
  PutI32(r, s.count);
  for (int32_t i = 0; i < s.count; ++i) {
    const char c = static_cast<char>(s.first + i);
    PutI32(r, s.widths.count(c) ? s.widths.at(c) : s.glyphWidth);
    PutI32(r, s.heights.count(c) ? s.heights.at(c) : s.glyphHeight);
  }
  r.push_back(10);  // A8: white with the stored alpha
  PutI32(r, s.frameWidth);
  PutI32(r, s.frameHeight);
  PutI32(r, s.frameWidth);
  PutI32(r, s.frameHeight);
  PutI32(r, s.count);
  PutI32(r, s.frameWidth * s.count);
  PutI32(r, s.frameHeight);
  PutI32(r, 1);
  r.insert(r.end(), static_cast<size_t>(s.frameWidth) * static_cast<size_t>(s.count) * static_cast<size_t>(s.frameHeight),
           0xFF);
  return r;
}

// A device, a canvas and a font list on the recording back end.
struct FontRig {
  NullGfx gfx;
  TGfxDevice device{gfx};
  TGfxCanvas canvas{gfx};
  TGfxFonts fonts{gfx};

  FontRig() {
    canvas.SetAntialias(false);
    canvas.SetPublisher(&device);
    fonts.Canvas = &canvas;
    fonts.SetPublisher(&device);
    device.SetWidth(256);
    device.SetHeight(256);
    device.OnRender = [] {};
    device.Initialize();
  }

  // A loaded font of the list, named `name`.
  TGfxFont* Add(const std::string& name, const FontSpec& spec = {}) {
    TGfxFont* f = fonts.AddFont();
    const std::vector<uint8_t> record = MakeFontRecord(spec);
    if (!f->LoadFromMemory(record.data(), record.size(), TGfxQuality::aqHigh, TAlphaLevel::alFull)) return nullptr;
    f->SetName(name);
    return f;
  }
  // Submits what is queued and answers the recorded draws.
  const std::vector<NullGfx::Draw>& Draws() {
    canvas.Flush();
    return gfx.draws;
  }
  // Every textured quad drawn so far, as its four vertices.
  std::vector<std::vector<GfxVertex>> Quads() {
    std::vector<std::vector<GfxVertex>> quads;
    for (const NullGfx::Draw& d : Draws()) {
      for (size_t i = 0; i + 4 <= d.vertices.size(); i += 4) {
        quads.emplace_back(d.vertices.begin() + static_cast<std::ptrdiff_t>(i),
                           d.vertices.begin() + static_cast<std::ptrdiff_t>(i + 4));
      }
    }
    return quads;
  }
};

}  // namespace qx::test
