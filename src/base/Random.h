// The runtime's one random generator. Every random choice goes through it, so a run with
// --seed N is reproducible.
#pragma once

#include <cstdint>
#include <random>

namespace qx {

void SeedRandom(uint64_t seed);
// Seeds from the system's entropy (the default when no --seed is given).
void SeedRandomFromSystem();
std::mt19937_64& RandomGenerator();

}  // namespace qx
