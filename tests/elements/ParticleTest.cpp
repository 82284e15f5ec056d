// Particle systems and effect elements: emission, motion, life, colours, moves, drawing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "base/Random.h"
#include "elements/QXEffect.h"
#include "elements/QXShape.h"
#include "resources/GfxImage.h"
#include "runtime/ParticleSystem.h"
#include "scene/MediaStage.h"

namespace qx {
namespace {

template <class T>
void Put(std::string& record, size_t at, T v) {
  static_assert(sizeof(T) == 4);
  std::memcpy(&record[at], &v, 4);
}

// A parameter record with a rate, a duration and a fixed life.
std::string Record(int rate, float duration, float life, float middle = 0.5f) {
  std::string r(kEffectRecordSize, '\0');
  auto putI = [&](size_t at, int32_t v) { std::memcpy(&r[at], &v, 4); };
  auto putF = [&](size_t at, float v) { std::memcpy(&r[at], &v, 4); };
  putI(0, 3);   // first pattern
  putI(4, -1);  // the pattern does not change
  putI(12, 260);
  putI(16, rate);
  putF(20, duration);
  putF(24, life);
  putF(28, life);
  putF(76, 1), putF(80, 2), putF(84, 4);  // scale at spawn, middle, end
  putI(108, static_cast<int32_t>(0x80FFFFFFu));
  putI(112, static_cast<int32_t>(0xFFFFFFFFu));
  putI(116, static_cast<int32_t>(0x00FFFFFFu));
  putF(124, 1.0f);  // alpha variation
  putF(128, middle);
  return r;
}

TEST(ParticleSystem, NoDurationNoEmission) {
  TXParticleSystem ps(100, nullptr);
  ps.LoadFromData(Record(45, 0, 1));
  ps.StartEmission();
  EXPECT_EQ(ps.EmissionClock(), -1);
  ps.Advance(1.0f / 30);
  EXPECT_EQ(ps.Count(), 0);
}

TEST(ParticleSystem, AHugeRateFillsTheSystemAndNoMore) {
  TXParticleSystem ps(100, nullptr);
  ps.LoadFromData(Record(INT32_MAX, 1000, 10000));
  ps.StartEmission();
  ps.Advance(100.0f);  // 2 x 10^11 spawns are due: more than an int counts
  EXPECT_EQ(ps.Count(), 100);
  ps.Advance(1.0f / 30);
  EXPECT_EQ(ps.Count(), 100);
}

TEST(ParticleSystem, AnEndlessLifeWithoutAMiddleKeepsTheColoursNumbers) {
  TXParticleSystem ps(10, nullptr);
  ps.LoadFromData(Record(30, 10, std::numeric_limits<float>::infinity(), 0));  // middle time inf x 0
  ps.StartEmission();
  ps.Advance(1.0f / 30);
  ps.Advance(1.0f / 30);
  ASSERT_GT(ps.Count(), 0);
  for (const float channel : ps.At(0).color) EXPECT_FALSE(std::isnan(channel));
}

TEST(ParticleSystem, RatesRoundToNearestAndCarryTheRemainder) {
  TXParticleSystem ps(100, nullptr);
  ps.LoadFromData(Record(45, 10, 100));
  ps.StartEmission();
  std::vector<int> spawned;
  for (int i = 0; i < 6; ++i) {
    const int before = ps.Count();
    ps.Advance(1.0f / 30);
    spawned.push_back(ps.Count() - before);
  }
  EXPECT_EQ(spawned, (std::vector<int>{2, 1, 2, 1, 2, 1}));
}

TEST(ParticleSystem, LifeMiddleAndPatterns) {
  SeedRandom(1);
  TXParticleSystem ps(10, nullptr);
  ps.LoadFromData(Record(30, 0.05f, 1.0f));
  ps.StartEmission();
  ps.Advance(1.0f / 30);  // one particle
  ASSERT_EQ(ps.Count(), 1);
  EXPECT_EQ(ps.At(0).frame, 3);
  EXPECT_FLOAT_EQ(ps.At(0).scaleRate, (2 - 1) / 0.5f);
  for (int i = 0; i < 15; ++i) ps.Advance(1.0f / 30);  // crosses the middle time in the 15th step
  EXPECT_FLOAT_EQ(ps.At(0).scaleRate, (4 - ps.At(0).scale) / 0.5f);
  EXPECT_EQ(ps.At(0).frame, 3);  // last pattern -1: the pattern stays
  for (int i = 0; i < 20; ++i) ps.Advance(1.0f / 30);
  EXPECT_EQ(ps.Count(), 0);  // past its life
}

TEST(ParticleSystem, AlphaIsHeldBelowFull) {
  TXParticleSystem ps(10, nullptr);
  std::string r = Record(30, 0.05f, 10);  // middle at 5 s
  const int32_t clear = 0x00FFFFFF, bright = static_cast<int32_t>(0xFFFFFFFFu);
  std::memcpy(&r[108], &clear, 4);
  std::memcpy(&r[112], &bright, 4);
  std::memcpy(&r[116], &bright, 4);
  const float none = 0;
  std::memcpy(&r[124], &none, 4);  // every particle starts at the spawn alpha
  ps.LoadFromData(r);
  ps.StartEmission();
  ps.Advance(1.0f / 30);
  ASSERT_EQ(ps.Count(), 1);
  EXPECT_EQ(ps.At(0).color[3], 0);
  ps.Advance(6);  // past the middle in one step: 0 + 51 x 6 would be 306
  EXPECT_EQ(ps.At(0).color[3], 254);
  EXPECT_EQ(ps.At(0).color[0], 255);
}

TEST(ParticleSystem, AMovingEmitterSpreadsItsNewParticlesAlongThePath) {
  SeedRandom(3);
  TXParticleSystem ps(1000, nullptr);
  ps.LoadFromData(Record(3000, 10, 10));
  ps.StartEmission();
  ps.Advance(1.0f / 30);
  ps.PlaceAt({100, 0}, false);
  const int before = ps.Count();
  ps.Advance(1.0f / 30);
  float lo = 1e9f, hi = -1e9f;
  for (int i = before; i < ps.Count(); ++i) {
    lo = std::min(lo, ps.At(i).position.x);
    hi = std::max(hi, ps.At(i).position.x);
  }
  EXPECT_LT(lo, 10);
  EXPECT_GT(hi, 90);
}

TEST(ParticleSystem, StoppingLetsParticlesLiveBreakingRemovesThem) {
  TXParticleSystem ps(100, nullptr);
  ps.LoadFromData(Record(300, 10, 10));
  ps.StartEmission();
  ps.Advance(1.0f / 30);
  const int live = ps.Count();
  ASSERT_GT(live, 0);
  ps.StopEmission(false);
  ps.Advance(1.0f / 30);
  EXPECT_EQ(ps.Count(), live);
  ps.StopEmission(true);
  EXPECT_EQ(ps.Count(), 0);
}

TEST(ParticleSystem, CapacityAndShortRecords) {
  TXParticleSystem ps(5, nullptr);
  ps.LoadFromData(Record(3000, 10, 10));
  ps.StartEmission();
  ps.Advance(1.0f);
  EXPECT_EQ(ps.Count(), 5);
  TXEffectParams p;
  EXPECT_TRUE(ParseEffectRecord(Record(7, 1, 1).substr(0, 20), p));
  EXPECT_EQ(p.emissionRate, 7);
  EXPECT_EQ(p.duration, 0);  // beyond the short file: zero
  EXPECT_FALSE(ParseEffectRecord("", p));
}

TEST(EffectElement, LoadsItsFileAdvancesWithDAnimAndEndsByItself) {
  test::MediaStage s;
  s.Text("fx\\..\\spark.eff", "");  // a name that stays outside: never read
  s.Text("spark.eff", Record(30, 0.1f, 0.2f));
  auto* screen = s.Add<TQXScreen>(s.root.get(), "S", 1);
  auto* fx = s.Add<TQXEffect>(screen, "FX", 2);
  fx->SetEffectFN("SPARK.EFF");
  ASSERT_NE(fx->System(), nullptr);
  fx->DAnim = 1;
  fx->SetActive(true);
  fx->DoProcess();
  ASSERT_EQ(fx->System()->Count(), 1);
  EXPECT_FLOAT_EQ(fx->System()->At(0).age, 0);  // spawned at the end of the step
  fx->DoProcess();
  EXPECT_NEAR(fx->System()->At(0).age, 1.0 / 30, 1e-6);
  for (int i = 0; i < 20; ++i) fx->DoProcess();
  EXPECT_FALSE(fx->Active());  // emission over and every particle gone
  TXParticleSystem* first = fx->System();
  fx->SetEffectFN("spark.eff");
  EXPECT_NE(fx->System(), first);
}

TEST(EffectElement, MovesRestartARunningEmitter) {
  test::MediaStage s;
  s.Text("spark.eff", Record(30, 10, 10));
  auto* screen = s.Add<TQXScreen>(s.root.get(), "S", 1);
  auto* fx = s.Add<TQXEffect>(screen, "FX", 2);
  fx->SetEffectFN("spark.eff");
  fx->DAnim = 1;
  fx->SetActive(true);
  for (int i = 0; i < 3; ++i) fx->DoProcess();
  fx->SetX(50);
  EXPECT_EQ(fx->System()->position.x, 50);
  EXPECT_GT(fx->System()->EmissionClock(), 0);  // not restarted by X
  fx->SetRealPos(80, 0);
  EXPECT_EQ(fx->System()->EmissionClock(), 0);  // restarted
}

// --- drawing ----------------------------------------------------------------------------

// A record for drawing: particles that stand still, keep scale 1 and angle 0, live 100 s
// and keep the spawn colour; one particle a step at 30 steps a second.
std::string StillRecord(uint32_t colour) {
  std::string r(kEffectRecordSize, '\0');
  Put(r, 0, int32_t{0});
  Put(r, 4, int32_t{-1});
  Put(r, 12, int32_t{260});
  Put(r, 16, int32_t{30});
  Put(r, 20, 1000.0f);
  Put(r, 24, 100.0f), Put(r, 28, 100.0f);
  Put(r, 76, 1.0f), Put(r, 80, 1.0f), Put(r, 84, 1.0f);
  Put(r, 108, colour), Put(r, 112, colour), Put(r, 116, colour);
  Put(r, 128, 0.5f);
  return r;
}

// One drawn particle, read back from the quad the canvas queued.
struct Sprite {
  float x, y;      // centre
  float width;     // length of the top edge
  uint32_t color;  // runtime order
  TextureHandle texture;
  float u;  // left texture coordinate
  bool additive;
};

// The recording back end with a pattern texture of `frames` 4 x 4 frames held by a manager,
// as the root's particle manager holds "particles.bmp".
struct DrawStage : test::MediaStage {
  std::unique_ptr<TGfxImage> picture;
  TQXIm entry;
  TXParticleManager manager{&canvas, &device};  // 1024 x 768

  explicit DrawStage(int frames = 6) {
    TBitmap bmp;
    bmp.width = 4 * frames;
    bmp.height = 4;
    bmp.bitsPerPixel = 32;
    bmp.hasAlpha = true;
    bmp.pixels.assign(static_cast<size_t>(bmp.width) * 4, 0xFFFFFFFFu);
    picture = std::make_unique<TGfxImage>(&gfx);
    picture->SetFrameLayout(4, 4, frames);
    EXPECT_TRUE(picture->LoadFromBitmap(bmp));
    entry.Image = picture.get();
    manager.SetImage(&entry);
  }
  // Spawns one particle exactly at (x, y); emission is off afterwards.
  static void EmitAt(TXParticleSystem& ps, float x, float y) {
    ps.StopEmission(false);
    ps.PlaceAt({x, y}, false);
    ps.StartEmission();
    ps.Advance(1.0f / 30);
    ps.StopEmission(false);
  }
  std::vector<Sprite> Drawn(const TXParticleSystem& ps, float dx, float dy, uint32_t mask) {
    gfx.draws.clear();
    Draw([&] { ps.Draw(canvas, dx, dy, mask); });
    return Sprites();
  }
  std::vector<Sprite> Sprites() const {
    std::vector<Sprite> out;
    for (const NullGfx::Draw& d : gfx.draws) {
      if (d.texture == 0) continue;
      for (size_t q = 0; q + 3 < d.vertices.size(); q += 4) {
        const GfxVertex* v = &d.vertices[q];
        Sprite sp{};
        sp.x = (v[0].x + v[1].x + v[2].x + v[3].x) / 4 + 0.5f;
        sp.y = (v[0].y + v[1].y + v[2].y + v[3].y) / 4 + 0.5f;
        sp.width = std::hypot(v[1].x - v[0].x, v[1].y - v[0].y);
        sp.color = ToRuntimeColor(v[0].color);
        sp.texture = d.texture;
        sp.u = std::min({v[0].u, v[1].u, v[2].u, v[3].u});
        sp.additive = d.state.dst == BlendFactor::One;
        out.push_back(sp);
      }
    }
    return out;
  }
  // Whether a sprite shows `frame` of the pattern picture.
  bool ShowsFrame(const Sprite& sp, int frame) const {
    TFramePlace place;
    if (!picture->FramePlace(frame, place)) return false;
    return sp.texture == picture->Texture(place.texture) &&
           std::fabs(sp.u - static_cast<float>(place.left) / picture->TextureWidth()) < 1e-6f;
  }
};

TEST(ParticleDraw, OnlyParticlesWhollyOffTheDeviceAreCulled) {
  DrawStage s;
  TXParticleSystem ps(100, &s.manager);
  ps.LoadFromData(StillRecord(0xFFFFFFFFu));
  // Stored 10 left of and 5 above where they are drawn: the offset counts for culling.
  const float at[][2] = {{-4, 300},   {-4.25f, 300}, {1028, 300}, {1028.25f, 300},
                         {500, -4},   {500, -4.25f}, {500, 772},  {500, 772.25f}};
  for (const auto& p : at) DrawStage::EmitAt(ps, p[0] - 10, p[1] - 5);
  ASSERT_EQ(ps.Count(), 8);
  const std::vector<Sprite> drawn = s.Drawn(ps, 10, 5, 0xFFFFFFFFu);
  ASSERT_EQ(drawn.size(), 4u);
  EXPECT_FLOAT_EQ(drawn[0].x, -4);  // touching the left edge from outside
  EXPECT_FLOAT_EQ(drawn[1].x, 1028);
  EXPECT_FLOAT_EQ(drawn[2].y, -4);
  EXPECT_FLOAT_EQ(drawn[3].y, 772);
  EXPECT_FLOAT_EQ(drawn[0].width, 4);
  EXPECT_TRUE(drawn[0].additive);  // the record's code 260
}

TEST(ParticleDraw, CullingAndSizeFollowTheParticleScale) {
  DrawStage s;
  TXParticleSystem ps(100, &s.manager);
  std::string r = StillRecord(0xFFFFFFFFu);
  Put(r, 76, 2.0f), Put(r, 80, 2.0f), Put(r, 84, 2.0f);
  ps.LoadFromData(r);
  DrawStage::EmitAt(ps, -8, 100);
  DrawStage::EmitAt(ps, -8.25f, 100);
  const std::vector<Sprite> drawn = s.Drawn(ps, 0, 0, 0xFFFFFFFFu);
  ASSERT_EQ(drawn.size(), 1u);
  EXPECT_FLOAT_EQ(drawn[0].x, -8);
  EXPECT_FLOAT_EQ(drawn[0].width, 8);
}

TEST(ParticleDraw, ColoursArePackedRoundedAndMasked) {
  DrawStage s;
  TXParticleSystem ps(10, &s.manager);
  // Red 10 at spawn and 30 at the middle (2 s): 10 a second; the rest stays.
  std::string r = StillRecord(0x8040200Au);
  Put(r, 24, 4.0f), Put(r, 28, 4.0f);
  Put(r, 112, uint32_t{0x8040201Eu});
  ps.LoadFromData(r);
  DrawStage::EmitAt(ps, 100, 100);
  ps.Advance(0.07f);  // red 10.7
  ASSERT_EQ(ps.Count(), 1);
  EXPECT_EQ(s.Drawn(ps, 0, 0, 0xFFFFFFFFu)[0].color, 0x8040200Bu);
  EXPECT_EQ(s.Drawn(ps, 0, 0, 0xFF00FFFFu)[0].color, 0x8000200Bu);
  EXPECT_EQ(s.Drawn(ps, 0, 0, 0x00FFFFFFu)[0].color, 0x0040200Bu);
}

TEST(ParticleDraw, NewestFirstWhenTheRecordAsks) {
  DrawStage s;
  for (const bool newestFirst : {false, true}) {
    TXParticleSystem ps(10, &s.manager);
    std::string r = StillRecord(0xFFFFFFFFu);
    r[132] = newestFirst ? 1 : 0;
    ps.LoadFromData(r);
    for (float x : {100.0f, 200.0f, 300.0f}) DrawStage::EmitAt(ps, x, 100);
    const std::vector<Sprite> drawn = s.Drawn(ps, 0, 0, 0xFFFFFFFFu);
    ASSERT_EQ(drawn.size(), 3u);
    EXPECT_FLOAT_EQ(drawn[0].x, newestFirst ? 300 : 100) << newestFirst;
    EXPECT_FLOAT_EQ(drawn[2].x, newestFirst ? 100 : 300) << newestFirst;
  }
}

TEST(ParticleDraw, ThePatternIsTheFrameTruncated) {
  DrawStage s(6);
  TXParticleSystem ps(10, &s.manager);
  std::string r = StillRecord(0xFFFFFFFFu);
  Put(r, 0, int32_t{1}), Put(r, 4, int32_t{5});  // patterns 1 to 5 over a life of 2 s
  Put(r, 24, 2.0f), Put(r, 28, 2.0f);
  ps.LoadFromData(r);
  DrawStage::EmitAt(ps, 100, 100);
  EXPECT_TRUE(s.ShowsFrame(s.Drawn(ps, 0, 0, 0xFFFFFFFFu)[0], 1));
  ps.Advance(0.75f);  // frame 2.5
  EXPECT_TRUE(s.ShowsFrame(s.Drawn(ps, 0, 0, 0xFFFFFFFFu)[0], 2));
  ps.Advance(0.5f);  // frame 3.5
  EXPECT_TRUE(s.ShowsFrame(s.Drawn(ps, 0, 0, 0xFFFFFFFFu)[0], 3));
}

TEST(ParticleDraw, PatternsBeyondTheIntegerRangeStayOnTheirSide) {
  DrawStage s(6);
  TXParticleSystem ps(10, &s.manager);
  std::string r = StillRecord(0xFFFFFFFFu);
  Put(r, 0, int32_t{2147483647});  // as a float frame: 2^31, past every pattern
  ps.LoadFromData(r);
  DrawStage::EmitAt(ps, 100, 100);
  EXPECT_TRUE(s.ShowsFrame(s.Drawn(ps, 0, 0, 0xFFFFFFFFu)[0], 5));  // the last pattern
  // From the lowest pattern to 5: the frame runs upwards.
  TXParticleSystem up(10, &s.manager);
  Put(r, 0, int32_t{-2147483647 - 1}), Put(r, 4, int32_t{5});
  up.LoadFromData(r);
  DrawStage::EmitAt(up, 100, 100);
  EXPECT_GT(up.At(0).frameRate, 0);
  EXPECT_TRUE(s.ShowsFrame(s.Drawn(up, 0, 0, 0xFFFFFFFFu)[0], 0));
}

TEST(ParticleDraw, NothingWithoutParticlesOrTexture) {
  DrawStage s;
  TXParticleSystem ps(10, &s.manager);
  ps.LoadFromData(StillRecord(0xFFFFFFFFu));
  EXPECT_TRUE(s.Drawn(ps, 0, 0, 0xFFFFFFFFu).empty());
  DrawStage::EmitAt(ps, 100, 100);
  s.entry.Image = nullptr;  // the picture was released
  EXPECT_TRUE(s.Drawn(ps, 0, 0, 0xFFFFFFFFu).empty());
}

TEST(EffectElement, RendersChildrenThenItsParticlesOnItsLayerInItsTint) {
  DrawStage s;
  s.root->Particles()->SetImage(&s.entry);
  s.Text("glow.eff", StillRecord(0x80FFFFFFu));
  auto* screen = s.Add<TQXScreen>(s.root.get(), "S", 1);
  auto* fx = s.Add<TQXEffect>(screen, "FX", 2);
  auto* under = s.Add<TQXShape>(fx, "UNDER", 3);
  under->SetOrder(4);
  fx->SetEffectFN("glow.eff");
  fx->SetX(100);
  fx->SetY(50);
  fx->SethxColor(0x00FF00);  // green only
  fx->SetOrder(4);
  fx->DAnim = 1;
  fx->SetActive(true);
  fx->DoProcess();
  ASSERT_EQ(fx->System()->Count(), 1);
  s.canvas.SetAntialias(false);
  s.gfx.draws.clear();
  s.Draw([&] { fx->Render(4, 0xFFFFFFFF, 10.5, 11.5, false); });
  ASSERT_EQ(s.gfx.draws.size(), 2u);
  EXPECT_EQ(s.gfx.draws[0].texture, 0u);  // the child first
  EXPECT_EQ(s.gfx.draws[0].vertices[0].x, 110);  // at the effect's origin: round(10.5 + 100)
  const std::vector<Sprite> drawn = s.Sprites();
  ASSERT_EQ(drawn.size(), 1u);
  // The offset is rounded (ties to even); the element's own position is not added again.
  EXPECT_FLOAT_EQ(drawn[0].x, 110);
  EXPECT_FLOAT_EQ(drawn[0].y, 62);
  EXPECT_EQ(drawn[0].color, 0x8000FF00u);  // the tint masks the colour, alpha stays
  EXPECT_TRUE(s.gfx.draws[1].state.linearFilter);
  EXPECT_TRUE(s.canvas.Antialias());
  s.gfx.draws.clear();
  s.canvas.SetAntialias(false);
  s.Draw([&] { fx->Render(3, 0xFFFFFFFF, 0, 0, false); });  // another layer: nothing
  EXPECT_TRUE(s.gfx.draws.empty());
  EXPECT_FALSE(s.canvas.Antialias());
}

}  // namespace
}  // namespace qx
