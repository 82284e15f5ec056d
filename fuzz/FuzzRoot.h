// A game root as the targets make it: the element kinds, and a picture cache of its own that
// only counts requests (nothing loads). Made afresh for every input, so that no input's run
// depends on the pictures the ones before it asked for.
#pragma once

#include "elements/ElementKinds.h"
#include "runtime/MediaCache.h"
#include "runtime/Services.h"
#include "scene/QXDB.h"

namespace qx::fuzz {

class FuzzRoot {
 public:
  FuzzRoot() : root_(ElementKinds(), Services{.media = &media_}) {}
  TQXDB& operator*() { return root_; }
  TQXDB* operator->() { return &root_; }

 private:
  MediaCache media_;
  TQXDB root_;
};

}  // namespace qx::fuzz
