// TGfxDevice: owns the platform graphics device, runs its life cycle (initialise, scenes,
// present, loss and reset, finalise) and tells its subscribers about every step.
#pragma once

#include <functional>

#include "render/GfxPlatform.h"
#include "render/GfxPublisher.h"

namespace qx {

enum class TBitDepth { bdLow, bdHigh };

class TGfxDevice : public TGfxPublisher {
 public:
  explicit TGfxDevice(GfxPlatform& platform);
  ~TGfxDevice() override;

  // Width, Height, Windowed, VSync and HardwareTL may change while active (the device is
  // reset); BitDepth, Refresh, DepthBuffer and WindowHandle are only taken before Initialize.
  // BitDepth, Refresh and HardwareTL are stored and handed on, but mean nothing on GL: the
  // back buffer is always RGBA8 and vertices are pre-transformed.
  int Width() const { return width_; }
  void SetWidth(int v);
  int Height() const { return height_; }
  void SetHeight(int v);
  TBitDepth BitDepth() const { return bitDepth_; }
  void SetBitDepth(TBitDepth v) { if (!active_) bitDepth_ = v; }
  int Refresh() const { return refresh_; }
  void SetRefresh(int v) { if (!active_) refresh_ = v; }
  bool Windowed() const { return windowed_; }
  void SetWindowed(bool v);
  bool VSync() const { return vsync_; }
  void SetVSync(bool v);
  bool HardwareTL() const { return hardwareTL_; }
  void SetHardwareTL(bool v);
  bool DepthBuffer() const { return depthBuffer_; }
  void SetDepthBuffer(bool v) { if (!active_) depthBuffer_ = v; }
  void* WindowHandle() const { return windowHandle_; }
  void SetWindowHandle(void* v) { if (!active_) windowHandle_ = v; }

  bool Active() const { return active_; }
  bool Lost() const { return lost_; }
  GfxPlatform& Platform() { return platform_; }

  // OnInitialize may set its argument false to refuse the device (it is then finalised).
  std::function<void(bool& success)> OnInitialize;
  std::function<void()> OnFinalize;
  std::function<void()> OnRender;

  bool Initialize();
  void Finalize();
  bool Reset();
  bool Clear(uint32_t color);
  bool BeginScene();
  void EndScene();
  // Colour in device order (0xAARRGGBB); the runtime clears to black.
  bool Render(uint32_t color, bool clear);
  bool Present();

 private:
  GfxPresentParams Params() const;
  void ChangedWhileActive();

  GfxPlatform& platform_;
  int width_ = 640;
  int height_ = 480;
  TBitDepth bitDepth_ = TBitDepth::bdHigh;
  int refresh_ = 0;
  bool windowed_ = true;
  bool vsync_ = false;
  bool hardwareTL_ = true;
  bool depthBuffer_ = false;
  void* windowHandle_ = nullptr;
  bool active_ = false;
  bool lost_ = false;
  bool created_ = false;  // the platform device exists
};

}  // namespace qx
