// TQXImage: a picture from the media cache placed by an anchor point, scaled, rotated,
// tinted and blended; the workhorse of every screen, the key frames' pictures and the
// image lists' cells.
#pragma once

#include "elements/ColorWord.h"
#include "scene/QXElement.h"

namespace qx {

class TGfxImage;
struct TQXIm;

class TQXImage : public TQXElement, public TColorWordHolder {
 public:
  explicit TQXImage(TQXElement* parent);
  const ClassInfo& Class() const override;

  // The picture: writing the name requests it from the media cache; reading gives the
  // cache entry's own (upper-case) name, or "" without an entry.
  std::string ImImage() const;
  void SetImImage(const std::string& name);
  // The drawable picture, when it is loaded, and its media-cache entry.
  TGfxImage* Picture() const;
  TQXIm* Entry() const { return entry_; }

  int32_t GetSizeX() override;
  int32_t GetSizeY() override;
  int32_t GetAbsX() override;
  int32_t GetAbsY() override;
  TQXElement* HitTest(int32_t layer, int32_t x, int32_t y, int32_t margin, uint8_t alphaThreshold) override;
  void Render(int32_t layer, uint32_t color, double offsetX, double offsetY, bool flag) override;
  // The picture test alone: (x, y) in the parent's space.
  bool PixelHit(int32_t x, int32_t y, int32_t margin, uint8_t alphaThreshold);

  // Scale and Angle are kept as signed thousandths, so they read back quantised to 0.001.
  double Scale() const { return scaleMilli_ / 1000.0; }
  void SetScale(double v);
  double Angle() const { return angleMilli_ / 1000.0; }
  void SetAngle(double v);
  int32_t ScaleMilli() const { return scaleMilli_; }
  int32_t AngleMilli() const { return angleMilli_; }

  const std::string& TextId() const { return textId_; }
  // Stores the identifier and looks its text up (the image draws nothing of it).
  void SetTextId(const std::string& id);

  uint32_t hxDrawFx = 1284;
  TQXPosHor PosHor = phLeft;
  TQXPosVert PosVert = pvTop;
  int32_t Anim = 0;
  double ScaleX = 1.0, ScaleY = 1.0;
  bool Interpol = true, InterpolSc = true;

 protected:
  bool ReadField(PropField field, PropValue& value) override;
  bool WriteField(PropField field, const PropValue& value) override;

 private:
  TQXIm* entry_ = nullptr;
  std::string textId_;
  int32_t scaleMilli_ = 1000;
  int32_t angleMilli_ = 0;
};

// A double times 1000, rounded half to even and kept inside the 32-bit range.
int32_t ToThousandths(double v);

}  // namespace qx
