// What the checks know of the built-in functions' calls: the argument counts a run refuses.
// Built-ins that ignore a count that does not fit (most engine built-ins and every level
// native) are not listed.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace qx {

// The counts a built-in accepts: at least `min`, at most `max` (-1: no limit). Any other count
// fails the call with "Invalid parameters, function NAME".
struct ArgumentCount {
  const char* name;  // upper case
  int min;
  int max;
};

const std::vector<ArgumentCount>& BuiltinArgumentCounts();

// The built-ins whose calls succeed, or are ignored, whatever number of arguments they get.
const std::vector<std::string_view>& BuiltinsTakingAnyCount();

// Whether a run of the built-in `upperName` fails on `count` arguments alone.
bool BuiltinRefusesCount(std::string_view upperName, size_t count);

}  // namespace qx
