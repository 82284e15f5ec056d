#include "shell/ShellMedia.h"

#include <string>

#include "render/GfxCanvas.h"
#include "resources/GfxFont.h"
#include "resources/GfxImage.h"
#include "runtime/MediaCache.h"
#include "runtime/SoundCache.h"

namespace qx {

bool CacheShellMedia::RequestLogo(int index) {
  const std::string number = std::to_string(index);
  logo_ = media_.GetImage("logos\\logo" + number + ".jpg", false, false);
  const bool shown = logo_->Image != nullptr;
  // The sound is asked for even when its logo is missing; only a shown logo's missing sound
  // is worth a --verbose line.
  sounds_.PlaySound("logo" + number + ".mp3", 100, shown);
  return shown;
}

void CacheShellMedia::DrawLogo(uint8_t alpha) {
  TGfxImage* image = logo_ ? logo_->Image : nullptr;
  if (!image) return;
  // The whole back buffer in the logo's top-left colour, then the logo centred by its
  // texture cell (so a full-screen logo lands at (-1, -1)).
  TFramePlace place;
  uint32_t corner = 0xFF000000u;
  if (image->FramePlace(0, place)) corner = image->GetPixel(place.left, place.top, place.texture);
  canvas_.FillRect(0, 0, 1024, 768, ToRuntimeColor(corner), kFxOpaque);
  const int x = (1024 - image->TextureWidth()) / 2;
  const int y = (768 - image->TextureHeight()) / 2;
  canvas_.DrawImage(image, (uint32_t{alpha} << 24) | 0xFFFFFFu, kFxBlend, 0, x, y);
}

void CacheShellMedia::SoundTick() { sounds_.SoundTick(); }

void CacheShellMedia::RebuildDeviceResources() {
  media_.RebuildImages();
  fonts_.Reload(archive_);
}

}  // namespace qx
