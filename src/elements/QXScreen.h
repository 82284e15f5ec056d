// TQXScreen: one page of the game, a background picture and the elements on it.
#pragma once

#include "elements/Backdrop.h"

namespace qx {

class TQXScreen : public TQXBackdrop {
 public:
  explicit TQXScreen(TQXElement* parent);
  const ClassInfo& Class() const override;

  TQXElement* HitTest(int32_t layer, int32_t x, int32_t y, int32_t margin, uint8_t alphaThreshold) override;
  // The background (in its layer; it does not move with the screen's X/Y), the Render
  // event, then the children.
  void Render(int32_t layer, uint32_t color, double offsetX, double offsetY, bool flag) override;
  // A screen whose AutoInit is off takes no part in the Init pass: its whole subtree is
  // skipped (the built-in Init still initialises it through DoInitPr).
  void DoInit() override;

  bool AllwaysLoad = false;

 protected:
  bool ReadField(PropField field, PropValue& value) override;
  bool WriteField(PropField field, const PropValue& value) override;
};

}  // namespace qx
