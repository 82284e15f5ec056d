// Image, shape and screen elements: sizes, anchors, drawing, trimming, filtering and hit tests.
#include <gtest/gtest.h>

#include "elements/QXExScreen.h"
#include "elements/QXImage.h"
#include "elements/QXScreen.h"
#include "elements/QXShape.h"
#include "resources/GfxImage.h"
#include "scene/MediaStage.h"

namespace qx {
namespace {

uint32_t Opaque(int, int) { return 0xFFFFFFFFu; }
// Left half opaque, right half transparent.
uint32_t HalfClear(int x, int) { return x < 50 ? 0xFFFFFFFFu : 0x00FFFFFFu; }

struct ImageStage : test::MediaStage {
  TQXScreen* screen = nullptr;
  ImageStage() {
    screen = Add<TQXScreen>(root.get(), "S", 1);
    Png("p200x100.png", 200, 100, Opaque);
    Png("p100x50.png", 100, 50, HalfClear);
    Png("wide.png", 4000, 10, Opaque);
  }
  TQXImage* Image(TQXElement* parent, const char* picture, double x, double y) {
    auto* img = Add<TQXImage>(parent, "IMG", 0);
    img->SetImImage(picture);
    img->rX = x;
    img->rY = y;
    return img;
  }
  // The textured quads of the last frame.
  std::vector<const NullGfx::Draw*> Quads() {
    std::vector<const NullGfx::Draw*> out;
    for (const auto& d : gfx.draws) {
      if (d.texture != 0) out.push_back(&d);
    }
    return out;
  }
};

TEST(ImageElement, SizeAnchorsAndAbsolutePosition) {
  ImageStage s;
  TQXImage* img = s.Image(s.screen, "p200x100.png", 400, 300);
  img->SetScale(1.5);
  img->ScaleX = 2;
  EXPECT_EQ(img->GetSizeX(), 600);
  EXPECT_EQ(img->GetSizeY(), 150);
  img->PosHor = phCenter;
  img->PosVert = pvBottom;
  s.screen->SetX(10);
  EXPECT_EQ(img->GetAbsX(), 400 - 300 + 10);
  EXPECT_EQ(img->GetAbsY(), 300 - 150);
  TQXImage* none = s.Image(s.screen, "missing.png", 5, 5);
  EXPECT_EQ(none->GetSizeX(), 0);
  EXPECT_EQ(none->GetAbsX(), 15);
  EXPECT_EQ(img->ImImage(), "P200X100.PNG");
}

TEST(ImageElement, ChildrenArePlacedFromThePictureTopLeft) {
  ImageStage s;
  TQXImage* img = s.Image(s.screen, "p200x100.png", 400, 300);
  img->PosHor = phCenter;
  img->PosVert = pvCenter;
  TQXImage* child = s.Image(img, "p100x50.png", 0, 0);
  s.Draw([&] { s.screen->Render(0, 0xFFFFFFFF, 0, 0, false); });
  const auto quads = s.Quads();
  ASSERT_EQ(quads.size(), 2u);
  EXPECT_FLOAT_EQ(quads[0]->vertices[0].x, 300 - 0.5f);  // the image itself
  EXPECT_FLOAT_EQ(quads[1]->vertices[0].x, 300 - 0.5f);  // its child at (300, 250)
  EXPECT_FLOAT_EQ(quads[1]->vertices[0].y, 250 - 0.5f);
  (void)child;
}

TEST(ImageElement, FilteringIsPointOnlyForSharpPictures) {
  ImageStage s;
  TQXImage* img = s.Image(s.screen, "p100x50.png", 10.5, 20);
  s.Draw([&] { s.screen->Render(0, 0xFFFFFFFF, 0, 0, false); });
  EXPECT_TRUE(s.gfx.draws.back().state.linearFilter);
  img->rX = 10;
  img->SetAngle(90);
  s.Draw([&] { s.screen->Render(0, 0xFFFFFFFF, 0, 0, false); });
  EXPECT_FALSE(s.gfx.draws.back().state.linearFilter);
  img->SetAngle(45);
  s.Draw([&] { s.screen->Render(0, 0xFFFFFFFF, 0, 0, false); });
  EXPECT_TRUE(s.gfx.draws.back().state.linearFilter);
}

TEST(ImageElement, HugePicturesAreTrimmedWhereTheyWouldHaveBeen) {
  ImageStage s;
  s.Image(s.screen, "wide.png", -3000, 0);
  s.Draw([&] { s.screen->Render(0, 0xFFFFFFFF, 0, 0, false); });
  const auto quads = s.Quads();
  ASSERT_EQ(quads.size(), 1u);
  const auto& v = quads[0]->vertices;
  // Left trim: round((-1024 - -3000) / 1 / 1) - 1 = 1975 source pixels.
  EXPECT_FLOAT_EQ(v[0].x, -3000 + 1975 - 0.5f);
  EXPECT_FLOAT_EQ(v[1].x, 1000 - 0.5f);  // the right end is where it was
  const GfxVertex& tl = v[0];
  TGfxImage* pic = s.media.GetImage("wide.png", false)->Image;
  EXPECT_FLOAT_EQ(tl.u, 1975.0f / pic->TextureWidth());
}

TEST(ImageElement, HitTestFollowsThePictureRotationAndAlpha) {
  ImageStage s;
  TQXImage* img = s.Image(s.screen, "p100x50.png", 100, 100);  // left half opaque
  auto hit = [&](int x, int y) { return s.screen->HitTest(0, x, y, 0, 0) == img; };
  EXPECT_TRUE(hit(110, 110));
  EXPECT_FALSE(hit(170, 110));  // transparent half
  EXPECT_FALSE(hit(90, 110));
  img->PosHor = phCenter;
  img->PosVert = pvCenter;
  img->SetAngle(90);  // now 50 wide and 100 tall around (100, 100); the opaque half on top
  EXPECT_TRUE(hit(100, 80));
  EXPECT_FALSE(hit(100, 120));
  EXPECT_FALSE(hit(130, 100));
}

TEST(ImageElement, StretchedPicturesAreHitAtTheirUnstretchedWidth) {
  ImageStage s;
  TQXImage* img = s.Image(s.screen, "p200x100.png", 0, 0);
  img->ScaleX = 2;
  EXPECT_EQ(s.screen->HitTest(0, 150, 10, 0, 0), img);
  EXPECT_EQ(s.screen->HitTest(0, 250, 10, 0, 0), nullptr);
}

TEST(ImageElement, EligibilityAndLayers) {
  ImageStage s;
  TQXImage* img = s.Image(s.screen, "p200x100.png", 0, 0);
  img->SetOrder(2);
  EXPECT_EQ(s.screen->HitTest(0, 10, 10, 0, 0), nullptr);
  EXPECT_EQ(s.screen->HitTest(2, 10, 10, 0, 0), img);
  img->Vis = false;
  EXPECT_EQ(s.screen->HitTest(2, 10, 10, 0, 0), nullptr);
  img->MousedNotVis = true;
  EXPECT_EQ(s.screen->HitTest(2, 10, 10, 0, 0), img);
}

TEST(ShapeElement, FillsItsBoxAtTheRoundedPositionOnItsLayer) {
  ImageStage s;
  auto* box = s.Add<TQXShape>(s.screen, "BOX", 5);
  box->rX = 10.5;  // ties go to even
  box->rY = 20.5;
  box->SetSizeX(30);
  box->SetSizeY(40);
  box->SethxColor(0x0000FF);
  box->SethxTrans(128);
  box->hxDrawFx = kFxAdd;
  s.Draw([&] { box->Render(0, 0xFFFFFFFF, 0, 1, false); });
  ASSERT_EQ(s.gfx.draws.size(), 1u);
  const auto& v = s.gfx.draws[0].vertices;
  EXPECT_EQ(v[0].x, 10);
  EXPECT_EQ(v[0].y, 22);  // 1 + 20.5
  EXPECT_EQ(v[2].x, 40);
  EXPECT_EQ(v[2].y, 62);
  EXPECT_EQ(v[0].color, 0x80FF0000u);  // half-transparent red in device order
  EXPECT_EQ(s.gfx.draws[0].state.dst, BlendFactor::One);
  box->SetOrder(1);
  s.gfx.draws.clear();
  s.Draw([&] { box->Render(0, 0xFFFFFFFF, 0, 0, false); });
  EXPECT_TRUE(s.gfx.draws.empty());
}

TEST(ShapeElement, PositionsBeyondTheIntegerRangeStayOnTheirSide) {
  ImageStage s;
  auto* box = s.Add<TQXShape>(s.screen, "BOX", 5);
  box->rX = 1e12;  // far right
  box->rY = -1e12;  // far above
  s.Draw([&] { box->Render(0, 0xFFFFFFFF, 0, 0, false); });
  ASSERT_EQ(s.gfx.draws.size(), 1u);
  const auto& v = s.gfx.draws[0].vertices;
  EXPECT_GE(v[0].x, 2147483647.0f);  // held at the largest left edge, still off the right
  EXPECT_LE(v[2].y, -2147483648.0f + 100);  // held at the smallest top, still off the top
  s.gfx.draws.clear();
  box->rX = 3e9;
  box->rY = 2e10;
  s.Draw([&] { box->Render(0, 0xFFFFFFFF, -1e9, 0, false); });  // 2e9 after the offset
  ASSERT_EQ(s.gfx.draws.size(), 1u);
  EXPECT_GE(s.gfx.draws[0].vertices[0].x, 2e9f);
  EXPECT_GE(s.gfx.draws[0].vertices[0].y, 2147483647.0f);
}

TEST(Screen, BackgroundStaysChildrenMoveAndSizeComesFromThePicture) {
  ImageStage s;
  s.Png("back.png", 1024, 768, Opaque);
  s.screen->SetImBack("back.png");
  EXPECT_EQ(s.screen->GetSizeX(), 1024);
  EXPECT_EQ(s.screen->GetSizeY(), 768);
  s.screen->SetX(100);
  s.Image(s.screen, "p100x50.png", 10, 10);
  s.Draw([&] { s.screen->Render(0, 0xFFFFFFFF, 0, 0, false); });
  const auto quads = s.Quads();
  ASSERT_EQ(quads.size(), 2u);
  EXPECT_FLOAT_EQ(quads[0]->vertices[0].x, -0.5f);
  EXPECT_FLOAT_EQ(quads[1]->vertices[0].x, 110 - 0.5f);
  EXPECT_FALSE(quads[0]->state.blending);  // the background's code 1: an opaque copy
}

TEST(Screen, AgroWidensTheHitOfPicturesWithoutAlpha) {
  ImageStage s;
  TQXImage* img = s.Image(s.screen, "p200x100.png", 200, 150);  // spans 100..300 x 100..200
  img->PosHor = phCenter;
  img->PosVert = pvCenter;
  s.media.GetImage("p200x100.png", false)->Image->SetAlphaLevel(TAlphaLevel::alNone);
  EXPECT_EQ(s.screen->HitTest(0, 96, 150, 0, 0), nullptr);
  s.screen->Agro = 5;
  EXPECT_EQ(s.screen->HitTest(0, 96, 150, 0, 0), img);
  EXPECT_EQ(s.screen->HitTest(0, 304, 150, 0, 0), img);
  EXPECT_EQ(s.screen->HitTest(0, 150, 96, 0, 0), img);
  EXPECT_EQ(s.screen->HitTest(0, 94, 150, 0, 0), nullptr);
}

TEST(Screen, RenderEventRunsOncePerFrameOnItsLayer) {
  ImageStage s;
  s.screen->SetScript(ScriptSlot::Render, "draw");
  for (int layer = 0; layer <= 2; ++layer) s.screen->Render(layer, 0xFFFFFFFF, 0, 0, false);
  EXPECT_EQ(s.scripts.runs, std::vector<std::string>{"Render:S:draw"});
}

TEST(EmbeddedScreen, ShowsAndForwardsToItsTarget) {
  ImageStage s;
  auto* panel = s.Add<TQXScreen>(s.root.get(), "PANEL", 50);
  panel->SetScript(ScriptSlot::Show, "panelshow");
  panel->SetScript(ScriptSlot::Process, "panelproc");
  s.Image(panel, "p100x50.png", 0, 0);
  auto* ex = s.Add<TQXExScreen>(s.screen, "EX", 51);
  ex->SetobScreen(50);
  ex->SetX(300);
  ex->SetY(200);
  EXPECT_EQ(ex->GetSizeX(), 0);  // the panel has no background: no size
  s.Draw([&] { s.screen->Render(0, 0xFFFFFFFF, 0, 0, false); });
  const auto quads = s.Quads();
  ASSERT_EQ(quads.size(), 1u);
  EXPECT_FLOAT_EQ(quads[0]->vertices[0].x, 300 - 0.5f);
  EXPECT_NE(s.screen->HitTest(0, 310, 210, 0, 0), nullptr);
  ex->Processing = false;
  s.screen->DoProcess();
  EXPECT_TRUE(s.scripts.runs.empty());
  ex->SetVis(true);  // unchanged: nothing runs
  EXPECT_TRUE(s.scripts.runs.empty());
  ex->SetVis(false);
  ex->SetVis(true);
  EXPECT_EQ(s.scripts.runs, std::vector<std::string>{"Show:PANEL:panelshow"});
  ex->SetobScreen(999);  // names nothing now
  EXPECT_EQ(ex->Target(), nullptr);
  ex->Modal = true;
  EXPECT_EQ(s.screen->HitTest(0, 310, 210, 0, 0), ex);
}

}  // namespace
}  // namespace qx
