// TQXExAnim: plays the frame table of a top-level animation, found by Key, at another place
// with its own position counter.
#pragma once

#include "elements/ColorWord.h"
#include "scene/QXElement.h"

namespace qx {

class TQXAnim;

class TQXExAnim : public TQXElement {
 public:
  explicit TQXExAnim(TQXElement* parent);
  const ClassInfo& Class() const override;

  int32_t obAnim() const { return obAnim_; }
  void SetobAnim(int32_t key) {
    obAnim_ = key;
    target_ = nullptr;
  }
  // The first top-level TQXAnim whose Key is obAnim (cached), or nullptr.
  TQXAnim* Target();

  int32_t Pos() const { return pos_; }
  void SetPos(int32_t v);

  int32_t GetSizeX() override;
  int32_t GetSizeY() override;
  int32_t GetAbsX() override;
  int32_t GetAbsY() override;
  // The target's frame Pos at the anchored origin, in this element's layer (its own
  // children are never drawn).
  void Render(int32_t layer, uint32_t color, double offsetX, double offsetY, bool flag) override;
  // Counts on while Active (no events; Active stays set at the end).
  void DoProcess() override;

  TQXPosHor PosHor = phLeft;
  TQXPosVert PosVert = pvTop;
  bool Rep = false;
  bool Active = false;

 protected:
  bool ReadField(PropField field, PropValue& value) override;
  bool WriteField(PropField field, const PropValue& value) override;

 private:
  int32_t obAnim_ = 0;
  int32_t pos_ = 0;
  TQXAnim* target_ = nullptr;
};

}  // namespace qx
