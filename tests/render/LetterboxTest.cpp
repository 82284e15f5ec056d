#include "render/Letterbox.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

TEST(Letterbox, SameSizeFillsTheWindow) {
  const LetterboxRect r = ComputeLetterbox(1024, 768, 1024, 768);
  EXPECT_EQ(r.x, 0);
  EXPECT_EQ(r.y, 0);
  EXPECT_EQ(r.width, 1024);
  EXPECT_EQ(r.height, 768);
}

TEST(Letterbox, WideScreenGetsBarsLeftAndRight) {
  const LetterboxRect r = ComputeLetterbox(1920, 1080, 1024, 768);
  EXPECT_EQ(r.height, 1080);
  EXPECT_EQ(r.width, 1440);
  EXPECT_EQ(r.x, 240);
  EXPECT_EQ(r.y, 0);
}

TEST(Letterbox, TallWindowGetsBarsAboveAndBelow) {
  const LetterboxRect r = ComputeLetterbox(1024, 1000, 1024, 768);
  EXPECT_EQ(r.width, 1024);
  EXPECT_EQ(r.height, 768);
  EXPECT_EQ(r.y, 116);
}

TEST(Letterbox, MouseMapsBackIntoBackBufferPixelsClamped) {
  const LetterboxRect r = ComputeLetterbox(1920, 1080, 1024, 768);
  int x = 0, y = 0;
  WindowToBackBuffer(r, 240, 0, 1024, 768, x, y);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  WindowToBackBuffer(r, 960, 540, 1024, 768, x, y);
  EXPECT_EQ(x, 512);
  EXPECT_EQ(y, 384);
  WindowToBackBuffer(r, 10, 2000, 1024, 768, x, y);  // in the bar, and below the window
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 767);
}

TEST(Letterbox, DegenerateSizesGiveAnEmptyBox) {
  const LetterboxRect r = ComputeLetterbox(0, 768, 1024, 768);
  EXPECT_EQ(r.width, 0);
  int x = 5, y = 5;
  WindowToBackBuffer(r, 3, 3, 1024, 768, x, y);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
}

}  // namespace
}  // namespace qx
