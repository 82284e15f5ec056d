// The background picture of screens and animations (ImBack): a media-cache entry whose
// name is the property's value. Setting it requests the picture, and once the picture is
// loaded the holder takes its visible size as its own.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/MediaCache.h"
#include "scene/QXElement.h"

namespace qx {

class TGfxImage;

class TBackPicture {
 public:
  // The cache entry's (upper-case) name, or "" without an entry.
  std::string Name() const { return entry_ ? entry_->Name : std::string(); }
  // Requests the picture through the holder's root (none for an empty name); a loaded
  // picture's visible size goes to sizeX and sizeY.
  void Set(const TQXElement& holder, const std::string& name, int32_t& sizeX, int32_t& sizeY);
  // The drawable picture, when it is loaded.
  TGfxImage* Image() const { return entry_ ? entry_->Image : nullptr; }

 private:
  TQXIm* entry_ = nullptr;
};

}  // namespace qx
