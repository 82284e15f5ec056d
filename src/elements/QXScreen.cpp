#include "elements/QXScreen.h"

#include "render/GfxCanvas.h"
#include "resources/GfxImage.h"
#include "runtime/MediaCache.h"
#include "scene/QXDB.h"

namespace qx {

const ClassInfo& TQXScreen::Class() const { return ClassEntry(ClassId::Screen); }

TQXScreen::TQXScreen(TQXElement* parent) : TQXBackdrop(parent) {}

void TQXScreen::Render(int32_t layer, uint32_t color, double offsetX, double offsetY, bool flag) {
  if (!ResourcesLoaded) LoadResources();
  if (layer == Order()) {
    TGfxCanvas* canvas = Canvas();
    if (TGfxImage* picture = Background(); picture && canvas) {
      canvas->DrawImage(picture, color, hxDrawFx, 0, offsetX, offsetY);
    }
    RunEvent("Render", ScriptSlot::Render);
  }
  TQXBackdrop::Render(layer, color, offsetX, offsetY, flag);
}

void TQXScreen::DoInit() {
  if (AutoInit) TQXBackdrop::DoInit();
}

TQXElement* TQXScreen::HitTest(int32_t layer, int32_t x, int32_t y, int32_t, uint8_t alphaThreshold) {
  // The screen's own margin (Agro) replaces the incoming one for everything inside it.
  TQXElement* hit = TQXBackdrop::HitTest(layer, x, y, Agro, alphaThreshold);
  if (!hit && TakesPart() && layer == Order() && Modal) return this;
  return hit;
}

bool TQXScreen::ReadField(PropField field, PropValue& v) {
  if (field != PropField::AllwaysLoad) return TQXBackdrop::ReadField(field, v);
  v.i = AllwaysLoad;
  return true;
}

bool TQXScreen::WriteField(PropField field, const PropValue& v) {
  if (field != PropField::AllwaysLoad) return TQXBackdrop::WriteField(field, v);
  AllwaysLoad = v.i != 0;
  return true;
}

}  // namespace qx
