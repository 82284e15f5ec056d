// A game folder on disk with pictures, the media cache on the recording graphics back end,
// and a root whose elements can draw: for tests of pictures, images and screens.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/null/NullGfx.h"
#include "render/GfxCanvas.h"
#include "render/GfxDevice.h"
#include "resources/GfxImages.h"
#include "resources/PngWriter.h"
#include "resources/ResArchive.h"
#include "runtime/MediaCache.h"
#include "scene/SceneTestSupport.h"

namespace qx::test {

// The recording graphics back end with a device, a canvas, an image list and an archive,
// made before the scene so that its media cache can use them.
struct MediaParts {
  NullGfx gfx;
  TGfxDevice device{gfx};
  TGfxCanvas canvas{gfx};
  TGfxImages images{gfx};
  TResArchive archive;
};

class MediaStage : public MediaParts, public SceneFixture {
 public:
  MediaStage() : SceneFixture(&images, &archive, &canvas) {
    char dir[] = "/tmp/qxmediaXXXXXX";
    folder = mkdtemp(dir);
    device.SetWidth(1024);
    device.SetHeight(768);
    device.OnRender = [] {};
    canvas.SetPublisher(&device);
    images.SetPublisher(&device);
    images.OnImageFreed = [this](TGfxImage* image) { media.Forget(image); };
    EXPECT_TRUE(device.Initialize());
    std::ofstream(folder + "/game.qxf") << "";
    root->GameFilePath = folder + "/game.qxf";
    testing::internal::CaptureStderr();  // the empty game file says it is damaged
    root->LoadGame();
    testing::internal::GetCapturedStderr();
    Runtime().LoadNow = true;
  }
  ~MediaStage() {
    media.Clear();
    images.Clear();
    std::filesystem::remove_all(folder);
  }

  // A PNG of w x h pixels (0xAARRGGBB) in the game folder.
  void Png(const std::string& name, int w, int h, uint32_t (*pixel)(int x, int y)) {
    std::vector<uint32_t> px;
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) px.push_back(pixel(x, y));
    }
    std::string error;
    std::filesystem::create_directories(std::filesystem::path(folder + "/" + name).parent_path());
    ASSERT_TRUE(WritePngFile(folder + "/" + name, px.data(), w, h, error)) << error;
  }
  void Text(const std::string& name, const std::string& content) { std::ofstream(folder + "/" + name) << content; }

  // Starts a frame, lets `draw` queue drawing, and submits it; the draws land in gfx.draws.
  template <class F>
  void Draw(F draw) {
    device.OnRender = draw;
    device.Render(0, true);
  }

  std::string folder;
};

}  // namespace qx::test
