#include "elements/BackPicture.h"

#include "resources/GfxImage.h"

namespace qx {

void TBackPicture::Set(const TQXElement& holder, const std::string& name, int32_t& sizeX, int32_t& sizeY) {
  entry_ = name.empty() ? nullptr : holder.RequestImage(name, false);
  if (const TGfxImage* picture = Image()) {
    sizeX = picture->VisibleWidth();
    sizeY = picture->VisibleHeight();
  }
}

}  // namespace qx
