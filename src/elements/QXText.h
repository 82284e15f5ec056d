// TQXText: a string in a box, drawn in one of the game's bitmap fonts; the shell types into
// the focused one.
#pragma once

#include "elements/ColorWord.h"
#include "scene/QXElement.h"

namespace qx {

class TQXText : public TQXElement {
 public:
  explicit TQXText(TQXElement* parent);
  const ClassInfo& Class() const override;

  void SetSizeX(int32_t v) override;
  void SetSizeY(int32_t v) override { sizeY_ = v; }
  int32_t GetSizeX() override { return sizeX_; }
  int32_t GetSizeY() override { return sizeY_; }

  const std::string& Text() const { return text_; }
  // With a TextId the language text replaces the value. Laying the text out in its font
  // arrives with the bitmap fonts.
  void SetText(const std::string& text);
  const std::string& TextId() const { return textId_; }
  void SetTextId(const std::string& id);
  const std::string& Font() const { return font_; }
  void SetFont(const std::string& name);
  // The width of Text in the font at the text's scale (0 without a font).
  double TextWidth() const { return 0.0; }

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

  std::string text_, textId_, font_;
  int32_t sizeX_ = 100, sizeY_ = 100;
  uint32_t color1_ = 0xFFFFFFFFu;
  uint32_t color2_ = 0x00000000u;
};

}  // namespace qx
