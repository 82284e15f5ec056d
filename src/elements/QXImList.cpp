#include "elements/QXImList.h"

#include <algorithm>

namespace qx {

TQXImList::TQXImList(TQXElement* parent) : TQXElement(parent) { NoMsQXDB = true; }

void TQXImList::SetSizeX(int32_t v) {
  sizeX_ = v;
  Layout();
}
void TQXImList::SetSizeY(int32_t v) {
  sizeY_ = v;
  Layout();
}
void TQXImList::SetRowCount(int32_t v) {
  rowCount_ = v;
  Layout();
}
void TQXImList::SetColCount(int32_t v) {
  colCount_ = v;
  Layout();
}
void TQXImList::SetSpace(int32_t v) {
  space_ = v;
  Layout();
}

void TQXImList::Layout() {
  elWidth_ = elHeight_ = 0;
  if (colCount_ == 0 || rowCount_ == 0) return;
  // 64-bit intermediates: hostile sizes must not overflow.
  elWidth_ = static_cast<int32_t>(std::max<int64_t>(
      0, (int64_t{sizeX_} - (int64_t{colCount_} - 1) * space_) / colCount_));
  elHeight_ = static_cast<int32_t>(std::max<int64_t>(
      0, (int64_t{sizeY_} - (int64_t{rowCount_} - 1) * space_) / rowCount_));
  SetScrollPos(ScrollPos());
}

bool TQXImList::ReadField(PropField field, PropValue& v) {
  switch (field) {
    case PropField::RowCount: v.i = rowCount_; return true;
    case PropField::ColCount: v.i = colCount_; return true;
    case PropField::Space: v.i = space_; return true;
    case PropField::ScrollPos: v.i = ScrollPos(); return true;
    case PropField::ElWidth: v.i = elWidth_; return true;
    case PropField::ElHeight: v.i = elHeight_; return true;
    case PropField::Scale: v.d = Scale; return true;
    default: return TQXElement::ReadField(field, v);
  }
}

bool TQXImList::WriteField(PropField field, const PropValue& v) {
  const auto i = static_cast<int32_t>(v.i);
  switch (field) {
    case PropField::RowCount: SetRowCount(i); return true;
    case PropField::ColCount: SetColCount(i); return true;
    case PropField::Space: SetSpace(i); return true;
    case PropField::ScrollPos: SetScrollPos(i); return true;
    case PropField::ElWidth:
    case PropField::ElHeight: return true;
    case PropField::Scale: Scale = v.d; return true;
    default: return TQXElement::WriteField(field, v);
  }
}

}  // namespace qx
