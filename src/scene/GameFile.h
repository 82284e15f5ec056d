// The ".qxf" game file: one element blob holding the class name, the property values in
// the class's index order, and the children's blobs. Reading never goes outside the data:
// damage is reported and everything read before it is kept.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qx {

class TQXElement;

// Deepest element nesting the reader follows; deeper blobs are skipped (a sane game is a
// few levels deep, and the reader recurses).
inline constexpr int kMaxElementDepth = 256;

struct GameFileReport {
  int elements = 0;  // elements created (the root included)
  int skipped = 0;   // child blobs skipped: unknown or disallowed class, too deep
  int damaged = 0;   // places where damage stopped the reading
};

// Reads `blob` into `element` (which already exists with its class decided) and its
// subtree. False when damage was found.
bool ReadElementData(TQXElement& element, std::string_view blob, GameFileReport* report = nullptr);

// The element and its subtree as a blob: every property of the class, in index order.
std::string WriteElementData(TQXElement& element);

}  // namespace qx
