// Screenshots compared with committed reference pictures, within the tolerance that different
// GL drivers need (they may round edges and blends a little differently; a wrong picture moves
// far more). Set QX_UPDATE_GOLDEN=1 to rewrite the references after an intended change (and
// look at them).
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "resources/ImageDecoders.h"

namespace qx::test {

struct Difference {
  double meanChannel = 0;  // mean absolute difference per colour channel
  double farShare = 0;     // share of pixels with a channel off by more than 24
};

inline Difference Compare(const qx::TBitmap& a, const qx::TBitmap& b) {
  Difference d;
  double sum = 0;
  size_t far = 0;
  for (size_t i = 0; i < a.pixels.size(); ++i) {
    int worst = 0;
    for (int shift = 0; shift < 24; shift += 8) {
      const int delta = std::abs(static_cast<int>((a.pixels[i] >> shift) & 0xFF) -
                                 static_cast<int>((b.pixels[i] >> shift) & 0xFF));
      sum += delta;
      worst = std::max(worst, delta);
    }
    if (worst > 24) ++far;
  }
  d.meanChannel = sum / (3.0 * static_cast<double>(a.pixels.size()));
  d.farShare = static_cast<double>(far) / static_cast<double>(a.pixels.size());
  return d;
}

// The screenshot `shot` matches the picture `reference` (copied over it first when
// QX_UPDATE_GOLDEN is set).
inline void ExpectMatchesReference(const std::filesystem::path& shot, const std::filesystem::path& reference) {
  if (std::getenv("QX_UPDATE_GOLDEN") != nullptr) {
    std::filesystem::copy_file(shot, reference, std::filesystem::copy_options::overwrite_existing);
  }
  qx::TBitmap got, want;
  std::string error;
  ASSERT_TRUE(qx::LoadPictureFile(shot.string(), got, error)) << error;
  ASSERT_TRUE(qx::LoadPictureFile(reference.string(), want, error)) << reference << ": " << error;
  ASSERT_EQ(got.width, want.width);
  ASSERT_EQ(got.height, want.height);
  const Difference d = Compare(got, want);
  EXPECT_LT(d.meanChannel, 1.5) << shot << " against " << reference;
  EXPECT_LT(d.farShare, 0.005) << shot << " against " << reference;
}

}  // namespace qx::test
