// The ".qxf" game file: one element blob holding the class name, the property values in
// the class's index order, and the children's blobs. Reading never goes outside the data:
// damage is reported and everything read before it is kept.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "scene/QXElement.h"

namespace qx {

// Deepest element nesting the reader follows; deeper blobs are skipped (a sane game is a
// few levels deep, and reading recurses).
inline constexpr int kMaxElementDepth = 256;

// One element as the file stores it: its class, its property values in index order (as
// many as the file holds, at most the class's count) and its children.
struct ElementRecord {
  const ClassInfo* cls = nullptr;
  std::vector<PropValue> values;
  std::vector<ElementRecord> children;
};

struct GameFileReport {
  int elements = 0;  // elements read (the root included)
  int skipped = 0;   // child blobs skipped: unknown or disallowed class, too deep
  int damaged = 0;   // places where damage stopped the reading
  // Each damage is logged as it is found ("game: damaged game file: ..."); a reader that
  // tells the player itself turns that off and takes the first one's line from here.
  bool logDamage = true;
  std::string firstDamage;
};

// Parses a blob of the given class. Children of unknown or disallowed classes are skipped
// with their subtree. False when damage was found (the record holds what came before it).
bool ParseElementBlob(std::string_view blob, const ClassInfo& cls, ElementRecord& record,
                      GameFileReport* report = nullptr);

// Sets the record's values on the element in index order (setters act as each value is
// set), then creates and fills its children.
void InstantiateRecord(TQXElement& element, const ElementRecord& record);

// Reads a blob into an existing element and its subtree (the element's LoadFromData).
bool ReadElementData(TQXElement& element, std::string_view blob, GameFileReport* report = nullptr);

// Blobs: of a record (all the values it holds), and of a live element (every property of
// its class, in index order).
std::string WriteRecord(const ElementRecord& record);
ElementRecord RecordOf(TQXElement& element);
std::string WriteElementData(TQXElement& element);

}  // namespace qx
