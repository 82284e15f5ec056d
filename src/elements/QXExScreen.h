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

  // The target's size; the anchored top-left as for images.
  int32_t GetSizeX() override;
  int32_t GetSizeY() override;
  int32_t GetAbsX() override;
  int32_t GetAbsY() override;
  // Showing an embedded screen shows its target (once) and then itself.
  void SetVis(bool v) override;
  TQXElement* HitTest(int32_t layer, int32_t x, int32_t y, int32_t margin, uint8_t alphaThreshold) override;
  void Render(int32_t layer, uint32_t color, double offsetX, double offsetY, bool flag) override;
  // The target's operation first, then this element's own.
  void DoProcess() override;
  void DoShow() override;
  void DoUpdate() override;
  void DoInit() override;
  void DoInitPr() override;
  void LoadResources() override;
  void ReloadResources() override;

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
