// Screenshots compared with committed reference pictures, within the tolerance that different
// GL drivers need (they may round edges and blends a little differently; a wrong picture moves
// far more). Set QX_UPDATE_GOLDEN=1 to rewrite the references after an intended change (and
// look at them).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "resources/ImageDecoders.h"

namespace qx::test {

// A part of the picture left out of a comparison (something that moves by itself, such as
// a fire): x0 <= x < x1, y0 <= y < y1.
struct Box {
  int x0, y0, x1, y1;
};

struct Difference {
  double meanChannel = 0;  // mean absolute difference per colour channel
  double farShare = 0;     // share of pixels with a channel off by more than 24
};

inline Difference Compare(const qx::TBitmap& a, const qx::TBitmap& b, const std::vector<Box>& skip = {}) {
  Difference d;
  double sum = 0;
  size_t far = 0, counted = 0;
  for (int y = 0; y < a.height; ++y) {
    for (int x = 0; x < a.width; ++x) {
      if (std::any_of(skip.begin(), skip.end(),
                      [&](const Box& s) { return x >= s.x0 && x < s.x1 && y >= s.y0 && y < s.y1; })) {
        continue;
      }
      const size_t i = static_cast<size_t>(y) * static_cast<size_t>(a.width) + static_cast<size_t>(x);
      int worst = 0;
      for (int shift = 0; shift < 24; shift += 8) {
        const int delta = std::abs(static_cast<int>((a.pixels[i] >> shift) & 0xFF) -
                                   static_cast<int>((b.pixels[i] >> shift) & 0xFF));
        sum += delta;
        worst = std::max(worst, delta);
      }
      if (worst > 24) ++far;
      ++counted;
    }
  }
  d.meanChannel = sum / (3.0 * static_cast<double>(std::max<size_t>(1, counted)));
  d.farShare = static_cast<double>(far) / static_cast<double>(std::max<size_t>(1, counted));
  return d;
}

inline void ExpectAlike(const qx::TBitmap& shot, const qx::TBitmap& reference, const std::vector<Box>& skip = {}) {
  ASSERT_EQ(shot.width, reference.width);
  ASSERT_EQ(shot.height, reference.height);
  const Difference d = Compare(shot, reference, skip);
  EXPECT_LT(d.meanChannel, 1.5);
  EXPECT_LT(d.farShare, 0.005);
}

inline qx::TBitmap LoadShot(const std::filesystem::path& path) {
  qx::TBitmap picture;
  std::string error;
  EXPECT_TRUE(qx::LoadPictureFile(path.string(), picture, error)) << path << ": " << error;
  return picture;
}

// The screenshot `shot` matches the picture `reference` (copied over it first when
// QX_UPDATE_GOLDEN is set).
inline void ExpectMatchesReference(const std::filesystem::path& shot, const std::filesystem::path& reference,
                                   const std::vector<Box>& skip = {}) {
  SCOPED_TRACE(shot.string() + " against " + reference.string());
  if (std::getenv("QX_UPDATE_GOLDEN") != nullptr) {
    std::filesystem::create_directories(reference.parent_path());
    std::filesystem::copy_file(shot, reference, std::filesystem::copy_options::overwrite_existing);
  }
  ExpectAlike(LoadShot(shot), LoadShot(reference), skip);
}

}  // namespace qx::test
