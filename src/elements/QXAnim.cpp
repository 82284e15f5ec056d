#include "elements/QXAnim.h"

#include <cmath>
#include <map>

#include "base/Ascii.h"
#include "base/IntText.h"
#include "elements/PictureDraw.h"
#include "elements/Placement.h"
#include "elements/QXAnKey.h"
#include "elements/QXImage.h"
#include "elements/Spline.h"
#include "render/GfxCanvas.h"
#include "resources/GfxImage.h"
#include "runtime/MediaCache.h"
#include "runtime/RuntimeState.h"
#include "scene/QXDB.h"

namespace qx {
namespace {

std::vector<TQXAnKey*> KeysOf(TQXElement& anim) {
  std::vector<TQXAnKey*> keys;
  for (TQXElement* c : anim.Children()) {
    if (auto* key = dynamic_cast<TQXAnKey*>(c)) keys.push_back(key);
  }
  return keys;
}

std::vector<TQXImage*> PicturesOf(const TQXElement& key) {
  std::vector<TQXImage*> pictures;
  for (TQXElement* c : key.Children()) {
    if (auto* picture = dynamic_cast<TQXImage*>(c)) pictures.push_back(picture);
  }
  return pictures;
}

// The samples of one named picture, and their splines once built.
struct Track {
  std::vector<double> t, x, y, scale, angle, scaleX, scaleY;
  std::vector<CubicSpline> splines;  // x, y, scale, angle, scaleX, scaleY
};
using TrackMap = std::map<std::string, Track>;

// The animation's absolute position: frame items are kept relative to it.
struct FrameOrigin {
  int32_t x, y;
};

// Tracks: spline samples of the named pictures over the keys, one track per Id
// (case-sensitive), sampled at each key's first frame; a track of two samples or more gets
// its splines.
TrackMap BuildTracks(const std::vector<TQXAnKey*>& keys, const FrameOrigin& origin) {
  TrackMap tracks;
  double t = 0;
  for (TQXAnKey* key : keys) {
    for (TQXImage* p : PicturesOf(*key)) {
      const TGfxImage* pic = p->Picture();
      if (!pic || p->Id.empty()) continue;
      Track& tr = tracks[p->Id];
      // Two pictures of one name in one key would give two samples at one time: the
      // first counts.
      if (!tr.t.empty() && tr.t.back() >= t) continue;
      tr.t.push_back(t);
      tr.x.push_back((p->GetAbsX() - origin.x) + p->Scale() * pic->VisibleWidth() / 2);
      tr.y.push_back((p->GetAbsY() - origin.y) + p->Scale() * pic->VisibleHeight() / 2);
      tr.scale.push_back(p->Scale());
      tr.angle.push_back(p->Angle());
      tr.scaleX.push_back(p->ScaleX);
      tr.scaleY.push_back(p->ScaleY);
    }
    t += key->Count() + 1.0;
  }
  for (auto& [id, tr] : tracks) {
    if (tr.t.size() < 2) continue;
    for (const std::vector<double>* values : {&tr.x, &tr.y, &tr.scale, &tr.angle, &tr.scaleX, &tr.scaleY}) {
      tr.splines.emplace_back(tr.t, *values);
    }
  }
  return tracks;
}

// The picture of the next key that picture `a` moves to: the first one with the same Id
// (letter case ignored); none for an unnamed picture or without a next key.
TQXImage* Partner(const TQXImage& a, TQXAnKey* next) {
  if (!next || a.Id.empty()) return nullptr;
  for (TQXImage* candidate : PicturesOf(*next)) {
    if (EqualsNoCaseAscii(candidate->Id, a.Id)) return candidate;
  }
  return nullptr;
}

// Cross-fade: where the picture changes between the keys (another picture or frame), the
// outgoing picture stays still at its place. Without Morph it is drawn alone; with Morph the
// outgoing picture fades from full to 223/255 over the first half of the key and to 0 over
// the second, the incoming one from 0 to 223/255 and then to full. A key of one frame has no
// halves: it shows the outgoing picture only.
void AddChangingPicture(TQXImage& a, TQXImage& e, const TQXAnKey& key, int32_t j, AnimItem item,
                        const FrameOrigin& origin, std::vector<AnimItem>& frame) {
  const TGfxImage* pa = a.Picture();
  const TGfxImage* pe = e.Picture();
  const int32_t count = key.Count();
  item.x = (a.GetAbsX() - origin.x) + a.Scale() * pa->VisibleWidth() / 2;
  item.y = (a.GetAbsY() - origin.y) + a.Scale() * pa->VisibleHeight() / 2;
  item.scale = a.Scale();
  item.angle = a.Angle();
  item.color = a.ColorWord();
  if (!key.Morph) {
    frame.push_back(item);
    return;
  }
  const double m = count / 2.0;
  double alphaA = a.hxTrans(), alphaE = 0;
  if (m > 0) {
    if (j <= count / 2) {
      alphaA = a.hxTrans() * (255 - 32 * j / m) / 255;
      alphaE = e.hxTrans() * (223 * j / m) / 255;
    } else {
      alphaA = a.hxTrans() * (223 - (j - m) * 223 / m) / 255;
      alphaE = e.hxTrans() * ((j - m) * 32 / m + 223) / 255;
    }
  }
  item.color = (a.ColorWord() & 0xFFFFFF) | (static_cast<uint32_t>(RoundToInt32(alphaA) & 0xFF) << 24);
  AnimItem incoming;
  incoming.picture = e.Entry();
  incoming.frame = e.Anim;
  incoming.x = (e.GetAbsX() - origin.x) + e.Scale() * pe->VisibleWidth() / 2;
  incoming.y = (e.GetAbsY() - origin.y) + e.Scale() * pe->VisibleHeight() / 2;
  incoming.scale = e.Scale();
  incoming.angle = e.Angle();
  incoming.scaleX = item.scaleX;
  incoming.scaleY = item.scaleY;
  incoming.color = (e.hxColor() & 0xFFFFFF) | (static_cast<uint32_t>(RoundToInt32(alphaE) & 0xFF) << 24);
  incoming.code = e.hxDrawFx;
  frame.push_back(item);
  frame.push_back(incoming);
}

// Frames: the Count + 1 frames of one key starting at frame t. Each picture of the key moves
// towards its partner in the next key, scale, angle and opacity in step (or along its
// track's splines when the animation and the picture interpolate); a named picture the next
// key lacks is not shown, an unnamed one stands still.
void AddKeyFrames(const TQXAnKey& key, TQXAnKey* next, int32_t t, const TrackMap& tracks, const FrameOrigin& origin,
                  std::vector<std::vector<AnimItem>>& frames) {
  const int32_t count = key.Count();
  frames.resize(static_cast<size_t>(t) + count + 1);
  const double d = count + 1.0;
  for (TQXImage* a : PicturesOf(key)) {
    TQXImage* e = Partner(*a, next);
    const TGfxImage* pa = a->Picture();
    if (!pa) continue;
    if (!e) {
      if (!a->Id.empty() && next) continue;  // a named picture the next key lacks: not shown
      e = a;                                   // a static picture
    }
    const TGfxImage* pe = e->Picture();
    if (!pe) continue;
    const Track* track = nullptr;
    if (a->Interpol && !a->Id.empty()) {
      auto it = tracks.find(a->Id);
      if (it != tracks.end() && !it->second.splines.empty()) track = &it->second;
    }
    const bool changes = pa != pe || a->Anim != e->Anim;
    for (int32_t j = 0; j <= count; ++j) {
      const int32_t f = t + j;
      AnimItem item;
      item.picture = a->Entry();
      item.frame = a->Anim;
      item.x = (a->GetAbsX() - origin.x) + (e->GetAbsX() - a->GetAbsX()) / d * j;
      item.y = (a->GetAbsY() - origin.y) + (e->GetAbsY() - a->GetAbsY()) / d * j;
      item.scale = a->Scale() + (e->Scale() - a->Scale()) / d * j;
      item.scaleX = a->ScaleX + (e->ScaleX - a->ScaleX) / d * j;
      item.scaleY = a->ScaleY + (e->ScaleY - a->ScaleY) / d * j;
      item.angle = a->Angle() + (e->Angle() - a->Angle()) / d * j;
      item.x += pa->VisibleWidth() * 0.5 * item.scale;
      item.y += pa->VisibleHeight() * 0.5 * item.scale;
      if (track) {
        item.x = track->splines[0](f);
        item.y = track->splines[1](f);
        item.angle = track->splines[3](f);
        if (a->InterpolSc) {
          item.scale = track->splines[2](f);
          item.scaleX = track->splines[4](f);
          item.scaleY = track->splines[5](f);
        }
      }
      const int32_t alpha = RoundToInt32((e->hxTrans() - a->hxTrans()) / d * j) + a->hxTrans();
      item.color = (a->hxColor() & 0xFFFFFF) | (static_cast<uint32_t>(alpha & 0xFF) << 24);
      item.code = a->hxDrawFx;
      auto& frame = frames[static_cast<size_t>(f)];
      if (changes) AddChangingPicture(*a, *e, key, j, item, origin, frame);
      else frame.push_back(item);
    }
  }
}

// Directions: an item whose frame is -1 shows one of 16 direction frames by its angle (with
// the animation's), turned by what is left over; every angle is kept in 0..360.
void ApplyDirection(AnimItem& item, double animAngle) {
  double a = RoundHalfEven((animAngle + item.angle) * 1000) / 1000;
  if (!(a >= -100000 && a <= 100000)) a = 0;
  a = std::fmod(a, 360.0);
  if (a < 0) a += 360;
  if (item.frame == -1) {
    const int32_t g = std::min(15, RoundToInt32(a * 10) / 225);
    item.frame = g;
    item.angle = a - g * 22.5;
  }
}

}  // namespace

const ClassInfo& TQXAnim::Class() const { return ClassEntry(ClassId::Anim); }

TQXAnim::TQXAnim(TQXElement* parent) : TQXBackdrop(parent) {}

void TQXAnim::SetPos(int32_t v) {
  pos_ = v;
  if (v >= FrameCount()) pos_ = Rep ? 0 : FrameCount() - 1;
}

void TQXAnim::BuildFrames() {
  if (Runtime().FileLoading) return;
  frames_.clear();
  const std::vector<TQXAnKey*> keys = KeysOf(*this);
  const FrameOrigin origin{GetAbsX(), GetAbsY()};
  const TrackMap tracks = Interpol ? BuildTracks(keys, origin) : TrackMap{};
  int32_t t = 0;
  for (size_t k = 0; k < keys.size(); ++k) {
    TQXAnKey* next = k + 1 < keys.size() ? keys[k + 1] : (Rep ? keys.front() : nullptr);
    AddKeyFrames(*keys[k], next, t, tracks, origin, frames_);
    t += keys[k]->Count() + 1;
  }
  for (auto& frame : frames_) {
    for (AnimItem& item : frame) ApplyDirection(item, Angle);
  }
  SetPos(pos_);
}

void TQXAnim::DrawFrame(int32_t p, double ox, double oy, uint32_t color) {
  TGfxCanvas* target = Canvas();
  if (p < 0 || p >= FrameCount() || !target) return;
  TGfxCanvas& canvas = *target;
  if (TGfxImage* back = Background()) canvas.DrawImage(back, color, hxDrawFx, 0, ox, oy);
  for (const AnimItem& item : frames_[static_cast<size_t>(p)]) {
    TGfxImage* picture = item.picture ? item.picture->Image : nullptr;
    if (!picture) continue;
    canvas.SetAntialias(true);
    PictureQuad q;
    q.centerX = ox + item.x;
    q.centerY = oy + item.y;
    q.scale = item.scale;
    q.scaleX = item.scaleX;
    q.scaleY = item.scaleY;
    q.angleDegrees = Angle + item.angle;
    q.frame = item.frame;
    q.color = item.color;
    q.code = item.code;
    DrawPicture(canvas, *picture, q);
  }
}

void TQXAnim::Render(int32_t layer, uint32_t color, double offsetX, double offsetY, bool) {
  if (!ResourcesLoaded) LoadResources();
  if (ShowAn) {
    if (layer == Order()) DrawFrame(pos_, offsetX + rX, offsetY + rY, color);
    return;
  }
  // The authoring view: the background, then the keys with their pictures, last first.
  if (TGfxCanvas* canvas = Canvas(); layer == Order() && canvas) {
    if (TGfxImage* back = Background()) canvas->DrawImage(back, color, hxDrawFx, 0, offsetX, offsetY);
  }
  const auto& kids = Children();
  for (auto it = kids.rbegin(); it != kids.rend(); ++it) {
    if ((*it)->Vis) (*it)->Render(layer, color, offsetX + rX, offsetY + rY, false);
  }
}

void TQXAnim::DoProcess() {
  if (!Vis) return;
  if (Active) {
    if (pos_ < FrameCount() - 1 || Rep) {
      SetPos(pos_ + 1);
      RunEvent("anAnim", ScriptSlot::Anim);
    } else {
      Active = false;
      RunEvent("anStop", ScriptSlot::Stop);
    }
  }
  TQXBackdrop::DoProcess();
}

void TQXAnim::DoUpdate() {
  TQXBackdrop::DoUpdate();
  BuildFrames();
}

void TQXAnim::DoInit() {
  BuildFrames();
  TQXBackdrop::DoInit();
}

void TQXAnim::DoInitPr() {
  BuildFrames();
  TQXBackdrop::DoInitPr();
}

void TQXAnim::LoadResources() {
  const bool wasLoaded = ResourcesLoaded;
  TQXBackdrop::LoadResources();
  if (!wasLoaded) BuildFrames();
}

void TQXAnim::ReloadResources() {
  TQXBackdrop::ReloadResources();
  BuildFrames();
}

bool TQXAnim::GetPropValue(const std::string& name, ScriptValue& value) {
  if (TQXBackdrop::GetPropValue(name, value)) return true;
  if (name == "COUNT") {
    value = ScriptValue::Int(FrameCount());
    return true;
  }
  const bool keyX = name.rfind("KEYX", 0) == 0, keyY = name.rfind("KEYY", 0) == 0;
  size_t item = 0;
  if ((keyX || keyY) && name.size() > 4) {
    // "KEYX[n]": the n-th item, counted from 1.
    if (name[4] != '[' || name.back() != ']') return false;
    const std::string_view number = std::string_view(name).substr(5, name.size() - 6);
    int64_t n = 0;
    if (!ParseWholeInt(number, n)) return false;
    value = ScriptValue::Int(0);
    const bool exists = pos_ >= 0 && pos_ < FrameCount();
    if (!exists || n < 1 || n > static_cast<int64_t>(frames_[static_cast<size_t>(pos_)].size())) return true;
    item = static_cast<size_t>(n - 1);
  } else if (!keyX && !keyY && name != "KEYANG" && name != "KEYAN") {
    return false;
  }
  value = ScriptValue::Int(0);
  if (pos_ < 0 || pos_ >= FrameCount() || frames_[static_cast<size_t>(pos_)].empty()) return true;
  const AnimItem& it = frames_[static_cast<size_t>(pos_)][item];
  if (keyX) value = ScriptValue::Float(GetAbsX() + it.x);
  else if (keyY) value = ScriptValue::Float(GetAbsY() + it.y);
  else if (name == "KEYANG") value = ScriptValue::Float(it.angle);
  else value = ScriptValue::Int(it.frame);
  return true;
}

bool TQXAnim::ReadField(PropField field, PropValue& v) {
  switch (field) {
    case PropField::Pos: v.i = pos_; return true;
    case PropField::Morph: v.i = Morph; return true;
    case PropField::Rep: v.i = Rep; return true;
    case PropField::ShowAn: v.i = ShowAn; return true;
    case PropField::Active: v.i = Active; return true;
    case PropField::Angle: v.d = Angle; return true;
    case PropField::Interpol: v.i = Interpol; return true;
    default: return TQXBackdrop::ReadField(field, v);
  }
}

bool TQXAnim::WriteField(PropField field, const PropValue& v) {
  switch (field) {
    case PropField::Pos: SetPos(static_cast<int32_t>(v.i)); return true;
    case PropField::Morph:
      Morph = v.i != 0;
      BuildFrames();
      return true;
    case PropField::Rep: Rep = v.i != 0; return true;
    case PropField::ShowAn: ShowAn = v.i != 0; return true;
    case PropField::Active: Active = v.i != 0; return true;
    case PropField::Angle: Angle = v.d; return true;
    case PropField::Interpol: Interpol = v.i != 0; return true;
    default: return TQXBackdrop::WriteField(field, v);
  }
}

}  // namespace qx
