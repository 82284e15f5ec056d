// What the scene layer asks of the element kinds: an element of a registered class. The kinds
// live above the scene (src/elements) and provide the factory (ElementKinds()); the root is
// given it when it is made, and every element creates its children through its root's.
#pragma once

namespace qx {

struct ClassInfo;
class TQXElement;

class ElementFactory {
 public:
  virtual ~ElementFactory() = default;
  // A new element of the class, appended to the children of `parent`, which owns it; null
  // for a class the factory does not make (the root's own class).
  virtual TQXElement* Create(const ClassInfo& cls, TQXElement& parent) const = 0;
};

}  // namespace qx
