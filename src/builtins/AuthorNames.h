// Every name a game author can use, derived from the code's own registries: the element
// classes and their published properties, the standard and engine built-ins, the level
// natives and the special names. `qxtool names` prints it; the reference's completeness
// test checks docs/ against it.
#pragma once

#include <string>
#include <vector>

namespace qx {

struct AuthorName {
  std::string kind;  // "class", "engine", "level", "property", "special", "standard"
  std::string name;  // "TQXImage", "SetScreen", "TQXImage.imImage", "CHILD[n]" ...
};

// Sorted by kind, then in registration order within a kind.
std::vector<AuthorName> AuthorNames();

}  // namespace qx
