#include "elements/QXImList.h"

#include <algorithm>
#include <numbers>

#include "base/Ascii.h"
#include "base/IntText.h"
#include "elements/QXImage.h"
#include "render/GfxCanvas.h"
#include "resources/GfxImage.h"
#include "scene/QXDB.h"

namespace qx {

const ClassInfo& TQXImList::Class() const { return ClassEntry(ClassId::ImList); }

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
  elWidth_ = static_cast<int32_t>(std::clamp<int64_t>(
      (int64_t{sizeX_} - (int64_t{colCount_} - 1) * space_) / colCount_, 0, INT32_MAX));
  elHeight_ = static_cast<int32_t>(std::clamp<int64_t>(
      (int64_t{sizeY_} - (int64_t{rowCount_} - 1) * space_) / rowCount_, 0, INT32_MAX));
  SetScrollPos(ScrollPos());
}

void TQXImList::SetScrollPos(int32_t index) {
  // Without columns there is no grid, and nothing to divide by.
  if (colCount_ <= 0 || rowCount_ <= 0) {
    scrollRow_ = 0;
    return;
  }
  int64_t row = index / colCount_;
  const int64_t rows = (static_cast<int64_t>(items_.size()) + colCount_ - 1) / colCount_;
  if (rows - row < rowCount_) row = rows - rowCount_;
  // The grid scrolls to that row, and never above the first.
  scrollRow_ = static_cast<int32_t>(std::max<int64_t>(0, row));
}

void TQXImList::KeepViewOnItems() {
  if (colCount_ <= 0 || rowCount_ <= 0) return;
  const int64_t rows = (static_cast<int64_t>(items_.size()) + colCount_ - 1) / colCount_;
  // A view that still shows an item stays; one past the last item row would show an empty
  // grid while the list holds items, so it comes back to the last full view.
  if (scrollRow_ >= rows) scrollRow_ = static_cast<int32_t>(std::max<int64_t>(0, rows - rowCount_));
}

void TQXImList::Add(TQXImage* image) {
  items_.push_back(Item{image, 1.0});
  SetScrollPos(static_cast<int32_t>(items_.size()) - 1);
}

bool TQXImList::Remove(const TQXImage* image) {
  auto it = std::find_if(items_.begin(), items_.end(), [&](const Item& i) { return i.image == image; });
  if (it == items_.end()) return false;
  items_.erase(it);
  KeepViewOnItems();
  return true;
}

bool TQXImList::Remove(const std::string& id) {
  auto it = std::find_if(items_.begin(), items_.end(), [&](const Item& i) { return i.image && i.image->Id == id; });
  if (it == items_.end()) return false;
  items_.erase(it);
  KeepViewOnItems();
  return true;
}

TQXElement* TQXImList::HitTest(int32_t layer, int32_t x, int32_t y, int32_t, uint8_t) {
  if (layer != Order()) return nullptr;
  int32_t index = -1;
  TQXElement* result = nullptr;
  const int64_t left = X(), top = Y();
  if (x >= left && x < left + sizeX_ && y >= top && y < top + sizeY_) {
    const int64_t cellW = int64_t{elWidth_} + space_, cellH = int64_t{elHeight_} + space_;
    if (cellW > 0 && cellH > 0) {
      const int64_t i = (x - left) / cellW + ScrollPos() + ((y - top) / cellH) * colCount_;
      index = i < static_cast<int64_t>(items_.size()) ? static_cast<int32_t>(i) : -1;
    }
    result = this;
  }
  if (index != HoveredIndex) {
    DoMouseOut();
    HoveredIndex = index;
    DoMouseIn();
  }
  return result;
}

void TQXImList::DoMouseIn() {
  if (HoveredIndex != -1) TQXElement::DoMouseIn();
}

void TQXImList::DoMouseOut() {
  if (HoveredIndex != -1) TQXElement::DoMouseOut();
}

void TQXImList::DoMouseDown() {
  if (HoveredIndex < 0 || HoveredIndex >= static_cast<int32_t>(items_.size())) return;
  if (TQXImage* image = items_[static_cast<size_t>(HoveredIndex)].image) image->DoMouseDown();
  TQXElement::DoMouseDown();
}

void TQXImList::DoProcess() {
  for (size_t i = 0; i < items_.size(); ++i) {
    Item& item = items_[i];
    if (static_cast<int32_t>(i) == HoveredIndex && item.zoom < Scale) {
      item.zoom += 0.05;
    } else if (item.zoom > 1.0) {
      item.zoom -= 0.1;
      if (item.zoom < 1.0) item.zoom = 1.0;
    }
  }
}

void TQXImList::DrawCell(int32_t index, int32_t row, int32_t column, double offsetX, double offsetY) {
  const Item& item = items_[static_cast<size_t>(index)];
  TGfxImage* picture = item.image ? item.image->Picture() : nullptr;
  TGfxCanvas* canvas = Canvas();
  if (!picture || !canvas || picture->VisibleWidth() <= 0 || picture->VisibleHeight() <= 0) return;
  double fit = static_cast<double>(elWidth_) / picture->VisibleWidth();
  if (elHeight_ < picture->VisibleHeight() * fit) fit = static_cast<double>(elHeight_) / picture->VisibleHeight();
  canvas->SetAntialias(true);
  const double x = offsetX + rX + column * (static_cast<double>(elWidth_) + space_) + elWidth_ / 2.0;
  const double y = offsetY + rY + row * (static_cast<double>(elHeight_) + space_) + elHeight_ / 2.0;
  canvas->DrawImageRotated(picture, item.image->ColorWord(), item.image->hxDrawFx, item.image->Anim, x, y,
                           fit * item.zoom, item.image->Angle() * std::numbers::pi / 180);
}

void TQXImList::Render(int32_t layer, uint32_t, double offsetX, double offsetY, bool) {
  if (layer != Order()) return;
  if (!ResourcesLoaded) LoadResources();
  if (elWidth_ == 0 || elHeight_ == 0) return;
  // Every cell but the hovered one, then the hovered one on top.
  const auto count = static_cast<int64_t>(items_.size());
  for (int pass = 0; pass < 2; ++pass) {
    for (int32_t r = 0; r < rowCount_; ++r) {
      for (int32_t c = 0; c < colCount_; ++c) {
        const int64_t i = c + (int64_t{r} + scrollRow_) * colCount_;
        if (i >= count) break;
        const bool hovered = i == HoveredIndex;
        if (hovered == (pass == 1)) DrawCell(static_cast<int32_t>(i), r, c, offsetX, offsetY);
      }
    }
  }
}

void TQXImList::LoadResources() {
  const bool wasLoaded = ResourcesLoaded;
  TQXElement::LoadResources();
  if (wasLoaded) return;
  for (const Item& item : items_) {
    if (item.image) item.image->LoadResources();
  }
}

void TQXImList::ReloadResources() {
  TQXElement::ReloadResources();
  for (const Item& item : items_) {
    if (item.image) item.image->ReloadResources();
  }
}

bool TQXImList::GetPropValue(const std::string& name, ScriptValue& value) {
  if (TQXElement::GetPropValue(name, value)) return true;
  if (name == "ELEMENTS") {
    std::string keys;
    for (const Item& item : items_) keys += std::to_string(item.image ? item.image->Key : 0) + ";";
    value = ScriptValue::Str(keys);
    return true;
  }
  if (name == "SELEL") {
    const bool hovered = HoveredIndex >= 0 && HoveredIndex < static_cast<int32_t>(items_.size());
    const TQXImage* image = hovered ? items_[static_cast<size_t>(HoveredIndex)].image : nullptr;
    value = ScriptValue::Element(image ? image->Handle() : 0);
    return true;
  }
  return false;
}

bool TQXImList::SetPropValue(const std::string& name, const ScriptValue& value) {
  if (TQXElement::SetPropValue(name, value)) return true;
  if (name != "ELEMENTS") return false;
  items_.clear();
  const std::string text = value.ToText();
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(';', start);
    if (end == std::string::npos) end = text.size();
    const std::string_view part = TrimBlanks(std::string_view(text).substr(start, end - start));
    int32_t key = 0;
    if (ParseWholeInt(part, key) && Root()) {
      TQXElement* found = Root()->FindByKey(key);
      // Exactly an image, as the list's contents ask.
      if (found && found->IsExactly(ClassId::Image)) Add(static_cast<TQXImage*>(found));
    }
    start = end + 1;
  }
  return true;
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
