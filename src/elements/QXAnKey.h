// TQXAnKey: one key frame of an animation; its children are the pictures placed at that key.
#pragma once

#include "scene/QXElement.h"

namespace qx {

class TQXAnKey : public TQXElement {
 public:
  explicit TQXAnKey(TQXElement* parent);
  const ClassInfo& Class() const override;

  // A key reports its animation's size.
  int32_t GetSizeX() override;
  int32_t GetSizeY() override;
  // After its data is read the key asks its animation to rebuild the frames.
  void LoadFromRecord(const ElementRecord& record) override;

  uint16_t Count() const { return count_; }
  // The key lasts Count + 1 frames; writing it rebuilds the animation's frames.
  void SetCount(uint16_t v);
  bool Morph = false;

 protected:
  bool ReadField(PropField field, PropValue& value) override;
  bool WriteField(PropField field, const PropValue& value) override;

 private:
  void RebuildAnimation();
  uint16_t count_ = 0;
};

}  // namespace qx
