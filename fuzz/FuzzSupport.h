// Small helpers shared by the fuzz targets: the input as text, a scratch game folder that
// lives as long as the process, and a check that stops the run like a sanitizer would.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace qx::fuzz {

inline std::string_view AsText(const uint8_t* data, size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// An empty folder under $TMPDIR made on first use and removed at exit. Targets whose
// readers take a file write their input there.
const std::string& ScratchFolder();

// Replaces the file `name` of the scratch folder with `data`; its disk path.
std::string WriteScratchFile(const std::string& name, std::string_view data);

// A property the reader promises (a round trip, an invariant) that does not hold: reported
// on stderr and aborted, so libFuzzer keeps the input as a crash.
[[noreturn]] inline void Broken(const char* what) {
  std::fprintf(stderr, "fuzz: broken promise: %s\n", what);
  std::abort();
}
#define QX_FUZZ_CHECK(cond) \
  do {                      \
    if (!(cond)) ::qx::fuzz::Broken(#cond); \
  } while (false)

}  // namespace qx::fuzz
