#include "runtime/Trace.h"

#include "base/CodePage.h"

namespace qx {

Trace::~Trace() {
  if (file_) std::fclose(file_);
}

bool Trace::Open(const std::string& path) {
  if (file_) std::fclose(file_);
  file_ = std::fopen(path.c_str(), "w");
  return file_ != nullptr;
}

void Trace::Line(int64_t tick, std::string_view what, std::string_view id,
                 std::string_view className, int32_t key) {
  if (!file_) return;
  std::string line = std::to_string(tick);
  line.append(" ").append(what).append(" ");
  line.append(id.empty() ? std::string("-") : Cp1251ToUtf8(id));
  line.append(" ").append(className).append(" ").append(std::to_string(key)).push_back('\n');
  std::fwrite(line.data(), 1, line.size(), file_);
  std::fflush(file_);
}

}  // namespace qx
