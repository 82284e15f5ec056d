// The scratch folder of the fuzz targets.
#include "FuzzSupport.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace qx::fuzz {

namespace {

// Removes the folder with everything in it when the process ends.
struct Scratch {
  std::string path;
  ~Scratch() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
};

std::string MakeScratch() {
  // In memory where the machine has /dev/shm: targets write a file every execution.
  std::error_code ec;
  const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", ec) && access("/dev/shm", W_OK) == 0
                                         ? std::filesystem::path("/dev/shm")
                                         : std::filesystem::temp_directory_path();
  std::string pattern = (base / "qxfuzzXXXXXX").string();
  if (!mkdtemp(pattern.data())) Broken("cannot make a scratch folder");
  return pattern;
}

}  // namespace

const std::string& ScratchFolder() {
  static const Scratch scratch{MakeScratch()};
  return scratch.path;
}

std::string WriteScratchFile(const std::string& name, std::string_view data) {
  const std::string path = ScratchFolder() + "/" + name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(data.data(), static_cast<std::streamsize>(data.size()));
  if (!out) Broken("cannot write a scratch file");
  return path;
}

}  // namespace qx::fuzz
