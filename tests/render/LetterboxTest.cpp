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

// --scale integer: the largest whole factor that fits, centred; below one factor, the fit.
TEST(Letterbox, IntegerScaleTakesTheLargestWholeFactor) {
  LetterboxRect r = ComputePresentRect(2200, 1700, 1024, 768, PresentScale::Integer);
  EXPECT_EQ(r.width, 2048);
  EXPECT_EQ(r.height, 1536);
  EXPECT_EQ(r.x, 76);
  EXPECT_EQ(r.y, 82);
  r = ComputePresentRect(1920, 1080, 1024, 768, PresentScale::Integer);  // factor 1, black around
  EXPECT_EQ(r.width, 1024);
  EXPECT_EQ(r.x, 448);
  EXPECT_EQ(r.y, 156);
  r = ComputePresentRect(933, 700, 1024, 768, PresentScale::Integer);  // smaller: fit
  EXPECT_EQ(r.width, 933);
  EXPECT_EQ(r.height, 699);
  r = ComputePresentRect(2200, 1700, 1024, 768, PresentScale::Fit);
  EXPECT_EQ(r.width, 2200);
  EXPECT_EQ(r.height, 1650);
}

// A 1024 x 768 window with its title bar on an 800-pixel-high desktop: scaled down, still 4:3.
TEST(Letterbox, AWindowThatDoesNotFitTheDesktopIsScaledDownKeepingItsAspect) {
  int w = 0, h = 0;
  FitWindowSize(1024, 768, 1280, 800 - 30, w, h);
  EXPECT_EQ(w, 1024);
  EXPECT_EQ(h, 768);
  FitWindowSize(1024, 768, 1280, 800 - 30 - 40, w, h);  // a panel too
  EXPECT_EQ(h, 730);
  EXPECT_EQ(w, 973);
  FitWindowSize(1024, 768, 800, 2000, w, h);  // too narrow
  EXPECT_EQ(w, 800);
  EXPECT_EQ(h, 600);
  FitWindowSize(1024, 768, 0, 0, w, h);  // nothing known: the buffer's size
  EXPECT_EQ(w, 1024);
  EXPECT_EQ(h, 768);
}

}  // namespace
}  // namespace qx
