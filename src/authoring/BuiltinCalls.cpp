// The argument counts each built-in checks before it looks at the values. A test calls every
// built-in with the counts listed here as refused and requires the run to fail, and requires
// every registered built-in to be in one of the two lists.
#include "authoring/BuiltinCalls.h"

#include <algorithm>

namespace qx {

const std::vector<ArgumentCount>& BuiltinArgumentCounts() {
  static const std::vector<ArgumentCount> table = {
      // standard: conversions and strings
      {"VAL", 3, 3}, {"CHAR", 1, 1}, {"INTTOSTR", 1, 1}, {"STRTOINT", 1, 1}, {"FLOATTOSTR", 1, 1},
      {"STRTOFLOAT", 1, 1}, {"COPY", 3, 3}, {"POSS", 2, 2}, {"LENGTH", 1, 1}, {"INSERT", 3, 3},
      {"DELETE", 3, 3}, {"TRIM", 1, 1}, {"TRIMLEFT", 1, 1}, {"TRIMRIGHT", 1, 1}, {"UPPERCASE", 1, 1},
      {"LOWERCASE", 1, 1}, {"FORMAT", 2, -1},
      // dates and times
      {"NOW", 0, 0}, {"DATE", 0, 0}, {"TIME", 0, 0}, {"DATETOSTR", 1, 1}, {"STRTODATE", 1, 1},
      {"TIMETOSTR", 1, 1}, {"STRTOTIME", 1, 1}, {"FORMATDATETIME", 2, 2}, {"DAYOFWEEK", 1, 1},
      {"INCMONTH", 2, 2}, {"DECODEDATE", 4, 4}, {"DECODETIME", 5, 5}, {"ENCODEDATE", 3, 3},
      {"ENCODETIME", 4, 4}, {"YEARDAYS", 1, 1}, {"YEARFRAC", 2, 2},
      // arithmetic
      {"ABS", 1, 1}, {"INT", 1, 1}, {"FRAC", 1, 1}, {"ROUND", 1, 1}, {"CEIL", 1, 1}, {"FLOOR", 1, 1},
      {"TRUNC", 1, 1}, {"SIN", 1, 1}, {"COS", 1, 1}, {"TAN", 1, 1}, {"ARCSIN", 1, 1}, {"ARCCOS", 1, 1},
      {"ARCTAN", 1, 1}, {"EXP", 1, 1}, {"LN", 1, 1}, {"INTPOWER", 2, 2}, {"SQR", 1, 1}, {"SQRT", 1, 1},
      {"INC", 1, 2}, {"DEC", 1, 2}, {"MIN", 1, -1}, {"MAX", 1, -1}, {"MOD", 2, 2}, {"RANDOM", 1, 1},
      // variables by name, tables
      {"GETVAR", 1, 1}, {"SETVAR", 2, 2}, {"DECODE", 3, -1},
      // engine built-ins that check their count
      {"GETTEXT", 1, 1}, {"GETINI", 3, 3}, {"SETINI", 3, 3}, {"DELFILE", 1, 1}, {"PLAYSND", 1, 1},
      {"PLAYMUZ", 1, 1}, {"STOPMUZ", 1, 1},
  };
  return table;
}

const std::vector<std::string_view>& BuiltinsTakingAnyCount() {
  static const std::vector<std::string_view> names = {
      // engine built-ins: a missing element or one of another class makes them do nothing
      "LISTADD", "LISTDEL", "ANIMSTART", "ANIMPLAY", "ANIMSTOP", "ANIMBREAK", "UPDATE", "PROCESS", "MSDOWN",
      "MSMOVE", "INIT", "SHOW", "SETFOCUS", "SETSCREEN", "FASTSETSCREEN", "LOADIM", "ENDLOADIM", "GETALPHA",
      "MOVETO", "PROCEF", "SAVESTATE", "LOADSTATE", "TIMERRESET", "TOFRONT", "EXITGAME",
      // level natives act on their first argument when it is an element of their class
      "MAGICLEVPROG", "MAGICGIPROG", "MAGICMAPPROG", "MAGICLEV6_1", "MAGICLEV6_2", "MAGICLEV6_3", "MAGICLEV4IN_3",
      "MAGICLEV6LOG_REND", "MAGICLEV6LOG_UPD", "MAGICLEV4INLOG_REND", "MAGICLEV4INLOG_UPD", "MAGICLEV7LOG",
      "MAGICLEV15LOG", "MAGICLEV6INLOG", "MAGICLEV6INLOGO", "MAGICLEV12LOG",
  };
  return names;
}

bool BuiltinRefusesCount(std::string_view upperName, size_t count) {
  const auto& table = BuiltinArgumentCounts();
  const auto it = std::find_if(table.begin(), table.end(), [&](const ArgumentCount& a) { return upperName == a.name; });
  if (it == table.end()) return false;
  return count < static_cast<size_t>(it->min) || (it->max >= 0 && count > static_cast<size_t>(it->max));
}

}  // namespace qx
