#include "script/lib/DateTime.h"

#include <cmath>
#include <ctime>

#include "base/Ascii.h"

namespace qx {
namespace {

constexpr int64_t kMsecPerDay = 86400000;
constexpr const char* kShortDayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kLongDayNames[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
constexpr const char* kShortMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr const char* kLongMonthNames[] = {"January", "February", "March",     "April",   "May",      "June",
                                           "July",    "August",   "September", "October", "November", "December"};

// Days from 0001-01-01 (day 1) in the proleptic Gregorian calendar.
int64_t DaysFromCivil(int y, int m, int d) {
  // Counting from March keeps February's leap day at the end of the year.
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;  // days since 1970-01-01
}

CivilDate CivilFromDays(int64_t z) {  // z: days since 1970-01-01
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  CivilDate c;
  c.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  c.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  c.year = static_cast<int>(yoe + era * 400 + (c.month <= 2));
  return c;
}

const int64_t kEpoch = DaysFromCivil(1899, 12, 30);  // day 0 of the scripts' dates

double TimeFraction(double dateTime) { return std::fabs(dateTime - std::trunc(dateTime)); }

std::string Pad(int value, int width) {
  std::string s = std::to_string(value < 0 ? -value : value);
  while (static_cast<int>(s.size()) < width) s.insert(s.begin(), '0');
  return value < 0 ? "-" + s : s;
}

bool ParseUInt(std::string_view s, int& out) {
  if (s.empty() || s.size() > 9) return false;
  int v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  out = v;
  return true;
}

}  // namespace

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return kDays[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
}

std::optional<double> EncodeDate(int year, int month, int day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) {
    return std::nullopt;
  }
  return static_cast<double>(DaysFromCivil(year, month, day) - kEpoch);
}

std::optional<double> EncodeTime(int hour, int minute, int second, int msec) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || msec < 0 || msec > 999) {
    return std::nullopt;
  }
  return (hour * 3600000.0 + minute * 60000.0 + second * 1000.0 + msec) / kMsecPerDay;
}

CivilDate DecodeDate(double dateTime) {
  if (!std::isfinite(dateTime) || std::fabs(dateTime) > 3e6) return {};
  return CivilFromDays(static_cast<int64_t>(std::trunc(dateTime)) + kEpoch);
}

ClockTime DecodeTime(double dateTime) {
  ClockTime t;
  if (!std::isfinite(dateTime)) return t;
  int64_t ms = std::llround(TimeFraction(dateTime) * kMsecPerDay) % kMsecPerDay;
  t.hour = static_cast<int>(ms / 3600000);
  ms %= 3600000;
  t.minute = static_cast<int>(ms / 60000);
  ms %= 60000;
  t.second = static_cast<int>(ms / 1000);
  t.msec = static_cast<int>(ms % 1000);
  return t;
}

int DayOfWeek(double dateTime) {
  if (!std::isfinite(dateTime) || std::fabs(dateTime) > 3e6) return 1;
  // Day 0 (30 December 1899) was a Saturday.
  const int64_t days = static_cast<int64_t>(std::trunc(dateTime));
  return static_cast<int>(((days + 6) % 7 + 7) % 7) + 1;
}

std::optional<double> IncMonth(double dateTime, int months) {
  const CivilDate d = DecodeDate(dateTime);
  if (d.year == 0) return std::nullopt;
  const int64_t total = int64_t{d.year} * 12 + (d.month - 1) + months;
  const int year = static_cast<int>(total >= 0 ? total / 12 : (total - 11) / 12);
  const int month = static_cast<int>(total - int64_t{year} * 12) + 1;
  if (year < 1 || year > 9999) return std::nullopt;
  const int day = d.day > DaysInMonth(year, month) ? DaysInMonth(year, month) : d.day;
  const double date = *EncodeDate(year, month, day);
  const double time = TimeFraction(dateTime);
  return date >= 0 ? date + time : date - time;
}

int YearDays(double dateTime) { return IsLeapYear(DecodeDate(dateTime).year) ? 366 : 365; }

double YearFrac(double a, double b) {
  double lo = a < b ? a : b;
  const double hi = a < b ? b : a;
  const CivilDate first = DecodeDate(lo), last = DecodeDate(hi);
  double years = 0;
  for (int y = first.year; y <= last.year && y >= 1 && y <= 9999; ++y) {
    const double start = *EncodeDate(y, 1, 1);
    const double end = y < 9999 ? *EncodeDate(y + 1, 1, 1) : start + 365;
    const double from = lo > start ? lo : start;
    const double to = hi < end ? hi : end;
    if (to > from) years += (to - from) / (IsLeapYear(y) ? 366 : 365);
  }
  return years;
}

double NowLocal() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  std::tm local{};
  const time_t secs = ts.tv_sec;
  localtime_r(&secs, &local);
  const double date = *EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
  const int msec = static_cast<int>(ts.tv_nsec / 1000000);
  return date + *EncodeTime(local.tm_hour, local.tm_min, local.tm_sec > 59 ? 59 : local.tm_sec, msec);
}

std::string FormatDateTime(std::string_view pattern, double dateTime) {
  const CivilDate d = DecodeDate(dateTime);
  const ClockTime t = DecodeTime(dateTime);
  const int dow = DayOfWeek(dateTime) - 1;
  std::string out;
  bool lastWasHour = false;  // an "m" after an hour means minutes
  size_t i = 0;
  auto count = [&](char c) {
    size_t n = 0;
    while (i + n < pattern.size() && LowerAscii(pattern[i + n]) == c) ++n;
    return n;
  };
  auto startsWith = [&](std::string_view word) {
    return pattern.size() - i >= word.size() && EqualsNoCaseAscii(pattern.substr(i, word.size()), word);
  };
  // A morning/afternoon marker anywhere outside quotes puts the hours on the 12-hour clock.
  bool twelveHour = false;
  for (; i < pattern.size() && !twelveHour; ++i) {
    if (pattern[i] == '"' || pattern[i] == '\'') {
      const size_t close = pattern.find(pattern[i], i + 1);
      i = close == std::string_view::npos ? pattern.size() : close;
    } else {
      twelveHour = startsWith("am/pm") || startsWith("a/p") || startsWith("ampm");
    }
  }
  i = 0;
  const int hour12 = t.hour % 12 == 0 ? 12 : t.hour % 12;
  const bool morning = t.hour < 12;
  while (i < pattern.size()) {
    const char c = pattern[i];
    const char lc = LowerAscii(c);
    if (c == '"' || c == '\'') {
      const size_t close = pattern.find(c, i + 1);
      const size_t end = close == std::string_view::npos ? pattern.size() : close;
      out.append(pattern.substr(i + 1, end - i - 1));
      i = end == pattern.size() ? end : end + 1;
      continue;
    }
    // The marker is written in the letter case the pattern gives it ("am/pm" gives "pm").
    if (startsWith("am/pm")) {
      out += pattern.substr(morning ? i : i + 3, 2);
      i += 5;
      continue;
    }
    if (startsWith("a/p")) {
      out += pattern[morning ? i : i + 2];
      i += 3;
      continue;
    }
    if (startsWith("ampm")) {
      out += morning ? "AM" : "PM";
      i += 4;
      continue;
    }
    size_t n = count(lc);
    bool hour = false;
    switch (lc) {
      case 'y':
        out += n <= 2 ? Pad(d.year % 100, 2) : Pad(d.year, 4);
        break;
      case 'm':
        if (lastWasHour && n <= 2) out += Pad(t.minute, n == 1 ? 1 : 2);
        else if (n == 1) out += std::to_string(d.month);
        else if (n == 2) out += Pad(d.month, 2);
        else if (d.month >= 1) out += n == 3 ? kShortMonthNames[d.month - 1] : kLongMonthNames[d.month - 1];
        if (n > 4) n = 4;
        break;
      case 'd':
        if (n == 1) out += std::to_string(d.day);
        else if (n == 2) out += Pad(d.day, 2);
        else if (n == 3) out += kShortDayNames[dow];
        else if (n == 4) out += kLongDayNames[dow];
        else if (n == 5) out += DateToStr(dateTime);
        else out += Pad(d.day, 2) + " " + kLongMonthNames[d.month >= 1 ? d.month - 1 : 0] + " " + Pad(d.year, 4);
        if (n > 6) n = 6;
        break;
      case 'h':
        out += n == 1 ? std::to_string(twelveHour ? hour12 : t.hour) : Pad(twelveHour ? hour12 : t.hour, 2);
        if (n > 2) n = 2;
        hour = true;
        break;
      case 'n':
        out += n == 1 ? std::to_string(t.minute) : Pad(t.minute, 2);
        if (n > 2) n = 2;
        break;
      case 's':
        out += n == 1 ? std::to_string(t.second) : Pad(t.second, 2);
        if (n > 2) n = 2;
        break;
      case 'z':
        out += n >= 3 ? Pad(t.msec, 3) : std::to_string(t.msec);
        if (n > 3) n = 3;
        break;
      case 't':
        out += n == 1 ? FormatDateTime("hh:nn", dateTime) : TimeToStr(dateTime);
        if (n > 2) n = 2;
        break;
      case 'c':
        out += DateToStr(dateTime) + " " + TimeToStr(dateTime);
        n = 1;
        break;
      case '/':
        out += '.';
        n = 1;
        break;
      default:
        out += c;
        n = 1;
        break;
    }
    // Separators between an hour and an "m" do not break the pair ("hh:mm" is minutes).
    if (std::string_view("ymdhnsztc").find(lc) != std::string_view::npos) lastWasHour = hour;
    i += n;
  }
  return out;
}

std::string DateToStr(double dateTime) { return FormatDateTime("dd.mm.yyyy", dateTime); }
std::string TimeToStr(double dateTime) { return FormatDateTime("hh:nn:ss", dateTime); }

std::optional<double> StrToDate(std::string_view text) {
  text = TrimBlanks(text);
  int parts[3];
  int n = 0;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '.' || text[i] == '/' || text[i] == '-') {
      if (n == 3 || !ParseUInt(TrimBlanks(text.substr(start, i - start)), parts[n])) return std::nullopt;
      ++n;
      start = i + 1;
    }
  }
  if (n != 3) return std::nullopt;
  int year = parts[2];
  const size_t yearDigits = TrimBlanks(text.substr(text.find_last_of("./-") + 1)).size();
  if (yearDigits <= 2) year += year < 50 ? 2000 : 1900;
  return EncodeDate(year, parts[1], parts[0]);
}

std::optional<double> StrToTime(std::string_view text) {
  text = TrimBlanks(text);
  if (text.empty()) return std::nullopt;
  int add = 0;
  bool twelve = false;
  if (text.size() >= 2) {
    const std::string tail = UpperAscii(text.substr(text.size() - 2));
    if (tail == "AM" || tail == "PM") {
      twelve = true;
      add = tail == "PM" ? 12 : 0;
      text = TrimBlanks(text.substr(0, text.size() - 2));
    }
  }
  int parts[4] = {0, 0, 0, 0};
  int n = 0;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == ':' || (text[i] == '.' && n == 2)) {
      if (n == 4 || !ParseUInt(text.substr(start, i - start), parts[n])) return std::nullopt;
      ++n;
      start = i + 1;
    }
  }
  if (n < 2) return std::nullopt;
  int hour = parts[0];
  if (twelve) {
    if (hour < 1 || hour > 12) return std::nullopt;
    hour = hour % 12 + add;
  }
  return EncodeTime(hour, parts[1], parts[2], parts[3]);
}

}  // namespace qx
