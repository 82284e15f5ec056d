// Key-frame animations: frame building, splines, cross-fades, directions and playback.
#include <gtest/gtest.h>

#include "elements/QXAnKey.h"
#include "elements/QXAnim.h"
#include "elements/QXExAnim.h"
#include "elements/QXImage.h"
#include "elements/Spline.h"
#include "scene/MediaStage.h"

namespace qx {
namespace {

uint32_t White(int, int) { return 0xFFFFFFFFu; }

struct AnimStage : test::MediaStage {
  TQXAnim* anim = nullptr;
  AnimStage() {
    Png("dot.png", 10, 10, White);
    Png("box.png", 20, 20, White);
    anim = Add<TQXAnim>(root.get(), "ANIM", 1);
  }
  TQXAnKey* Key(int count) {
    auto* k = Add<TQXAnKey>(anim, "", 0);
    k->SetCount(static_cast<uint16_t>(count));
    return k;
  }
  TQXImage* Pic(TQXAnKey* key, const char* id, double x, double y, const char* picture = "dot.png") {
    auto* p = Add<TQXImage>(key, id, 0);
    p->SetImImage(picture);
    p->rX = x;
    p->rY = y;
    return p;
  }
  const AnimItem& Item(int frame, int index = 0) { return anim->Frame(frame)[static_cast<size_t>(index)]; }
};

TEST(AnimFrames, LinearMotionThenStill) {
  AnimStage s;
  s.Pic(s.Key(9), "BALL", 0, 0);
  s.Pic(s.Key(4), "BALL", 100, 0);
  s.anim->BuildFrames();
  ASSERT_EQ(s.anim->FrameCount(), 15);
  for (int f = 0; f <= 9; ++f) EXPECT_DOUBLE_EQ(s.Item(f).x, 10.0 * f + 5) << f;  // centre: +5
  for (int f = 10; f < 15; ++f) EXPECT_DOUBLE_EQ(s.Item(f).x, 105) << f;
}

TEST(AnimFrames, RepeatInterpolatesBackAndWraps) {
  AnimStage s;
  s.anim->Rep = true;
  s.Pic(s.Key(9), "BALL", 0, 0);
  s.Pic(s.Key(4), "BALL", 100, 0);
  s.anim->BuildFrames();
  EXPECT_DOUBLE_EQ(s.Item(12).x, 105 - 20.0 * 2);  // back toward the first key
  s.anim->SetPos(15);
  EXPECT_EQ(s.anim->Pos(), 0);
}

TEST(AnimFrames, NamedPicturesNeedAPartnerUnnamedOnesStay) {
  AnimStage s;
  TQXAnKey* k1 = s.Key(2);
  s.Pic(k1, "GONE", 0, 0);
  s.Pic(k1, "", 50, 50);
  s.Pic(s.Key(2), "OTHER", 0, 0);
  s.anim->BuildFrames();
  ASSERT_EQ(s.anim->Frame(0).size(), 1u);  // only the unnamed picture during key 1
  EXPECT_DOUBLE_EQ(s.Item(2).x, 55);
}

TEST(AnimFrames, CrossFadeWhenThePictureChanges) {
  AnimStage s;
  TQXAnKey* k1 = s.Key(8);
  k1->Morph = true;
  s.Pic(k1, "P", 0, 0, "dot.png");
  s.Pic(s.Key(0), "P", 0, 0, "box.png");
  s.anim->BuildFrames();
  ASSERT_EQ(s.anim->Frame(4).size(), 2u);
  EXPECT_EQ(s.Item(4, 0).color >> 24, 223u);
  EXPECT_EQ(s.Item(4, 1).color >> 24, 223u);
  EXPECT_EQ(s.Item(0, 0).color >> 24, 255u);
  EXPECT_EQ(s.Item(0, 1).color >> 24, 0u);
  EXPECT_EQ(s.Item(8, 0).color >> 24, 0u);
  EXPECT_EQ(s.Item(8, 1).color >> 24, 255u);
}

TEST(AnimFrames, SplineThroughThreeKeys) {
  AnimStage s;
  s.anim->Interpol = true;
  s.Pic(s.Key(4), "B", 0, 0);
  s.Pic(s.Key(4), "B", 100, 100);
  s.Pic(s.Key(4), "B", 200, 0);
  s.anim->BuildFrames();
  EXPECT_NEAR(s.Item(0).y, 5, 1e-9);
  EXPECT_NEAR(s.Item(5).y, 105, 1e-9);  // through every key position
  EXPECT_NEAR(s.Item(10).y, 5, 1e-9);
  EXPECT_GT(s.Item(3).y, 3 * 20.0 + 5);  // a curve, above the straight line
}

TEST(AnimFrames, DirectionPictures) {
  AnimStage s;
  TQXImage* p = s.Pic(s.Key(0), "", 0, 0);
  p->Anim = -1;
  p->SetAngle(20);
  s.anim->Angle = 30;
  s.anim->BuildFrames();
  EXPECT_EQ(s.Item(0).frame, 2);
  EXPECT_DOUBLE_EQ(s.Item(0).angle, 5);
  p->SetAngle(329.99);
  s.anim->BuildFrames();
  EXPECT_EQ(s.Item(0).frame, 15);
}

TEST(AnimFrames, PicturesWithoutTexturesAreLeftOut) {
  AnimStage s;
  s.Pic(s.Key(3), "", 0, 0, "missing.png");
  s.anim->BuildFrames();
  EXPECT_EQ(s.anim->FrameCount(), 4);
  EXPECT_TRUE(s.anim->Frame(0).empty());
}

TEST(AnimPlayback, AdvancesRaisesEventsAndStops) {
  AnimStage s;
  s.Pic(s.Key(1), "", 0, 0);
  s.anim->BuildFrames();
  s.anim->SetScript(ScriptSlot::Anim, "step");
  s.anim->SetScript(ScriptSlot::Stop, "stop");
  s.anim->Active = true;
  s.anim->DoProcess();
  EXPECT_EQ(s.anim->Pos(), 1);
  s.anim->DoProcess();  // the last frame was shown for one tick: now it stops
  EXPECT_FALSE(s.anim->Active);
  EXPECT_EQ(s.scripts.runs, (std::vector<std::string>{"anAnim:ANIM:step", "anStop:ANIM:stop"}));
  s.anim->Active = true;
  s.anim->Vis = false;
  s.anim->DoProcess();  // invisible: nothing at all
  EXPECT_TRUE(s.anim->Active);
  EXPECT_EQ(s.scripts.runs.size(), 2u);
}

TEST(AnimPlayback, WithoutKeysThereAreNoFrames) {
  AnimStage s;
  s.anim->BuildFrames();
  EXPECT_EQ(s.anim->FrameCount(), 0);
  EXPECT_EQ(s.anim->Pos(), -1);
  s.anim->Active = true;
  s.anim->DoProcess();
  EXPECT_FALSE(s.anim->Active);
}

TEST(AnimNames, KeyPositionsAndCount) {
  AnimStage s;
  s.anim->SetX(100);
  s.Pic(s.Key(2), "", 10, 20);
  s.anim->BuildFrames();
  ScriptValue v;
  ASSERT_TRUE(s.anim->GetPropValue("COUNT", v));
  EXPECT_EQ(v.IntValue(), 3);
  ASSERT_TRUE(s.anim->GetPropValue("KEYX", v));
  EXPECT_DOUBLE_EQ(v.FloatValue(), 100 + 15);
  ASSERT_TRUE(s.anim->GetPropValue("KEYY[1]", v));
  EXPECT_DOUBLE_EQ(v.FloatValue(), 25);
  ASSERT_TRUE(s.anim->GetPropValue("KEYX[0]", v));
  EXPECT_EQ(v, ScriptValue::Int(0));
  EXPECT_FALSE(s.anim->GetPropValue("KEYX[a]", v));
}

TEST(AnimDrawing, ShowAnDrawsTheCurrentFrameEmbeddedOnesTheirOwn) {
  AnimStage s;
  s.Pic(s.Key(1), "", 0, 0);
  s.Pic(s.Key(1), "", 40, 0);
  s.anim->BuildFrames();
  s.anim->ShowAn = true;
  auto* screen = s.Add<TQXScreen>(s.root.get(), "S", 2);
  auto* ex = s.Add<TQXExAnim>(screen, "EX", 3);
  ex->SetobAnim(1);
  ex->SetX(500);
  ex->SetPos(9);  // past the end, no Rep: the target's last frame
  EXPECT_EQ(ex->Pos(), 3);
  ex->SetPos(2);
  s.Draw([&] {
    s.anim->Render(0, 0xFFFFFFFF, 0, 0, false);
    screen->Render(0, 0xFFFFFFFF, 0, 0, false);
  });
  std::vector<float> xs;
  for (const auto& d : s.gfx.draws) {
    if (d.texture) xs.push_back(d.vertices[0].x);
  }
  ASSERT_EQ(xs.size(), 2u);
  EXPECT_FLOAT_EQ(xs[0], -0.5f);       // the animation at frame 0
  EXPECT_FLOAT_EQ(xs[1], 540 - 0.5f);  // the embedded one at frame 2
}

TEST(Spline, TwoSamplesAreAStraightLine) {
  CubicSpline line({0, 10}, {0, 100});
  EXPECT_NEAR(line(5), 50, 1e-9);
  EXPECT_NEAR(line(20), 200, 1e-9);  // the end segment goes on
  CubicSpline empty({1}, {1});
  EXPECT_TRUE(empty.Empty());
}

}  // namespace
}  // namespace qx
