#include "elements/QXText.h"

#include <algorithm>

#include "base/CodePage.h"
#include "base/Log.h"
#include "elements/Placement.h"
#include "render/GfxCanvas.h"
#include "resources/GfxFont.h"
#include "runtime/RuntimeState.h"
#include "scene/QXDB.h"

namespace qx {

const ClassInfo& TQXText::Class() const { return ClassEntry(ClassId::Text); }

TQXText::TQXText(TQXElement* parent) : TQXElement(parent) {}

TQXText::~TQXText() {
  if (Runtime().FocusedText == this) Runtime().FocusedText = nullptr;
}

TQXElement* TQXText::HitTest(int32_t layer, int32_t x, int32_t y, int32_t, uint8_t) {
  return BoxHit(*this, layer, x, y, sizeX_, sizeY_);
}

void TQXText::Render(int32_t layer, uint32_t color, double offsetX, double offsetY, bool flag) {
  TQXElement::Render(layer, color, offsetX, offsetY, flag);
  if (layer != Order()) return;
  const std::shared_ptr<TGfxFont> font = fontRef_.lock();
  if (!font || laidOut_.empty()) return;
  font->Scale = Scale;
  std::string text = laidOut_;
  if (text.back() != '\0') text += '\0';
  // Every line counts as the tallest one for the block's alignment, empty lines included.
  const double lineHeight = font->TextHeight(text);
  const auto lines = std::max<std::ptrdiff_t>(1, std::count(text.begin(), text.end(), '\0'));
  const double block = static_cast<double>(lines) * lineHeight + static_cast<double>(lines - 1) * Interval;
  double top = 0;
  if (PosVert == pvCenter) top = (sizeY_ - block) / 2;
  else if (PosVert == pvBottom) top = sizeY_ - block;
  TGfxCanvas* canvas = font->Owner() ? font->Owner()->Canvas : nullptr;
  double down = 0;
  try {
    for (size_t start = 0; start < text.size();) {
      const size_t end = text.find('\0', start);
      const std::string_view line(text.data() + start, end - start);
      const TFontExtent extent = font->TextExtent(line);
      double left = 0;
      if (PosHor == phCenter) left = (sizeX_ - extent.width) / 2;
      else if (PosHor == phRight) left = sizeX_ - extent.width;
      // Glyphs drawn at their own size stay sharp; scaled ones are filtered.
      if (canvas) canvas->SetAntialias(Scale != 1.0);
      font->TextOut(line, color1_, RoundHalfEven(offsetX + rX + left), RoundHalfEven(offsetY + rY + down + top),
                    color2_, hxDrawFx);
      down += extent.height + Interval;
      start = end + 1;
    }
  } catch (const EFontError& e) {
    // A font without a canvas cannot draw; say so once rather than every frame.
    if (!ownerErrorLogged_) LogError("text", Describe() + ": " + e.what());
    ownerErrorLogged_ = true;
  }
}

bool TQXText::GetPropValue(const std::string& name, ScriptValue& value) {
  if (TQXElement::GetPropValue(name, value)) return true;
  if (name != "TEXTSZ") return false;
  value = ScriptValue::Float(TextWidth());
  return true;
}

double TQXText::TextWidth() const {
  const std::shared_ptr<TGfxFont> font = fontRef_.lock();
  if (!font) return 0.0;
  font->Scale = Scale;
  return font->TextWidth(text_);
}

void TQXText::SetSizeX(int32_t v) {
  sizeX_ = v;
  Relayout();
}

void TQXText::SetText(const std::string& text) {
  text_ = (!textId_.empty() && Root()) ? Root()->TranslateText(textId_) : text;
  const std::shared_ptr<TGfxFont> font = fontRef_.lock();
  if (!EnEnter || !font) {
    // One line: break characters are measured and drawn like any other.
    laidOut_ = text_;
    return;
  }
  font->Scale = Scale;
  // Hard breaks: CR LF, or a backslash and "n" as typed in game files and language texts.
  laidOut_.clear();
  for (size_t pos = 0;;) {
    const size_t brk = std::min(text_.find("\r\n", pos), text_.find("\\n", pos));
    if (brk == std::string::npos) {
      laidOut_.append(text_, pos, std::string::npos);
      break;
    }
    laidOut_.append(text_, pos, brk - pos);
    laidOut_ += '\0';
    pos = brk + 2;
  }
  if (AutoEnter) Wrap(*font);
}

void TQXText::Wrap(TGfxFont& font) {
  const std::string source = std::move(laidOut_);
  laidOut_.clear();
  double width = 0;  // of the current line
  size_t lineStart = 0;
  constexpr std::string_view kDelimiters(" \0", 2);
  for (size_t pos = 0; pos < source.size();) {
    const size_t end = source.find_first_of(kDelimiters, pos);
    std::string word = source.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    const bool hardBreak = end != std::string::npos && source[end] == '\0';
    pos = end == std::string::npos ? source.size() : end + 1;
    if (width != 0) word.insert(0, 1, ' ');
    // The line is measured with the word as it would be drawn: whether a colour tag counts
    // depends on what follows it on the line, so words are not measured on their own.
    const double lineWidth = font.TextWidth(laidOut_.substr(lineStart) + word);
    if (lineWidth > sizeX_ && width != 0) {
      word[0] = '\0';  // the space before the word becomes the line break
      lineStart = laidOut_.size() + 1;
      width = font.TextWidth(std::string_view(word).substr(1));
    } else {
      width = lineWidth;
    }
    laidOut_ += word;
    // A hard break still ends its line when the text wraps.
    if (hardBreak) {
      laidOut_ += '\0';
      lineStart = laidOut_.size();
      width = 0;
    }
  }
}

void TQXText::SetTextId(const std::string& id) {
  textId_ = id;
  // An empty identifier looks up an empty text, which empties the element.
  text_ = Root() ? Root()->TranslateText(id) : std::string();
  Relayout();
}

void TQXText::SetFont(const std::string& name) {
  font_ = name;
  fontRef_.reset();
  if (TGfxFonts* fonts = Root() ? Root()->Services().fonts : nullptr) {
    fontRef_ = fonts->FindFont(name);
    if (fontRef_.expired() && !name.empty()) LogDetailOnce("font", "no font " + Cp1251ToUtf8(name));
  }
  Relayout();
}

bool TQXText::ReadField(PropField field, PropValue& v) {
  switch (field) {
    case PropField::hxDrawFx: v.i = hxDrawFx; return true;
    case PropField::hxColor1: v.i = hxColor1(); return true;
    case PropField::hxTrans1: v.i = hxTrans1(); return true;
    case PropField::hxColor2: v.i = hxColor2(); return true;
    case PropField::hxTrans2: v.i = hxTrans2(); return true;
    case PropField::Font: v.s = font_; return true;
    case PropField::PosHor: v.i = PosHor; return true;
    case PropField::PosVert: v.i = PosVert; return true;
    case PropField::TextId: v.s = textId_; return true;
    case PropField::AutoEnter: v.i = AutoEnter; return true;
    case PropField::EnEnter: v.i = EnEnter; return true;
    case PropField::AutoScale: v.i = AutoScale; return true;
    case PropField::Interval: v.d = Interval; return true;
    case PropField::Text: v.s = text_; return true;
    case PropField::Scale: v.d = Scale; return true;
    default: return TQXElement::ReadField(field, v);
  }
}

bool TQXText::WriteField(PropField field, const PropValue& v) {
  switch (field) {
    case PropField::hxDrawFx: hxDrawFx = static_cast<uint32_t>(v.i); return true;
    case PropField::hxColor1: color1_ = WithColor(color1_, static_cast<uint32_t>(v.i)); return true;
    case PropField::hxTrans1: color1_ = WithAlpha(color1_, static_cast<uint8_t>(v.i)); return true;
    case PropField::hxColor2: color2_ = WithColor(color2_, static_cast<uint32_t>(v.i)); return true;
    case PropField::hxTrans2: color2_ = WithAlpha(color2_, static_cast<uint8_t>(v.i)); return true;
    case PropField::Font: SetFont(v.s); return true;
    case PropField::PosHor: PosHor = static_cast<TQXPosHor>(v.i); return true;
    case PropField::PosVert: PosVert = static_cast<TQXPosVert>(v.i); return true;
    case PropField::TextId: SetTextId(v.s); return true;
    case PropField::AutoEnter:
      AutoEnter = v.i != 0;
      Relayout();
      return true;
    case PropField::EnEnter:
      EnEnter = v.i != 0;
      Relayout();
      return true;
    case PropField::AutoScale:
      AutoScale = v.i != 0;
      Relayout();
      return true;
    case PropField::Interval: Interval = v.d; return true;
    case PropField::Text: SetText(v.s); return true;
    case PropField::Scale:
      Scale = v.d;
      Relayout();
      return true;
    default: return TQXElement::WriteField(field, v);
  }
}

}  // namespace qx
