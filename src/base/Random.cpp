#include "base/Random.h"

namespace qx {
namespace {
std::mt19937_64 gGenerator{0x5158u};
}

void SeedRandom(uint64_t seed) { gGenerator.seed(seed); }

void SeedRandomFromSystem() {
  std::random_device rd;
  gGenerator.seed((uint64_t{rd()} << 32) ^ rd());
}

std::mt19937_64& RandomGenerator() { return gGenerator; }

}  // namespace qx
