// TQXExScreen: shows another top-level screen, found by its Key, inside the current one.
#pragma once

#include "elements/ColorWord.h"
#include "scene/QXElement.h"

namespace qx {

class TQXScreen;

class TQXExScreen : public TQXElement {
 public:
  explicit TQXExScreen(TQXElement* parent);
  const ClassInfo& Class() const override;

  int32_t obScreen() const { return obScreen_; }
  // Writing it drops the cached target; the next use looks it up again.
  void SetobScreen(int32_t key) {
    obScreen_ = key;
    target_ = nullptr;
  }
  // The first top-level TQXScreen whose Key is obScreen (cached), or nullptr.
  TQXScreen* Target();

  TQXPosHor PosHor = phLeft;
  TQXPosVert PosVert = pvTop;
  bool Modal = false;
  bool Processing = true;

 protected:
  bool ReadField(PropField field, PropValue& value) override;
  bool WriteField(PropField field, const PropValue& value) override;

 private:
  int32_t obScreen_ = 0;
  TQXScreen* target_ = nullptr;
};

}  // namespace qx
