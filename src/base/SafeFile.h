// Crash-safe file writing: a temporary file in the same folder, fsync, rename, fsync of the
// folder. A kill or a full disk never leaves a half-written file under the real name. The
// temporary file has no name while it is written (where the file system allows), so a
// writer killed meanwhile leaves nothing; temporary files left by writers that died (named
// NAME.tmp and six characters, untouched for ten minutes) are removed by the next write.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace qx {

// The folder part of a path: "." for a bare name, "/" for a file at the top.
std::string FolderOf(const std::string& path);

bool WriteFileAtomically(const std::string& path, const void* data, size_t size, std::string& error);

// Reads a whole file; false (with a reason) when it cannot be read or exceeds `maxBytes`.
bool ReadWholeFile(const std::string& path, std::string& data, std::string& error,
                   size_t maxBytes = size_t{1} << 31);

}  // namespace qx
