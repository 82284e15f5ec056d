#include "resources/FrameLayout.h"

#include <algorithm>
#include <charconv>

namespace qx {
namespace {

int ParseLine(std::string_view line) {
  while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
  while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r')) line.remove_suffix(1);
  int value = 0;
  const auto [end, ec] = std::from_chars(line.data(), line.data() + line.size(), value);
  if (ec != std::errc() || end != line.data() + line.size() || value <= 0) return 1;
  return value;
}

}  // namespace

std::string FrameLayoutFileName(std::string_view pictureName) {
  const size_t keep = pictureName.size() > 4 ? pictureName.size() - 4 : pictureName.size();
  return std::string(pictureName.substr(0, keep)) + ".an";
}

TFrameGrid ParseFrameLayout(std::string_view text) {
  TFrameGrid grid;
  const size_t firstEnd = text.find('\n');
  grid.columns = ParseLine(text.substr(0, firstEnd));
  if (firstEnd != std::string_view::npos) {
    std::string_view rest = text.substr(firstEnd + 1);
    grid.rows = ParseLine(rest.substr(0, rest.find('\n')));
  }
  return grid;
}

TFrameGrid ClampFrameGrid(TFrameGrid grid, int width, int height) {
  grid.columns = std::clamp(grid.columns, 1, std::max(width, 1));
  grid.rows = std::clamp(grid.rows, 1, std::max(height, 1));
  return grid;
}

}  // namespace qx
