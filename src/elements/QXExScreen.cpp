#include "elements/QXExScreen.h"

#include "elements/QXScreen.h"
#include "scene/QXDB.h"

namespace qx {

TQXExScreen::TQXExScreen(TQXElement* parent) : TQXElement(parent) {}

TQXScreen* TQXExScreen::Target() {
  if (!target_ && Root()) target_ = static_cast<TQXScreen*>(Root()->FindTopLevel(obScreen_, "TQXScreen"));
  return target_;
}

bool TQXExScreen::ReadField(PropField field, PropValue& v) {
  switch (field) {
    case PropField::PosHor: v.i = PosHor; return true;
    case PropField::PosVert: v.i = PosVert; return true;
    case PropField::obScreen: v.i = obScreen_; return true;
    case PropField::Modal: v.i = Modal; return true;
    case PropField::Processing: v.i = Processing; return true;
    default: return TQXElement::ReadField(field, v);
  }
}

bool TQXExScreen::WriteField(PropField field, const PropValue& v) {
  switch (field) {
    case PropField::PosHor: PosHor = static_cast<TQXPosHor>(v.i); return true;
    case PropField::PosVert: PosVert = static_cast<TQXPosVert>(v.i); return true;
    case PropField::obScreen: SetobScreen(static_cast<int32_t>(v.i)); return true;
    case PropField::Modal: Modal = v.i != 0; return true;
    case PropField::Processing: Processing = v.i != 0; return true;
    default: return TQXElement::WriteField(field, v);
  }
}

}  // namespace qx
