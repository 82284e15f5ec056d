#include "elements/QXScreen.h"

#include "render/GfxCanvas.h"
#include "resources/GfxImage.h"
#include "runtime/MediaCache.h"
#include "scene/QXDB.h"

namespace qx {

const ClassInfo& TQXScreen::Class() const { return ClassEntry(ClassId::Screen); }

TQXScreen::TQXScreen(TQXElement* parent) : TQXElement(parent) { MousedNotVis = true; }

std::string TQXScreen::ImBack() const { return back_.Name(); }
void TQXScreen::SetImBack(const std::string& name) { back_.Set(*this, name, sizeX_, sizeY_); }
TGfxImage* TQXScreen::Background() const { return back_.Image(); }

void TQXScreen::Render(int32_t layer, uint32_t color, double offsetX, double offsetY, bool flag) {
  if (!ResourcesLoaded) LoadResources();
  if (layer == Order()) {
    TGfxCanvas* canvas = Canvas();
    if (TGfxImage* picture = Background(); picture && canvas) {
      canvas->DrawImage(picture, color, hxDrawFx, 0, offsetX, offsetY);
    }
    RunEvent("Render", ScriptSlot::Render);
  }
  TQXElement::Render(layer, color, offsetX, offsetY, flag);
}

void TQXScreen::DoInit() {
  if (AutoInit) TQXElement::DoInit();
}

TQXElement* TQXScreen::HitTest(int32_t layer, int32_t x, int32_t y, int32_t, uint8_t alphaThreshold) {
  // The screen's own margin (Agro) replaces the incoming one for everything inside it.
  TQXElement* hit = TQXElement::HitTest(layer, x, y, Agro, alphaThreshold);
  if (!hit && TakesPart() && layer == Order() && Modal) return this;
  return hit;
}

bool TQXScreen::ReadField(PropField field, PropValue& v) {
  switch (field) {
    case PropField::ImBack: v.s = ImBack(); return true;
    case PropField::hxDrawFx: v.i = hxDrawFx; return true;
    case PropField::Agro: v.i = Agro; return true;
    case PropField::Modal: v.i = Modal; return true;
    case PropField::AllwaysLoad: v.i = AllwaysLoad; return true;
    default: return TQXElement::ReadField(field, v);
  }
}

bool TQXScreen::WriteField(PropField field, const PropValue& v) {
  switch (field) {
    case PropField::ImBack: SetImBack(v.s); return true;
    case PropField::hxDrawFx: hxDrawFx = static_cast<uint32_t>(v.i); return true;
    case PropField::Agro: Agro = static_cast<int32_t>(v.i); return true;
    case PropField::Modal: Modal = v.i != 0; return true;
    case PropField::AllwaysLoad: AllwaysLoad = v.i != 0; return true;
    default: return TQXElement::WriteField(field, v);
  }
}

}  // namespace qx
