// Particle systems and effect elements: emission, motion, life, colours, moves.
#include <gtest/gtest.h>

#include <cstring>

#include "base/Random.h"
#include "elements/ParticleSystem.h"
#include "elements/QXEffect.h"
#include "scene/MediaStage.h"

namespace qx {
namespace {

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

}  // namespace
}  // namespace qx
