// The special names: what a script can read (and a few it can write) on an element or the
// root besides its variables, published properties and children. Written once as a table
// for listings, the reference and the tests; the answering code is the GetPropValue and
// SetPropValue of the class named in each row.
#pragma once

#include <cstdint>
#include <span>

#include "script/ScriptValue.h"

namespace qx {

enum class SpecialAccess : uint8_t { Read, ReadWrite };

struct SpecialName {
  const char* name;       // as scripts spell it, upper case; "n" stands for a 1-based number
  const char* className;  // the class that answers it; "TQXElement" means every class
  SpecialAccess access;
  ValueKind kind;         // the kind of value read
  const char* sample;     // a concrete name for the "n" forms ("CHILD[1]"); else the name itself
};

// In the order the classes try them: the element model's names, then the kinds' own.
std::span<const SpecialName> SpecialNames();

}  // namespace qx
