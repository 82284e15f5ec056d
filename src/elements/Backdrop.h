// TQXBackdrop: what screens and animations share. A background picture (ImBack) that gives
// them their size when it is loaded, drawn with hxDrawFx; the margin the pictures inside are
// hit with (Agro) and whether they end the search through lower layers (Modal). Both start
// mouse-visible while hidden. Not a class of the registry: only its two kinds are made.
#pragma once

#include <cstdint>
#include <string>

#include "scene/QXElement.h"

namespace qx {

class TGfxImage;

class TQXBackdrop : public TQXElement {
 public:
  void SetSizeX(int32_t v) override { sizeX_ = v; }
  void SetSizeY(int32_t v) override { sizeY_ = v; }
  int32_t GetSizeX() override { return sizeX_; }
  int32_t GetSizeY() override { return sizeY_; }

  // The background picture: writing the name requests it from the media cache and, when it
  // is loaded, takes its size; reading gives the cache entry's (upper-case) name, or "".
  std::string ImBack() const;
  void SetImBack(const std::string& name);
  // The drawable picture, when it is loaded.
  TGfxImage* Background() const;

  uint32_t hxDrawFx = 1;
  int32_t Agro = 0;
  bool Modal = false;

 protected:
  explicit TQXBackdrop(TQXElement* parent);
  bool ReadField(PropField field, PropValue& value) override;
  bool WriteField(PropField field, const PropValue& value) override;

 private:
  TQXIm* back_ = nullptr;
  int32_t sizeX_ = 0, sizeY_ = 0;
};

}  // namespace qx
