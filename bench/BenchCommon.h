// What every benchmark needs: a clock in milliseconds, the median of a run, and the one count
// most of them take from their command line.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace qx::bench {

inline double NowMs() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

inline double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// `OPTION N` (at least 1) as the only argument, else `fallback`; anything else prints the
// usage line and ends the program with status 2.
inline int CountOption(int argc, char** argv, const char* option, int fallback) {
  int n = fallback;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], option) && i + 1 < argc) {
      n = std::max(1, std::atoi(argv[++i]));
    } else {
      std::fprintf(stderr, "usage: %s [%s N]\n", argv[0], option);
      std::exit(2);
    }
  }
  return n;
}

}  // namespace qx::bench
