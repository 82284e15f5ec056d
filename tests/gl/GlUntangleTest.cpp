// The untangle puzzle's drawing native through OpenGL: the colour of each band must show
// whether its edge crosses another.
#include "builtins/Builtins.h"
#include "elements/QXImage.h"
#include "elements/QXScreen.h"
#include "gl/GlCanvasFixture.h"
#include "scene/SceneTestSupport.h"
#include "script/scriptengine.h"

namespace qx {
namespace {

// Node top-left corners of the 10-node graph (centres are 25 further): a ring 0..7 with hub
// 8 on the middle of ring edge 1-2, so the edges 1-2 and 8-9 cross, and hub 9 inside the
// right half, whose edges stay free.
constexpr int kNodes[10][2] = {{100, 100}, {50, 200}, {50, 300}, {100, 400}, {400, 400},
                               {450, 300}, {450, 200}, {400, 100}, {50, 250},  {350, 250}};

class GlUntangleTest : public GlCanvasFixture {
 protected:
  void SetUp() override {
    StartCanvas(512);
    scene_.root->Services().canvas = canvas_.get();
    game_.root = scene_.root.get();
    RegisterBuiltins(engine_, game_);
    auto* screen = scene_.Add<TQXScreen>(scene_.root.get(), "S", 1);
    graph_ = scene_.Add<TQXImage>(screen, "G", 2);
    auto* nodes = scene_.Add<TQXImage>(graph_, "NODES", 3);
    for (int i = 0; i < 10; ++i) {
      auto* node = scene_.Add<TQXImage>(nodes, "N", 10 + i);
      node->rX = kNodes[i][0];
      node->rY = kNodes[i][1];
    }
    graph_->Variables = std::make_unique<TVarList>();
    graph_->Variables->Add({"DT", ScriptValue::Int(0)});  // grey 112
  }
  void TearDown() override {
    scene_.root->Services().canvas = nullptr;
    StopCanvas();
  }
  void Render() {
    Frame([&] {
      TVar v;
      engine_.ResetErrorState();
      ASSERT_TRUE(engine_.Evaluate(Tokenise("MagicLev6Log_Rend(QXDB.S.G)"), v)) << engine_.ErrorMessage();
    });
  }
  // Red, green and blue of a pixel (device order 0xRRGGBB).
  struct Rgb {
    int r, g, b;
  };
  Rgb At(int x, int y) const {
    const uint32_t p = Pixel(x, y);
    return {static_cast<int>(p >> 16), static_cast<int>((p >> 8) & 0xFF), static_cast<int>(p & 0xFF)};
  }

  test::SceneFixture scene_;
  GameLink game_;
  TScriptEngine engine_;
  TQXImage* graph_ = nullptr;
};

TEST_F(GlUntangleTest, CrossingBandsAreRedFreeBandsGreenUnderTheGrey) {
  Render();
  // Across the bar 8-9 (centres (75, 275) to (375, 275)): a crossing edge. Half red over
  // black plus the additive grey 112 on every channel.
  for (int y = 274; y <= 276; ++y) {
    const Rgb c = At(225, y);
    EXPECT_NEAR(c.r, 127 + 112, 3) << y;
    EXPECT_NEAR(c.g, 112, 3) << y;
    EXPECT_NEAR(c.b, 112, 3) << y;
  }
  // Edge 4-5 ((425, 425) to (475, 325)) crosses nothing: half green plus the grey.
  const Rgb free = At(450, 375);
  EXPECT_NEAR(free.r, 112, 3);
  EXPECT_NEAR(free.g, 127 + 112, 3);
  EXPECT_NEAR(free.b, 112, 3);
  // Away from every band the background stays black.
  EXPECT_EQ(Pixel(250, 150), 0u);
}

TEST_F(GlUntangleTest, TheGreyPulsesWithDT) {
  graph_->Variables->SetExisting("DT", ScriptValue::Int(29));  // the darkest step, 83
  Render();
  const Rgb c = At(225, 275);
  EXPECT_NEAR(c.r, 127 + 83, 3);
  EXPECT_NEAR(c.g, 83, 3);
}

}  // namespace
}  // namespace qx
