// Replay files (--replay): every event read is written as a line the reader takes back as the
// same event.
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "shell/Replay.h"

using namespace qx;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<ReplayEvent> events;
  std::string error;
  if (!ParseReplay(std::string(fuzz::AsText(data, size)), events, error)) {
    QX_FUZZ_CHECK(!error.empty());
    return 0;
  }
  std::string written;
  for (const ReplayEvent& e : events) {
    if (e.kind != ReplayEvent::Kind::Input) continue;
    const std::string line = FormatReplayLine(e.tick, e.input);
    QX_FUZZ_CHECK(!line.empty());
    written += line + "\n";
  }
  std::vector<ReplayEvent> again;
  QX_FUZZ_CHECK(ParseReplay(written, again, error));
  size_t i = 0;
  for (const ReplayEvent& e : events) {
    if (e.kind != ReplayEvent::Kind::Input) continue;
    QX_FUZZ_CHECK(i < again.size());
    const ReplayEvent& a = again[i++];
    QX_FUZZ_CHECK(a.tick == e.tick && a.kind == e.kind);
    QX_FUZZ_CHECK(FormatReplayLine(a.tick, a.input) == FormatReplayLine(e.tick, e.input));
  }
  QX_FUZZ_CHECK(i == again.size());
  return 0;
}
