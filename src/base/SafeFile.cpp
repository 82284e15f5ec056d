#include "base/SafeFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <random>
#include <string_view>

namespace qx {
namespace {


bool WriteAll(int fd, const char* p, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Temporary names beside `path`: the name, ".tmp" and six characters.
constexpr size_t kTempSuffix = 6;

std::string TempName(const std::string& path) {
  static constexpr char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  // Drawn afresh each time: processes forked from one another never share a sequence.
  std::random_device random;
  std::string name = path + ".tmp";
  for (size_t i = 0; i < kTempSuffix; ++i) name += kChars[random() % (sizeof kChars - 1)];
  return name;
}

// Temporary files a writer that died before its rename left beside `path`, untouched for ten
// minutes: nobody writes them any more, and each could be as large as the file.
void RemoveAbandonedTemps(const std::string& path) {
  const std::string folder = FolderOf(path);
  const size_t slash = path.find_last_of('/');
  const std::string prefix = (slash == std::string::npos ? path : path.substr(slash + 1)) + ".tmp";
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  const time_t stale = ::time(nullptr) - 600;
  while (const dirent* e = ::readdir(dir)) {
    const std::string_view name = e->d_name;
    if (name.size() != prefix.size() + kTempSuffix || name.compare(0, prefix.size(), prefix) != 0) continue;
    struct stat st {};
    if (::fstatat(::dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
        st.st_mtime < stale) {
      ::unlinkat(::dirfd(dir), e->d_name, 0);
    }
  }
  ::closedir(dir);
}

// The data in a file of the folder that has no name until an instant before it replaces
// `path`: a writer killed while writing leaves nothing behind. False with `unsupported` when
// the file system cannot make such files (the caller then uses a named temporary file).
bool WriteUnnamed(const std::string& path, const void* data, size_t size, std::string& temp, std::string& error,
                  bool& unsupported) {
  const int fd = ::open(FolderOf(path).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644);
  if (fd < 0) {
    unsupported = true;
    return false;
  }
  bool ok = WriteAll(fd, static_cast<const char*>(data), size) && ::fchmod(fd, 0644) == 0 && ::fsync(fd) == 0;
  int savedErrno = errno;
  if (ok) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    ok = false;
    for (int attempt = 0; attempt < 8 && !ok; ++attempt) {
      temp = TempName(path);
      ok = ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW) == 0;
      if (!ok && errno != EEXIST) break;
    }
    // No /proc, or links not allowed here: the named way still works.
    if (!ok) unsupported = errno != EEXIST;
    savedErrno = errno;
  }
  ::close(fd);
  if (!ok && !unsupported) error = "cannot write " + path + ": " + std::strerror(savedErrno);
  return ok;
}

// The data in a named temporary file beside `path`.
bool WriteNamed(const std::string& path, const void* data, size_t size, std::string& temp, std::string& error) {
  temp = path + ".tmpXXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) {
    error = "cannot create a temporary file beside " + path + ": " + std::strerror(errno);
    return false;
  }
  const bool ok = WriteAll(fd, static_cast<const char*>(data), size) && ::fchmod(fd, 0644) == 0 && ::fsync(fd) == 0;
  const int savedErrno = errno;
  ::close(fd);
  if (!ok) {
    ::unlink(temp.c_str());
    error = "cannot write " + path + ": " + std::strerror(savedErrno);
  }
  return ok;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, const void* data, size_t size, std::string& error) {
  RemoveAbandonedTemps(path);
  std::string temp;
  bool unsupported = false;
  if (!WriteUnnamed(path, data, size, temp, error, unsupported)) {
    if (!unsupported || !WriteNamed(path, data, size, temp, error)) return false;
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    error = "cannot replace " + path + ": " + std::strerror(errno);
    ::unlink(temp.c_str());
    return false;
  }
  const int dir = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

bool ReadWholeFile(const std::string& path, std::string& data, std::string& error, size_t maxBytes) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  data.clear();
  char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
    if (data.size() + n > maxBytes) {
      std::fclose(f);
      error = path + " is larger than " + std::to_string(maxBytes) + " bytes";
      return false;
    }
    data.append(buffer, n);
  }
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) {
    error = "cannot read " + path;
    return false;
  }
  return true;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace qx
