// TGfxImages: the image list. Owns every TGfxImage, follows the device: releases everything
// when the device finalises and carries images through device loss and reset.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "render/GfxPublisher.h"
#include "resources/GfxImage.h"

namespace qx {

class TGfxImages : public TGfxSubscriber {
 public:
  // Images create their textures on `platform`; attach the list to the device that owns it
  // with SetPublisher(&device).
  explicit TGfxImages(GfxPlatform& platform);
  ~TGfxImages() override;

  // Stored as the name is spelt by the original component.
  bool MipMappping() const { return mipMapping_; }
  void SetMipMappping(bool on) { mipMapping_ = on; }

  // A new image with the list's mip-mapping setting, appended.
  TGfxImage* Add();
  int Count() const { return static_cast<int>(images_.size()); }
  TGfxImage* Image(int index) const;
  int IndexOf(const TGfxImage* image) const;
  // Frees the image and closes the gap; an index out of range does nothing.
  void Remove(int index);
  void Remove(TGfxImage* image) { Remove(IndexOf(image)); }
  void Clear();

  // Called with each image just before the list frees it (Remove, Clear, device finalise),
  // so holders of image pointers (the media cache) can forget them. Not called when the
  // list itself is destroyed.
  std::function<void(TGfxImage*)> OnImageFreed;

 protected:
  bool Notify(TGfxPublisher* sender, int code) override;

 private:
  GfxPlatform& platform_;
  bool mipMapping_ = false;
  std::vector<std::unique_ptr<TGfxImage>> images_;
};

}  // namespace qx
