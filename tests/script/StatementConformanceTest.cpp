// Runs the statement conformance cases on one interpreter with the parsed statement and
// expression caches, and with both off (statements found in the text as they run).
#include <gtest/gtest.h>

#include "ConformanceCases.h"

namespace qx::test {
namespace {

// No elements; script files come from the cases' folder; the log is kept in memory.
class CaseHost : public PlainScriptHost {
 public:
  CaseHost() : PlainScriptHost(ConformanceFolder()) { SetHost(this); }
  ~CaseHost() override { SetHost(nullptr); }
  void AppendErrorLog(const std::string& line) override { log.push_back(line); }
  std::vector<std::string> log;
};

std::vector<std::string> RunCase(const ConformanceCase& c, bool cached, std::vector<std::string>* log = nullptr) {
  CaseHost host;
  TScriptEngine engine;
  engine.SetStatementCache(cached);
  engine.SetExpressionCache(cached);
  const TokenStream program = engine.Prepare(c.script);
  const bool ok = !engine.Failed() && engine.Run(program);
  if (log) *log = host.log;
  return ConformanceOutcome(engine, ok);
}

TEST(StatementConformance, EveryCaseLeavesItsVariablesOrError) {
  const std::vector<ConformanceCase> cases = LoadConformanceCases();
  ASSERT_GT(cases.size(), 100u);
  for (bool cached : {true, false}) {
    for (const ConformanceCase& c : cases) {
      const std::vector<std::string> got = RunCase(c, cached);
      EXPECT_EQ(got, c.expected) << c.file << ":" << c.line << " " << c.name << (cached ? " [parsed]" : " [direct]")
                                 << "\nexpected:\n" << JoinLines(c.expected) << "got:\n" << JoinLines(got);
    }
  }
}

TEST(StatementConformance, OnlyTheFirstErrorIsLogged) {
  for (const ConformanceCase& c : LoadConformanceCases()) {
    std::vector<std::string> log;
    RunCase(c, true, &log);
    const bool failed = !c.expected.empty() && c.expected[0].rfind("error ", 0) == 0;
    EXPECT_EQ(log.size(), failed ? 1u : 0u) << c.file << ":" << c.line << " " << c.name;
  }
}

}  // namespace
}  // namespace qx::test
