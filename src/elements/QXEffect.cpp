#include "elements/QXEffect.h"

namespace qx {

TQXEffect::TQXEffect(TQXElement* parent) : TQXElement(parent) { SetVis(true); }

bool TQXEffect::ReadField(PropField field, PropValue& v) {
  switch (field) {
    case PropField::EffectFN: v.s = effectFN_; return true;
    case PropField::DAnim: v.d = DAnim; return true;
    case PropField::Active: v.i = active_; return true;
    case PropField::hxColor: v.i = hxColor(); return true;
    default: return TQXElement::ReadField(field, v);
  }
}

bool TQXEffect::WriteField(PropField field, const PropValue& v) {
  switch (field) {
    case PropField::EffectFN: SetEffectFN(v.s); return true;
    case PropField::DAnim: DAnim = v.d; return true;
    case PropField::Active: SetActive(v.i != 0); return true;
    case PropField::hxColor: SethxColor(static_cast<uint32_t>(v.i)); return true;
    default: return TQXElement::WriteField(field, v);
  }
}

}  // namespace qx
