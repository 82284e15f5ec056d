// TQXScreen: one page of the game, a background picture and the elements on it.
#pragma once

#include "scene/QXElement.h"

namespace qx {

class TQXScreen : public TQXElement {
 public:
  explicit TQXScreen(TQXElement* parent);
  const ClassInfo& Class() const override;

  void SetSizeX(int32_t v) override { sizeX_ = v; }
  void SetSizeY(int32_t v) override { sizeY_ = v; }
  int32_t GetSizeX() override { return sizeX_; }
  int32_t GetSizeY() override { return sizeY_; }
  TQXElement* HitTest(int32_t layer, int32_t x, int32_t y, int32_t margin, uint8_t alphaThreshold) override;

  // The background picture's name. Resolving it into a picture (and taking the picture's
  // size) arrives with the media cache.
  const std::string& ImBack() const { return imBack_; }
  void SetImBack(const std::string& name) { imBack_ = name; }

  uint32_t hxDrawFx = 1;
  int32_t Agro = 0;
  bool Modal = false;
  bool AllwaysLoad = false;

 protected:
  bool ReadField(PropField field, PropValue& value) override;
  bool WriteField(PropField field, const PropValue& value) override;

 private:
  std::string imBack_;
  int32_t sizeX_ = 0, sizeY_ = 0;
};

}  // namespace qx
