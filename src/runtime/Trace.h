// --trace: one line per element event whose script runs and one per screen change, for
// tests and bug reports. Lines: "TICK EVENT ID CLASS KEY" and "TICK Screen ID CLASS KEY".
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace qx {

class Trace {
 public:
  Trace() = default;
  ~Trace();
  Trace(const Trace&) = delete;
  Trace& operator=(const Trace&) = delete;

  bool Open(const std::string& path);
  bool IsOpen() const { return file_ != nullptr; }
  // Ids are game text (code page 1251); they are written as UTF-8, "-" when empty.
  void Line(int64_t tick, std::string_view what, std::string_view id, std::string_view className,
            int32_t key);

 private:
  std::FILE* file_ = nullptr;
};

}  // namespace qx
