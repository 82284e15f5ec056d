// TQXText: a string in a box, drawn in one of the game's bitmap fonts; the shell types into
// the focused one.
#pragma once

#include <memory>

#include "elements/ColorWord.h"
#include "scene/QXElement.h"

namespace qx {

class TGfxFont;

class TQXText : public TQXElement {
 public:
  explicit TQXText(TQXElement* parent);
  // The shell's focus does not outlive the text.
  ~TQXText() override;
  const ClassInfo& Class() const override;

  void SetSizeX(int32_t v) override;
  void SetSizeY(int32_t v) override { sizeY_ = v; }
  int32_t GetSizeX() override { return sizeX_; }
  int32_t GetSizeY() override { return sizeY_; }
  // A hit inside the box, both ends inclusive; children are never asked.
  TQXElement* HitTest(int32_t layer, int32_t x, int32_t y, int32_t margin, uint8_t alphaThreshold) override;
  // Children first, then, in the pass of its layer, the lines over them.
  void Render(int32_t layer, uint32_t color, double offsetX, double offsetY, bool flag) override;
  // Adds "TEXTSZ": the width of Text in the font (TextWidth).
  bool GetPropValue(const std::string& name, ScriptValue& value) override;

  const std::string& Text() const { return text_; }
  // Stores the text (the language text instead when TextId is set) and lays it out: with
  // EnEnter and a font, lines end at CR LF and at backslash-n, and with AutoEnter as well
  // they wrap at SizeX.
  void SetText(const std::string& text);
  // The text as drawn: lines separated by character 0.
  const std::string& LaidOutText() const { return laidOut_; }
  const std::string& TextId() const { return textId_; }
  void SetTextId(const std::string& id);
  const std::string& Font() const { return font_; }
  // Stores the name and resolves it in the game's font list (none when it is unknown). The
  // font is looked up only here: after the fonts are reloaded, Font must be written again.
  void SetFont(const std::string& name);
  // The resolved font, or null.
  TGfxFont* FontObject() const { return fontRef_.lock().get(); }
  // The width of Text in the font at the text's scale (0 without a font).
  double TextWidth() const;

  uint32_t hxColor1() const { return ColorPart(color1_); }
  uint8_t hxTrans1() const { return AlphaPart(color1_); }
  uint32_t hxColor2() const { return ColorPart(color2_); }
  uint8_t hxTrans2() const { return AlphaPart(color2_); }

  uint32_t hxDrawFx = 1284;
  TQXPosHor PosHor = phLeft;
  TQXPosVert PosVert = pvTop;
  bool AutoEnter = false;
  bool EnEnter = false;
  bool AutoScale = false;
  double Interval = 0.0;
  double Scale = 1.0;

 protected:
  bool ReadField(PropField field, PropValue& value) override;
  bool WriteField(PropField field, const PropValue& value) override;

 private:
  void Relayout() { SetText(text_); }

  // Word wrapping of the laid-out lines at SizeX.
  void Wrap(TGfxFont& font);

  std::string text_, textId_, font_;
  std::string laidOut_;
  std::weak_ptr<TGfxFont> fontRef_;
  bool ownerErrorLogged_ = false;
  int32_t sizeX_ = 100, sizeY_ = 100;
  uint32_t color1_ = 0xFFFFFFFFu;
  uint32_t color2_ = 0x00000000u;
};

}  // namespace qx
