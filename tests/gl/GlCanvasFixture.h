// A headless GL window with a device and a canvas on it, for tests that draw a frame and
// look at its pixels.
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "render/GfxCanvas.h"
#include "render/GfxDevice.h"

namespace qx {

class GlCanvasFixture : public ::testing::Test {
 protected:
  // A side x side back buffer, antialiasing off so that edges are exact.
  void StartCanvas(int side) {
    std::string error;
    ASSERT_TRUE(CreatePlatform(true, side, side, platform_, error)) << error;
    device_ = std::make_unique<TGfxDevice>(*platform_.gfx);
    canvas_ = std::make_unique<TGfxCanvas>(*platform_.gfx);
    canvas_->SetAntialias(false);
    canvas_->SetPublisher(device_.get());
    device_->SetWidth(side);
    device_->SetHeight(side);
    ASSERT_TRUE(device_->Initialize());
  }
  void StopCanvas() {
    canvas_.reset();
    device_.reset();
    platform_.Release();
    SDL_Quit();
  }
  // Renders one frame drawing `draw` over black and reads it back.
  template <class F>
  void Frame(F draw) {
    device_->OnRender = draw;
    device_->Render(0xFF000000u, true);
    ASSERT_TRUE(platform_.gfx->ReadBackBuffer(pixels_, width_, height_));
  }
  // A pixel of the last frame, in device order without alpha.
  uint32_t Pixel(int x, int y) const { return pixels_.at(static_cast<size_t>(y) * width_ + x) & 0xFFFFFF; }

  PlatformSet platform_;
  std::unique_ptr<TGfxDevice> device_;
  std::unique_ptr<TGfxCanvas> canvas_;
  std::vector<uint32_t> pixels_;
  int width_ = 0, height_ = 0;
};

}  // namespace qx
