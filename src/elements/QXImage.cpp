#include "elements/QXImage.h"

#include "elements/PictureDraw.h"
#include "elements/Placement.h"
#include <cmath>
#include <numbers>

#include "render/GfxCanvas.h"
#include "resources/GfxImage.h"
#include "runtime/MediaCache.h"
#include "runtime/RuntimeState.h"
#include "scene/QXDB.h"

namespace qx {
namespace {

// The angle of (dx, dy) as the hit test measures it: +-pi/2 straight up or down (+pi/2 when
// dy is 0 too), and pi added on the left side.
double HitAngle(double dx, double dy) {
  if (dx == 0) return dy >= 0 ? std::numbers::pi / 2 : -std::numbers::pi / 2;
  return std::atan(dy / dx) + (dx < 0 ? std::numbers::pi : 0.0);
}

}  // namespace

int32_t ToThousandths(double v) { return RoundToInt32(v * 1000.0); }

const ClassInfo& TQXImage::Class() const { return ClassEntry(ClassId::Image); }

TQXImage::TQXImage(TQXElement* parent) : TQXElement(parent) {}

void TQXImage::SetScale(double v) { scaleMilli_ = ToThousandths(v); }
void TQXImage::SetAngle(double v) { angleMilli_ = ToThousandths(v); }

void TQXImage::SetTextId(const std::string& id) {
  textId_ = id;
  if (Root()) Root()->TranslateText(id);
}

std::string TQXImage::ImImage() const { return entry_ ? entry_->Name : std::string(); }

void TQXImage::SetImImage(const std::string& name) {
  entry_ = name.empty() ? nullptr : RequestImage(name, false);
}

TGfxImage* TQXImage::Picture() const { return entry_ ? entry_->Image : nullptr; }

int32_t TQXImage::GetSizeX() {
  const TGfxImage* p = Picture();
  return p ? RoundToInt32(Scale() * p->VisibleWidth() * ScaleX) : 0;
}

int32_t TQXImage::GetSizeY() {
  const TGfxImage* p = Picture();
  return p ? RoundToInt32(Scale() * p->VisibleHeight() * ScaleY) : 0;
}

int32_t TQXImage::GetAbsX() { return AnchoredAbsX(*this, GetSizeX(), PosHor); }
int32_t TQXImage::GetAbsY() { return AnchoredAbsY(*this, GetSizeY(), PosVert); }

void TQXImage::Render(int32_t layer, uint32_t color, double offsetX, double offsetY, bool flag) {
  if (!ResourcesLoaded) LoadResources();
  RuntimeState& rt = Runtime();
  if (entry_ && !entry_->Image && !entry_->Failed) {
    // A picture deferred while its screen loaded: ask for it again, loading at once.
    const bool saved = rt.LoadNow;
    rt.LoadNow = true;
    SetImImage(entry_->Name);
    rt.LoadNow = saved;
  }
  TGfxImage* picture = Picture();
  double childX = offsetX, childY = offsetY;
  if (picture) {
    const double scale = scaleMilli_ / 1000.0;
    const double vw = picture->VisibleWidth(), vh = picture->VisibleHeight();
    const double w = scale * vw * ScaleX, h = scale * vh * ScaleY;
    if (PosHor == phCenter) childX -= w / 2;
    if (PosHor == phRight) childX -= w;
    if (PosVert == pvCenter) childY -= h / 2;
    if (PosVert == pvBottom) childY -= h;
    TGfxCanvas* canvas = Canvas();
    if (canvas && layer == Order()) {
      const double px = offsetX + rX + (PosHor == phLeft ? w / 2 : PosHor == phRight ? -w / 2 : 0);
      const double py = offsetY + rY + (PosVert == pvTop ? h / 2 : PosVert == pvBottom ? -h / 2 : 0);
      // Point filtering only for an unscaled, right-angled picture on whole pixels.
      const bool rightAngle = angleMilli_ == 0 || angleMilli_ == 90000 || angleMilli_ == 180000 || angleMilli_ == 270000;
      const bool sharp = scaleMilli_ == 1000 && rightAngle && px == std::floor(px) && py == std::floor(py) &&
                         RoundToInt32(ScaleX * 1000) == 1000 && RoundToInt32(ScaleY * 1000) == 1000;
      canvas->SetAntialias(!sharp);
      PictureQuad q;
      q.centerX = px;
      q.centerY = py;
      q.scale = scale;
      q.scaleX = ScaleX;
      q.scaleY = ScaleY;
      q.angleDegrees = Angle();
      q.frame = Anim;
      q.color = color_;
      q.code = hxDrawFx;
      DrawPicture(*canvas, *picture, q);
    }
  }
  TQXElement::Render(layer, color, childX, childY, flag);
}

TQXElement* TQXImage::HitTest(int32_t layer, int32_t x, int32_t y, int32_t margin, uint8_t alphaThreshold) {
  int32_t cx = x, cy = y;
  if (Picture()) {
    const int32_t wi = GetSizeX(), hi = GetSizeY();
    if (PosHor == phCenter) cx += wi / 2;
    if (PosHor == phRight) cx += wi;
    if (PosVert == pvCenter) cy += hi / 2;
    if (PosVert == pvBottom) cy += hi;
  }
  if (TQXElement* child = TQXElement::HitTest(layer, cx, cy, margin, alphaThreshold)) return child;
  if (layer != Order() || !TakesMouse() || !entry_) return nullptr;
  return PixelHit(x, y, margin, alphaThreshold) ? this : nullptr;
}

bool TQXImage::PixelHit(int32_t x, int32_t y, int32_t margin, uint8_t alphaThreshold) {
  const TGfxImage* picture = Picture();
  if (!picture || scaleMilli_ == 0) return false;
  int64_t w = RoundToInt32(picture->VisibleWidth() * static_cast<double>(scaleMilli_) / 1000);
  int64_t h = RoundToInt32(picture->VisibleHeight() * static_cast<double>(scaleMilli_) / 1000);
  if (w == 0 || h == 0) return false;
  w += 2 * int64_t{margin};
  h += 2 * int64_t{margin};
  int64_t cx = X(), cy = Y();
  if (PosHor == phLeft) cx += w / 2;
  if (PosHor == phRight) cx -= w / 2;
  if (PosVert == pvTop) cy += h / 2;
  if (PosVert == pvBottom) cy -= h / 2;
  const double dx = static_cast<double>(x - cx), dy = static_cast<double>(y - cy);
  if (dx < -2.0 * w || dx > 2.0 * w || dy < -2.0 * h || dy > 2.0 * h) return false;
  const double d = std::sqrt(dx * dx + dy * dy);
  const double a = HitAngle(dx, dy) - Angle() * std::numbers::pi / 180;
  const double u = d * std::cos(a) + static_cast<double>(w / 2);
  const double v = d * std::sin(a) + static_cast<double>(h / 2);
  if (u < 0 || u >= static_cast<double>(w) || v < 0 || v >= static_cast<double>(h)) return false;
  if (picture->AlphaLevel() == TAlphaLevel::alNone) return true;
  // The texel of frame 0, whatever frame is shown.
  const int32_t tx = RoundToInt32(u * 1000 / scaleMilli_), ty = RoundToInt32(v * 1000 / scaleMilli_);
  if (tx < 0 || tx >= picture->VisibleWidth() || ty < 0 || ty >= picture->VisibleHeight()) return false;
  TFramePlace place;
  if (!picture->FramePlace(0, place)) return false;
  return (picture->GetPixel(place.left + tx, place.top + ty, place.texture) >> 24) > alphaThreshold;
}

bool TQXImage::ReadField(PropField field, PropValue& v) {
  switch (field) {
    case PropField::imImage: v.s = ImImage(); return true;
    case PropField::hxDrawFx: v.i = hxDrawFx; return true;
    case PropField::PosHor: v.i = PosHor; return true;
    case PropField::PosVert: v.i = PosVert; return true;
    case PropField::Scale: v.d = Scale(); return true;
    case PropField::Angle: v.d = Angle(); return true;
    case PropField::hxColor: v.i = hxColor(); return true;
    case PropField::hxTrans: v.i = hxTrans(); return true;
    case PropField::Anim: v.i = Anim; return true;
    case PropField::ScaleX: v.d = ScaleX; return true;
    case PropField::ScaleY: v.d = ScaleY; return true;
    case PropField::Interpol: v.i = Interpol; return true;
    case PropField::InterpolSc: v.i = InterpolSc; return true;
    case PropField::TextId: v.s = textId_; return true;
    default: return TQXElement::ReadField(field, v);
  }
}

bool TQXImage::WriteField(PropField field, const PropValue& v) {
  switch (field) {
    case PropField::imImage: SetImImage(v.s); return true;
    case PropField::hxDrawFx: hxDrawFx = static_cast<uint32_t>(v.i); return true;
    case PropField::PosHor: PosHor = static_cast<TQXPosHor>(v.i); return true;
    case PropField::PosVert: PosVert = static_cast<TQXPosVert>(v.i); return true;
    case PropField::Scale: SetScale(v.d); return true;
    case PropField::Angle: SetAngle(v.d); return true;
    case PropField::hxColor: SethxColor(static_cast<uint32_t>(v.i)); return true;
    case PropField::hxTrans: SethxTrans(static_cast<uint8_t>(v.i)); return true;
    case PropField::Anim: Anim = static_cast<int32_t>(v.i); return true;
    case PropField::ScaleX: ScaleX = v.d; return true;
    case PropField::ScaleY: ScaleY = v.d; return true;
    case PropField::Interpol: Interpol = v.i != 0; return true;
    case PropField::InterpolSc: InterpolSc = v.i != 0; return true;
    case PropField::TextId: SetTextId(v.s); return true;
    default: return TQXElement::WriteField(field, v);
  }
}

}  // namespace qx
