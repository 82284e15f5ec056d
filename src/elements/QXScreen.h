// TQXScreen: one page of the game, a background picture and the elements on it.
#pragma once

#include "elements/BackPicture.h"
#include "scene/QXElement.h"

namespace qx {

class TGfxImage;

class TQXScreen : public TQXElement {
 public:
  explicit TQXScreen(TQXElement* parent);
  const ClassInfo& Class() const override;

  void SetSizeX(int32_t v) override { sizeX_ = v; }
  void SetSizeY(int32_t v) override { sizeY_ = v; }
  int32_t GetSizeX() override { return sizeX_; }
  int32_t GetSizeY() override { return sizeY_; }
  TQXElement* HitTest(int32_t layer, int32_t x, int32_t y, int32_t margin, uint8_t alphaThreshold) override;
  // The background (in its layer; it does not move with the screen's X/Y), the Render
  // event, then the children.
  void Render(int32_t layer, uint32_t color, double offsetX, double offsetY, bool flag) override;
  // A screen whose AutoInit is off takes no part in the Init pass: its whole subtree is
  // skipped (the built-in Init still initialises it through DoInitPr).
  void DoInit() override;

  // The background picture: writing requests it from the media cache and, when it is
  // loaded, takes its size; reading gives the cache entry's name.
  std::string ImBack() const;
  void SetImBack(const std::string& name);
  TGfxImage* Background() const;

  uint32_t hxDrawFx = 1;
  int32_t Agro = 0;
  bool Modal = false;
  bool AllwaysLoad = false;

 protected:
  bool ReadField(PropField field, PropValue& value) override;
  bool WriteField(PropField field, const PropValue& value) override;

 private:
  TBackPicture back_;
  int32_t sizeX_ = 0, sizeY_ = 0;
};

}  // namespace qx
