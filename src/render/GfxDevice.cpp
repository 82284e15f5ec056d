#include "render/GfxDevice.h"

namespace qx {

TGfxDevice::TGfxDevice(GfxPlatform& platform) : platform_(platform) {}

TGfxDevice::~TGfxDevice() { Finalize(); }

void TGfxDevice::SetWidth(int v) {
  if (v == width_) return;
  width_ = v;
  ChangedWhileActive();
}

void TGfxDevice::SetHeight(int v) {
  if (v == height_) return;
  height_ = v;
  ChangedWhileActive();
}

void TGfxDevice::SetWindowed(bool v) {
  if (v == windowed_) return;
  windowed_ = v;
  ChangedWhileActive();
}

void TGfxDevice::SetVSync(bool v) {
  if (v == vsync_) return;
  vsync_ = v;
  ChangedWhileActive();
}

void TGfxDevice::SetHardwareTL(bool v) {
  if (v == hardwareTL_) return;
  hardwareTL_ = v;
  ChangedWhileActive();
}

void TGfxDevice::ChangedWhileActive() {
  if (active_) Reset();
}

GfxPresentParams TGfxDevice::Params() const {
  GfxPresentParams p;
  p.width = width_;
  p.height = height_;
  p.windowed = windowed_;
  p.vsync = vsync_;
  p.depthBuffer = depthBuffer_;
  p.refresh = refresh_;
  p.highBitDepth = bitDepth_ == TBitDepth::bdHigh;
  return p;
}

bool TGfxDevice::Initialize() {
  if (active_ || created_) return false;
  if (!platform_.CreateDevice(Params())) return false;
  created_ = true;
  active_ = true;
  lost_ = false;
  bool success = NotifySubscribers(kGfxInitialized);
  if (!success) {
    Finalize();
    return false;
  }
  if (OnInitialize) OnInitialize(success);
  if (!success) Finalize();
  return success;
}

void TGfxDevice::Finalize() {
  if (!active_) return;
  if (OnFinalize) OnFinalize();
  NotifySubscribers(kGfxFinalizing);
  platform_.ReleaseDevice();
  created_ = false;
  active_ = false;
  lost_ = false;
}

bool TGfxDevice::Reset() {
  if (!active_) return false;
  NotifySubscribers(kGfxLost);
  if (!platform_.ResetDevice(Params())) return false;
  NotifySubscribers(kGfxReset);
  lost_ = false;
  return true;
}

bool TGfxDevice::Clear(uint32_t color) {
  if (!active_) return false;
  return platform_.Clear(color, depthBuffer_);
}

bool TGfxDevice::BeginScene() {
  if (!active_ || !platform_.BeginScene()) return false;
  NotifySubscribers(kGfxBeginScene);
  return true;
}

void TGfxDevice::EndScene() {
  if (!active_) return;
  NotifySubscribers(kGfxEndScene);
  platform_.EndScene();
}

bool TGfxDevice::Render(uint32_t color, bool clear) {
  if (!active_ || !OnRender) return false;
  if (clear && !Clear(color)) return false;
  if (!BeginScene()) return false;
  OnRender();
  EndScene();
  return true;
}

bool TGfxDevice::Present() {
  if (!active_) return false;
  switch (platform_.Present()) {
    case PresentResult::Ok:
      return true;
    case PresentResult::DeviceLost: {
      if (!lost_) {
        NotifySubscribers(kGfxLost);
        lost_ = true;
      }
      if (platform_.TestCooperativeLevel() != CooperativeLevel::NotReset) return false;
      if (!platform_.ResetDevice(Params())) return false;
      if (lost_) {
        NotifySubscribers(kGfxReset);
        lost_ = false;
      }
      return true;
    }
    case PresentResult::DriverError:
      if (Reset()) return true;
      Finalize();
      return false;
  }
  return false;
}

}  // namespace qx
