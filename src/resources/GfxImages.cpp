#include "resources/GfxImages.h"

namespace qx {

TGfxImages::TGfxImages(GfxPlatform& platform) : platform_(platform) {}

TGfxImages::~TGfxImages() {
  // The holders of image pointers may already be gone: no callbacks while the list dies.
  OnImageFreed = nullptr;
  Clear();
}

TGfxImage* TGfxImages::Add() {
  auto image = std::make_unique<TGfxImage>(&platform_);
  image->SetMipMapping(mipMapping_);
  images_.push_back(std::move(image));
  return images_.back().get();
}

TGfxImage* TGfxImages::Image(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return images_[static_cast<size_t>(index)].get();
}

int TGfxImages::IndexOf(const TGfxImage* image) const {
  for (size_t i = 0; i < images_.size(); ++i) {
    if (images_[i].get() == image) return static_cast<int>(i);
  }
  return -1;
}

void TGfxImages::Remove(int index) {
  if (index < 0 || index >= Count()) return;
  if (OnImageFreed) OnImageFreed(images_[static_cast<size_t>(index)].get());
  images_.erase(images_.begin() + index);
}

void TGfxImages::Clear() {
  // From the end, so that a callback looking at the list sees it consistent.
  while (!images_.empty()) Remove(Count() - 1);
}

bool TGfxImages::Notify(TGfxPublisher*, int code) {
  switch (code) {
    case kGfxFinalizing:
      Clear();
      break;
    case kGfxLost:
      for (auto& image : images_) image->DeviceLost();
      break;
    case kGfxReset:
      for (auto& image : images_) image->DeviceReset();
      break;
    default:
      break;
  }
  return true;
}

}  // namespace qx
