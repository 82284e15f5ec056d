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

class MediaStage : public SceneFixture {
 public:
  MediaStage() {
    char dir[] = "/tmp/qxmediaXXXXXX";
    folder = mkdtemp(dir);
    device.SetWidth(1024);
    device.SetHeight(768);
    device.OnRender = [] {};
    canvas.SetPublisher(&device);
    images.SetPublisher(&device);
    images.OnImageFreed = [](TGfxImage* image) { Media().Forget(image); };
    EXPECT_TRUE(device.Initialize());
    std::ofstream(folder + "/game.qxf") << "";
    root->GameFilePath = folder + "/game.qxf";
    root->Canvas = &canvas;
    RuntimeState& rt = Runtime();
    rt.Parts.Images = &images;
    testing::internal::CaptureStderr();  // the empty game file says it is damaged
    root->LoadGame();
    testing::internal::GetCapturedStderr();
    rt.Parts.Images = &images;
    rt.Parts.Files = &root->Files();
    rt.Parts.ResDb = &archive;
    rt.Parts.Canvas = &canvas;
    rt.LoadNow = true;
  }
  ~MediaStage() {
    Media().Clear();
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
  NullGfx gfx;
  TGfxDevice device{gfx};
  TGfxCanvas canvas{gfx};
  TGfxImages images{gfx};
  TResArchive archive;
};

}  // namespace qx::test
