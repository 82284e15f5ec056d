// Script texts two benchmarks run: the statement benchmark beside Lua, and the same scripts
// as an element's event.
#pragma once

namespace qx::bench {

inline constexpr const char* kLoopScript =
    "I := 0; S := 0;\n"
    "FOR I := 1 TO 1000000 DO BEGIN\n"
    "  S := S + 7;\n"
    "  IF S > 1000 THEN S := S - 1000\n"
    "END";

inline constexpr const char* kCallScript =
    "FUNCTION ADD(A, B);\n"
    "  RESULT := A + B;\n"
    "I := 0; S := 0;\n"
    "FOR I := 1 TO 200000 DO S := ADD(S, 1)";

}  // namespace qx::bench
