#include "render/GfxDevice.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/null/NullGfx.h"

namespace qx {
namespace {

// Records the codes it is told, answering `answer` for one chosen code.
class Listener : public TGfxSubscriber {
 public:
  Listener(std::vector<std::string>& log, std::string name) : log_(log), name_(std::move(name)) {}
  int refuse = 0;

 protected:
  bool Notify(TGfxPublisher*, int code) override {
    log_.push_back(name_ + ":" + std::to_string(code));
    return code != refuse;
  }

 private:
  std::vector<std::string>& log_;
  std::string name_;
};

struct DeviceRig {
  NullGfx gfx;
  TGfxDevice device{gfx};
  std::vector<std::string> log;
  Listener a{log, "a"}, b{log, "b"};
  DeviceRig() {
    a.SetPublisher(&device);
    b.SetPublisher(&device);
    device.SetWidth(1024);
    device.SetHeight(768);
    device.OnRender = [this] { log.push_back("render"); };
  }
};

TEST(GfxDevice, LifeCycleNotifiesSubscribersInOrder) {
  DeviceRig rig;
  ASSERT_TRUE(rig.device.Initialize());
  EXPECT_TRUE(rig.device.Active());
  EXPECT_EQ(rig.gfx.params.width, 1024);
  EXPECT_TRUE(rig.device.Render(0, true));
  rig.device.Finalize();
  EXPECT_FALSE(rig.device.Active());
  EXPECT_EQ(rig.log, (std::vector<std::string>{"a:256", "b:256", "a:260", "b:260", "render", "a:261",
                                               "b:261", "a:257", "b:257"}));
  EXPECT_EQ(rig.gfx.calls.front(), "CreateDevice 1024x768 windowed");
  EXPECT_EQ(rig.gfx.calls.back(), "ReleaseDevice");
}

TEST(GfxDevice, RefusingSubscriberStopsTheNotificationAndFailsInitialize) {
  DeviceRig rig;
  rig.a.refuse = kGfxInitialized;
  EXPECT_FALSE(rig.device.Initialize());
  EXPECT_FALSE(rig.device.Active());
  EXPECT_EQ(rig.log, (std::vector<std::string>{"a:256", "a:257", "b:257"}));
}

TEST(GfxDevice, InitializeHandlerMayRefuse) {
  DeviceRig rig;
  rig.device.OnInitialize = [](bool& ok) { ok = false; };
  EXPECT_FALSE(rig.device.Initialize());
  EXPECT_FALSE(rig.device.Active());
  EXPECT_FALSE(rig.gfx.deviceExists);
}

TEST(GfxDevice, PlatformFailureFailsInitialize) {
  DeviceRig rig;
  rig.gfx.FailCreate(true);
  EXPECT_FALSE(rig.device.Initialize());
  EXPECT_TRUE(rig.log.empty());
  EXPECT_FALSE(rig.device.Render(0, true));
  EXPECT_FALSE(rig.device.Present());
}

TEST(GfxDevice, LostDeviceNotifiesLostThenResetAtPresent) {
  DeviceRig rig;
  ASSERT_TRUE(rig.device.Initialize());
  rig.log.clear();
  rig.gfx.SimulateLoss(2);  // lost, and not resettable before two more presents
  EXPECT_FALSE(rig.device.Present());
  EXPECT_TRUE(rig.device.Lost());
  EXPECT_FALSE(rig.device.Present());
  EXPECT_EQ(rig.log, (std::vector<std::string>{"a:258", "b:258"}));  // told once only
  EXPECT_TRUE(rig.device.Present());
  EXPECT_FALSE(rig.device.Lost());
  EXPECT_EQ(rig.log, (std::vector<std::string>{"a:258", "b:258", "a:259", "b:259"}));
}

TEST(GfxDevice, DrawingContinuesWhileLost) {
  DeviceRig rig;
  ASSERT_TRUE(rig.device.Initialize());
  rig.gfx.SimulateLoss(5);
  rig.device.Present();
  rig.log.clear();
  EXPECT_TRUE(rig.device.Render(0, true));
  EXPECT_EQ(rig.log.size(), 5u);  // begin x2, render, end x2
}

TEST(GfxDevice, ChangingTheModeWhileActiveResetsTheDevice) {
  DeviceRig rig;
  ASSERT_TRUE(rig.device.Initialize());
  rig.log.clear();
  rig.device.SetWindowed(false);
  EXPECT_EQ(rig.log, (std::vector<std::string>{"a:258", "b:258", "a:259", "b:259"}));
  EXPECT_EQ(rig.gfx.calls.back(), "ResetDevice fullscreen");
  rig.log.clear();
  rig.device.SetWindowed(false);  // no change, no reset
  rig.device.SetDepthBuffer(true);  // ignored while active
  EXPECT_TRUE(rig.log.empty());
  EXPECT_FALSE(rig.device.DepthBuffer());
}

TEST(GfxDevice, DriverErrorAtPresentResetsOrFinalizes) {
  class ErrGfx : public NullGfx {
   public:
    bool resetWorks = true;
    PresentResult Present() override { return PresentResult::DriverError; }
    bool ResetDevice(const GfxPresentParams& p) override { return resetWorks && NullGfx::ResetDevice(p); }
  };
  ErrGfx gfx;
  TGfxDevice device(gfx);
  ASSERT_TRUE(device.Initialize());
  EXPECT_TRUE(device.Present());
  gfx.resetWorks = false;
  EXPECT_FALSE(device.Present());
  EXPECT_FALSE(device.Active());
  device.OnRender = [] {};
  EXPECT_FALSE(device.Render(0, true));
}

TEST(GfxPublisher, SubscribersDetachWhenEitherSideGoes) {
  std::vector<std::string> log;
  auto device = std::make_unique<TGfxPublisher>();
  {
    Listener gone(log, "gone");
    gone.SetPublisher(device.get());
    EXPECT_EQ(device->SubscriberCount(), 1);
  }
  EXPECT_EQ(device->SubscriberCount(), 0);
  Listener stays(log, "stays");
  stays.SetPublisher(device.get());
  device.reset();
  EXPECT_EQ(stays.Publisher(), nullptr);
}

}  // namespace
}  // namespace qx
