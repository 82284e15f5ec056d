#include "elements/Backdrop.h"

#include "resources/GfxImage.h"
#include "runtime/MediaCache.h"

namespace qx {

TQXBackdrop::TQXBackdrop(TQXElement* parent) : TQXElement(parent) { MousedNotVis = true; }

std::string TQXBackdrop::ImBack() const { return back_ ? back_->Name : std::string(); }

void TQXBackdrop::SetImBack(const std::string& name) {
  back_ = name.empty() ? nullptr : RequestImage(name, false);
  if (const TGfxImage* picture = Background()) {
    sizeX_ = picture->VisibleWidth();
    sizeY_ = picture->VisibleHeight();
  }
}

TGfxImage* TQXBackdrop::Background() const { return back_ ? back_->Image : nullptr; }

bool TQXBackdrop::ReadField(PropField field, PropValue& v) {
  switch (field) {
    case PropField::ImBack: v.s = ImBack(); return true;
    case PropField::hxDrawFx: v.i = hxDrawFx; return true;
    case PropField::Agro: v.i = Agro; return true;
    case PropField::Modal: v.i = Modal; return true;
    default: return TQXElement::ReadField(field, v);
  }
}

bool TQXBackdrop::WriteField(PropField field, const PropValue& v) {
  switch (field) {
    case PropField::ImBack: SetImBack(v.s); return true;
    case PropField::hxDrawFx: hxDrawFx = static_cast<uint32_t>(v.i); return true;
    case PropField::Agro: Agro = static_cast<int32_t>(v.i); return true;
    case PropField::Modal: Modal = v.i != 0; return true;
    default: return TQXElement::WriteField(field, v);
  }
}

}  // namespace qx
