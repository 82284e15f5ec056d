// TQXAnim: a key-frame animation. Its children are the keys (TQXAnKey); at run time the keys
// expand into a frame table played one frame per process tick.
#pragma once

#include <vector>

#include "elements/Backdrop.h"

namespace qx {

class TGfxImage;
struct TQXIm;

// One picture of one animation frame, ready to draw. The picture is held through its
// media-cache entry, so a texture released after a screen change is simply skipped.
struct AnimItem {
  TQXIm* picture = nullptr;
  int32_t frame = 0;
  double x = 0, y = 0;  // the picture's centre, relative to the animation's absolute position
  double scale = 1, angle = 0, scaleX = 1, scaleY = 1;
  uint32_t color = 0xFFFFFFFFu;
  uint32_t code = 1284;
};

class TQXAnim : public TQXBackdrop {
 public:
  explicit TQXAnim(TQXElement* parent);
  const ClassInfo& Class() const override;

  // An animation is never hit itself.
  TQXElement* HitTest(int32_t, int32_t, int32_t, int32_t, uint8_t) override { return nullptr; }
  void Render(int32_t layer, uint32_t color, double offsetX, double offsetY, bool flag) override;
  // One frame a tick while Active and visible, raising "anAnim", then "anStop" at the end.
  void DoProcess() override;
  void DoUpdate() override;
  void DoInit() override;
  void DoInitPr() override;
  void LoadResources() override;
  void ReloadResources() override;
  // Adds "KEYX", "KEYY", "KEYANG", "KEYAN", "KEYX[n]", "KEYY[n]" (the current frame's items)
  // and "COUNT" (the frame count).
  bool GetPropValue(const std::string& name, ScriptValue& value) override;

  int32_t Pos() const { return pos_; }
  // Past the last frame: frame 0 with Rep, else the last frame. Values below 0 are kept.
  void SetPos(int32_t v);
  int32_t FrameCount() const { return static_cast<int32_t>(frames_.size()); }
  const std::vector<AnimItem>& Frame(int32_t p) const { return frames_[static_cast<size_t>(p)]; }
  // Rebuilds the frame table from the keys (nothing while a game file or state loads).
  void BuildFrames();
  // Draws frame `p` (if it exists) with its background at the origin (ox, oy).
  void DrawFrame(int32_t p, double ox, double oy, uint32_t color);

  bool Morph = false;
  bool Rep = false;
  bool ShowAn = false;
  bool Active = false;
  double Angle = 0;
  bool Interpol = false;

 protected:
  bool ReadField(PropField field, PropValue& value) override;
  bool WriteField(PropField field, const PropValue& value) override;

 private:
  int32_t pos_ = 0;
  std::vector<std::vector<AnimItem>> frames_;
};

}  // namespace qx
