// TQXAnim: a key-frame animation. Its children are the keys (TQXAnKey); at run time the keys
// expand into a frame table played one frame per process tick.
#pragma once

#include "scene/QXElement.h"

namespace qx {

class TQXAnim : public TQXElement {
 public:
  explicit TQXAnim(TQXElement* parent);
  const ClassInfo& Class() const override;

  void SetSizeX(int32_t v) override { sizeX_ = v; }
  void SetSizeY(int32_t v) override { sizeY_ = v; }
  int32_t GetSizeX() override { return sizeX_; }
  int32_t GetSizeY() override { return sizeY_; }
  // An animation is never hit itself.
  TQXElement* HitTest(int32_t, int32_t, int32_t, int32_t, uint8_t) override { return nullptr; }

  const std::string& ImBack() const { return imBack_; }
  void SetImBack(const std::string& name) { imBack_ = name; }

  int32_t Pos() const { return pos_; }
  // Past the last frame: frame 0 with Rep, else the last frame. Values below 0 are kept.
  void SetPos(int32_t v);
  int32_t FrameCount() const { return frameCount_; }
  // Rebuilds the frame table from the keys (nothing while the game file loads). The frame
  // building itself arrives with animation playback; until then the table stays empty.
  void BuildFrames();

  uint32_t hxDrawFx = 1;
  int32_t Agro = 0;
  bool Modal = false;
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
  std::string imBack_;
  int32_t sizeX_ = 0, sizeY_ = 0;
  int32_t pos_ = 0;
  int32_t frameCount_ = 0;
};

}  // namespace qx
