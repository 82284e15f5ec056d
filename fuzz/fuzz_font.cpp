// Font records of the resource archive (header, glyph metrics, glyph image), then measuring
// and drawing text with the font on the recording back end.
#include <string>

#include "FuzzSupport.h"
#include "resources/GfxFont.h"
#include "platform/null/NullGfx.h"
#include "render/GfxCanvas.h"
#include "render/GfxDevice.h"

using namespace qx;

namespace {

struct Rig {
  NullGfx gfx;
  TGfxDevice device{gfx};
  TGfxCanvas canvas{gfx};
  TGfxFonts fonts{gfx};
  Rig() {
    canvas.SetPublisher(&device);
    fonts.Canvas = &canvas;
    fonts.SetPublisher(&device);
    device.SetWidth(256);
    device.SetHeight(256);
    device.OnRender = [] {};
    if (!device.Initialize()) fuzz::Broken("the recording device does not start");
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Rig rig;
  rig.fonts.Clear();
  rig.gfx.calls.clear();
  rig.gfx.draws.clear();
  TGfxFont* font = rig.fonts.AddFont();
  if (!font->LoadFromMemory(data, size, TGfxQuality::aqHigh, TAlphaLevel::alFull)) {
    QX_FUZZ_CHECK(!font->Loaded());
    return 0;
  }
  // Every byte value, colour tags and a missing glyph, at a few scales and styles.
  std::string all;
  for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
  const char* const texts[] = {"#$FF0000FFRed&$FF00FF00Green", "a\tb", ""};
  for (const double scale : {1.0, 0.5, 3.0}) {
    font->Scale = scale;
    font->Style = static_cast<TFontStylesFx>(scale == 1.0 ? 0 : feBold | feItalic | feShadow | feEmboss);
    font->TextExtent(all);
    rig.device.OnRender = [&] {
      font->TextOut(all, 0xFFFFFFFF, 10.5, -3, 0x80FF00FF, 0);
      for (const char* text : texts) font->TextOut(text, 0xFFFFFFFF, 250, 250, 0xFFFFFFFF, 0);
    };
    rig.device.Render(0, true);
  }
  rig.device.OnRender = [] {};
  return 0;
}
