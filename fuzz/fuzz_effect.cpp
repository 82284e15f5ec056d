// Effect records (the 136-byte particle parameters of an effect file): the particles they make
// are moved for a second of ticks and drawn on the recording back end.
#include <string_view>

#include "FuzzSupport.h"
#include "runtime/ParticleSystem.h"
#include "platform/null/NullGfx.h"
#include "render/GfxCanvas.h"
#include "render/GfxDevice.h"
#include "resources/GfxImage.h"
#include "runtime/MediaCache.h"

using namespace qx;

namespace {

// The particle texture: four 4 x 4 frames, as the root's manager holds "particles.bmp".
struct Rig {
  NullGfx gfx;
  TGfxDevice device{gfx};
  TGfxCanvas canvas{gfx};
  TGfxImage picture{&gfx};
  TQXIm entry;
  TXParticleManager manager{&canvas};
  Rig() {
    canvas.SetPublisher(&device);
    device.SetWidth(1024);
    device.SetHeight(768);
    device.OnRender = [] {};
    if (!device.Initialize()) fuzz::Broken("the recording device does not start");
    TBitmap bmp;
    bmp.width = 16;
    bmp.height = 4;
    bmp.bitsPerPixel = 32;
    bmp.hasAlpha = true;
    bmp.pixels.assign(64, 0xFFFFFFFFu);
    picture.SetFrameLayout(4, 4, 4);
    if (!picture.LoadFromBitmap(bmp)) fuzz::Broken("the particle picture does not load");
    entry.Image = &picture;
    manager.SetImage(&entry);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Rig rig;
  rig.gfx.calls.clear();
  rig.gfx.draws.clear();
  // A tenth of the effect element's capacity: enough to fill, quick to move.
  TXParticleSystem system(500, &rig.manager);
  if (!system.LoadFromData(fuzz::AsText(data, size))) return 0;
  system.AddEmissionPoint({3, -2});
  system.PlaceAt({512, 384}, false);
  system.StartEmission();
  for (int tick = 0; tick < 30; ++tick) {
    system.Advance(tick % 7 == 6 ? 0.5f : 1.0f / 30);
    if (tick == 10) system.ShiftBy({40, 10}, false);
    if (tick == 15) system.ShiftBy({-80, 5}, true);
    if (tick == 20) system.RestartAt({100, 100});
    if (tick % 15 == 14) {
      rig.device.OnRender = [&] { system.Draw(rig.canvas, 1.5f, -2, 0xFFFFFFFF); };
      rig.device.Render(0, true);
    }
  }
  rig.device.OnRender = [] {};
  QX_FUZZ_CHECK(system.Count() >= 0 && system.Count() <= 500);
  return 0;
}
