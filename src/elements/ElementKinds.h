// The element kinds' factory: every registered class but the root's, made by name for the
// scene layer (which knows the classes only through the registry), and the defaults each
// kind's constructor gives its properties.
#pragma once

#include <vector>

#include "scene/ElementFactory.h"
#include "scene/GameFile.h"

namespace qx {

// The factory a game's root is made with.
const ElementFactory& ElementKinds();

// The constructor values of a class's properties, read from a fresh element.
const std::vector<PropValue>& DefaultValues(const ClassInfo& cls);

// A record of the class with every property at its default and no children.
ElementRecord DefaultRecord(const ClassInfo& cls);

}  // namespace qx
