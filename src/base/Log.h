// Runtime diagnostics on stderr: quiet by default, detailed with --verbose.
#pragma once

#include <string_view>

namespace qx {

// When false (the default) only errors are printed; --verbose turns on detail lines.
void SetVerbose(bool on);
bool IsVerbose();

// One line on stderr, prefixed by a short tag ("archive", "gl", "game" ...).
void LogError(std::string_view tag, std::string_view message);
// Printed only in verbose mode.
void LogDetail(std::string_view tag, std::string_view message);
// A line identical to the one printed before it is not printed again; the count follows as
// "(the line above repeated N times)" before the next different line, or here (at close).
void FlushDiagnostics();
// As LogDetail, but each distinct line only the first time: for what is looked up again and
// again (a missing picture at every screen change, an unknown sound at every click).
void LogDetailOnce(std::string_view tag, std::string_view message);

}  // namespace qx
