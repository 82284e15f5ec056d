// The frame layout of a picture as its companion ".an" text file gives it.
#pragma once

#include <string>
#include <string_view>

namespace qx {

struct TFrameGrid {
  int columns = 1;
  int rows = 1;
};

// The companion name: `pictureName` with its last four characters replaced by ".an"
// ("door.jpg" -> "door.an"; names of four characters or fewer get ".an" appended).
std::string FrameLayoutFileName(std::string_view pictureName);

// Columns on the first line, rows on the second, decimal; a missing, unreadable, zero or
// negative number gives 1.
TFrameGrid ParseFrameLayout(std::string_view text);

// At most one column per pixel of width and one row per pixel of height, so every frame
// has at least one pixel.
TFrameGrid ClampFrameGrid(TFrameGrid grid, int width, int height);

}  // namespace qx
