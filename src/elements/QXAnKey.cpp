#include "elements/QXAnKey.h"

#include "elements/QXAnim.h"

namespace qx {

const ClassInfo& TQXAnKey::Class() const { return ClassEntry(ClassId::AnKey); }

TQXAnKey::TQXAnKey(TQXElement* parent) : TQXElement(parent) {}

int32_t TQXAnKey::GetSizeX() { return Parent() ? Parent()->GetSizeX() : 0; }
int32_t TQXAnKey::GetSizeY() { return Parent() ? Parent()->GetSizeY() : 0; }

void TQXAnKey::RebuildAnimation() {
  if (auto* anim = dynamic_cast<TQXAnim*>(Parent())) anim->BuildFrames();
}

void TQXAnKey::SetCount(uint16_t v) {
  count_ = v;
  RebuildAnimation();
}

void TQXAnKey::LoadFromRecord(const ElementRecord& record) {
  TQXElement::LoadFromRecord(record);
  RebuildAnimation();
}

bool TQXAnKey::ReadField(PropField field, PropValue& v) {
  switch (field) {
    case PropField::Count: v.i = count_; return true;
    case PropField::Morph: v.i = Morph; return true;
    default: return TQXElement::ReadField(field, v);
  }
}

bool TQXAnKey::WriteField(PropField field, const PropValue& v) {
  switch (field) {
    case PropField::Count: SetCount(static_cast<uint16_t>(v.i)); return true;
    case PropField::Morph: Morph = v.i != 0; return true;
    default: return TQXElement::WriteField(field, v);
  }
}

}  // namespace qx
