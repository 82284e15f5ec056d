// Small shared arithmetic of the element kinds: rounding positions and sizes to whole
// pixels, and where an anchor puts a picture or box.
#pragma once

#include <cstdint>

#include "base/Rounding.h"
#include "base/WrapInt.h"
#include "scene/QXDB.h"
#include "scene/QXElement.h"

namespace qx {

// Where an anchor (left/top 0, centre 1, right/bottom 2) puts the start of something of
// `size` whose anchor point is at `position`; halving truncates toward zero.
inline int32_t AnchorStart(int32_t position, int32_t size, int anchor) {
  return anchor == 1 ? WrapSub(position, size / 2) : anchor == 2 ? WrapSub(position, size) : position;
}

// The absolute start of something of `size` anchored at the element's X (or Y) in its parent.
inline int32_t AnchoredAbsX(TQXElement& e, int32_t size, int anchor) {
  return AnchorStart(e.X(), size, anchor) + (e.Parent() ? e.Parent()->GetAbsX() : 0);
}
inline int32_t AnchoredAbsY(TQXElement& e, int32_t size, int anchor) {
  return AnchorStart(e.Y(), size, anchor) + (e.Parent() ? e.Parent()->GetAbsY() : 0);
}

// The element an embedded screen or animation shows: the first top-level element of the
// root whose Key is `key` and whose class is exactly `cls` (not one derived from it), kept in
// `cache` until the holder clears it.
template <class T>
T* EmbeddedTarget(const TQXElement& holder, T*& cache, int32_t key, ClassId cls) {
  if (!cache && holder.Root()) cache = static_cast<T*>(holder.Root()->FindTopLevel(key, cls));
  return cache;
}

// Where an embedded target's top-left lands in the holder's parent: its anchor point is at
// the holder's X, Y.
struct TAnchoredOrigin {
  int32_t left, top;
};
inline TAnchoredOrigin AnchoredOrigin(const TQXElement& holder, TQXElement& target, int hor, int vert) {
  return {AnchorStart(holder.X(), target.GetSizeX(), hor), AnchorStart(holder.Y(), target.GetSizeY(), vert)};
}

// The box hit test of shapes and texts: in the pass of the element's layer, when it takes
// the mouse, a point inside X..X+width, Y..Y+height (both ends inclusive) hits it; children
// are never asked.
inline TQXElement* BoxHit(TQXElement& e, int32_t layer, int32_t x, int32_t y, int32_t width, int32_t height) {
  if (!e.TakesMouse() || layer != e.Order()) return nullptr;
  const int64_t left = e.X(), top = e.Y();
  return x >= left && x <= left + width && y >= top && y <= top + height ? &e : nullptr;
}

}  // namespace qx
