// Statement execution speed: four workloads as scripts, beside the same workloads as Lua 5.4
// scripts (bench/workload_*.lua) run by lua5.4 in the same bench run. Prints each workload's
// best processor time (preparing included) and the ratio to Lua; the statement cache off
// for contrast.
//   bench/run_script_bench.sh [BUILD_DIR] [REPS]        (installs lua5.4 when missing)
//   build/bench/bench_statements [--lua PATH] [--reps N] [--no-direct] [--only a-e]
// (--only runs one workload, for a profiler such as callgrind.)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "CpuClock.h"
#include "ScriptWorkloads.h"
#include "script/lib/scriptfuncs.h"
#include "script/scriptengine.h"

namespace {

using namespace qx;
using bench::CpuMs;

struct Workload {
  const char* title;
  const char* lua;     // file beside this source
  std::string script;
  const char* result;  // the variable holding the result
};

// 300 variables before the main loop, as a game's scripts have many.
std::string ManyVariables() {
  std::string text;
  for (int i = 1; i <= 300; ++i) text += "V" + std::to_string(i) + " := " + std::to_string(i) + ";\n";
  return text;
}

const Workload kWorkloads[] = {
    {"(a) FOR loop, 1,000,000 passes: add and IF", "workload_loop.lua", bench::kLoopScript, "S"},
    {"(b) 100,000 concatenations with IntToStr", "workload_concat.lua",
     "I := 0; S := '';\n"
     "FOR I := 1 TO 100000 DO S := 'item ' + IntToStr(I)",
     "S"},
    {"(c) 200,000 calls of a declared FUNCTION", "workload_call.lua", bench::kCallScript, "S"},
    {"(d) 9 x 9 array grid scanned 10,000 times", "workload_grid.lua",
     "X := 0; Y := 0; K := 0; C := 0;\n"
     "FOR X := 1 TO 9 DO FOR Y := 1 TO 9 DO G[X, Y] := (X * Y) AND 3;\n"
     "FOR K := 1 TO 10000 DO\n"
     "  FOR X := 1 TO 8 DO\n"
     "    FOR Y := 1 TO 8 DO BEGIN\n"
     "      IF G[X, Y] = G[X + 1, Y] THEN C := C + 1;\n"
     "      IF G[X, Y] = G[X, Y + 1] THEN C := C + 1\n"
     "    END",
     "C"},
    {"(e) 100,000 calls among 300 variables", "workload_many.lua",
     "FUNCTION NEXT(A);\n"
     "  RESULT := A + 1;\n"
     "I := 0; S := 0; T := '';\n" +
         ManyVariables() +
         "FOR I := 1 TO 100000 DO BEGIN\n"
         "  S := NEXT(S);\n"
         "  T := IntToStr(S)\n"
         "END",
     "S"},
};

void SetUp(TScriptEngine& engine) { RegisterStandardFunctions(engine); }

// Best time in ms of `reps` runs (prepare and run), and the result's text.
double RunOurs(const Workload& w, bool statementCache, int reps, std::string& result) {
  TScriptEngine engine;
  SetUp(engine);
  engine.SetStatementCache(statementCache);
  engine.SetExpressionCache(statementCache);
  double best = 1e300;
  for (int i = 0; i < reps; ++i) {
    engine.Vars().Clear();
    const double start = CpuMs();
    const TokenStream program = engine.Prepare(w.script);
    const bool ok = engine.Run(program);
    const double ms = CpuMs() - start;
    if (!ok) {
      result = "error: " + engine.ErrorMessage();
      return ms;
    }
    best = std::min(best, ms);
  }
  TVar v;
  result = engine.ReadVar(w.result, v) ? v.Value.ToText() : "?";
  return best;
}

// lua5.4 prints "BEST_MS RESULT".
bool RunLua(const std::string& lua, const Workload& w, int reps, double& ms, std::string& result) {
  // A relative source path is relative to the build folder (the parent of bench/), wherever
  // the benchmark is started from.
  std::filesystem::path source(__FILE__);
  if (source.is_relative()) {
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) source = self.parent_path().parent_path() / source;
  }
  const std::string script = (source.parent_path() / w.lua).string();
  const std::string command = "\"" + lua + "\" \"" + script + "\" " + std::to_string(reps) + " 2>&1";
  FILE* p = popen(command.c_str(), "r");
  if (!p) return false;
  char line[512] = {};
  const bool read = std::fgets(line, sizeof line, p) != nullptr;
  const int status = pclose(p);
  if (!read || status != 0) return false;
  std::string text = line;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  const size_t space = text.find(' ');
  if (space == std::string::npos || std::sscanf(text.c_str(), "%lf", &ms) != 1) return false;
  result = text.substr(space + 1);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string lua = "lua5.4";
  int reps = 5;
  bool direct = true;
  char only = 0;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--lua") && i + 1 < argc) lua = argv[++i];
    else if (!std::strcmp(argv[i], "--reps") && i + 1 < argc) reps = std::max(1, std::atoi(argv[++i]));
    else if (!std::strcmp(argv[i], "--no-direct")) direct = false;
    else if (!std::strcmp(argv[i], "--only") && i + 1 < argc && argv[i + 1][0] >= 'a' && argv[i + 1][0] <= 'e')
      only = argv[++i][0];
    else {
      std::fprintf(stderr, "usage: %s [--lua PATH] [--reps N] [--no-direct] [--only a-e]\n", argv[0]);
      return 2;
    }
  }
  std::printf("%-46s %12s %12s %8s %14s\n", "workload (best of runs)", "qxrun ms", "lua5.4 ms", "ratio",
              "uncached ms");
  bool allMatch = true;
  for (const Workload& w : kWorkloads) {
    if (only && w.title[1] != only) continue;
    std::string ours, theirs, uncachedResult;
    const double ms = RunOurs(w, true, reps, ours);
    double luaMs = 0;
    const bool haveLua = RunLua(lua, w, reps, luaMs, theirs);
    std::string ratio = "-", luaText = "(no lua)";
    if (haveLua) {
      char buf[32];
      std::snprintf(buf, sizeof buf, "%.2f", ms / luaMs);
      ratio = buf;
      std::snprintf(buf, sizeof buf, "%.2f", luaMs);
      luaText = buf;
      if (theirs != ours) {
        std::printf("  results differ: ours %s, lua %s\n", ours.c_str(), theirs.c_str());
        allMatch = false;
      }
    }
    std::string uncached = "-";
    if (direct) {
      char buf[32];
      std::snprintf(buf, sizeof buf, "%.1f", RunOurs(w, false, 1, uncachedResult));
      uncached = buf;
    }
    std::printf("%-46s %12.2f %12s %8s %14s\n", w.title, ms, luaText.c_str(), ratio.c_str(), uncached.c_str());
  }
  return allMatch ? 0 : 1;
}
