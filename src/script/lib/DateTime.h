// Dates and times as the scripts keep them: a count of days since 30 December 1899, the
// fraction being the time of day. Formatting and parsing use one fixed convention whatever
// the host's locale: dates "dd.mm.yyyy", times "hh:nn:ss" (24-hour), English month and
// day names.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qx {

struct CivilDate {
  int year = 0, month = 0, day = 0;
};
struct ClockTime {
  int hour = 0, minute = 0, second = 0, msec = 0;
};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

// Nothing when the date or time does not exist (year 1..9999).
std::optional<double> EncodeDate(int year, int month, int day);
std::optional<double> EncodeTime(int hour, int minute, int second, int msec);
// The date part is the day count cut toward zero; the time part is the fraction's size.
CivilDate DecodeDate(double dateTime);
ClockTime DecodeTime(double dateTime);

// 1 = Sunday .. 7 = Saturday.
int DayOfWeek(double dateTime);
// Moved by whole months; a day past the target month's end becomes its last day; the time
// of day is kept. Nothing when the result falls outside the years 1..9999.
std::optional<double> IncMonth(double dateTime, int months);
int YearDays(double dateTime);
// The span between two dates in years, each calendar year it touches weighed by its length.
double YearFrac(double a, double b);

// The local date and time now.
double NowLocal();

std::string FormatDateTime(std::string_view pattern, double dateTime);
std::string DateToStr(double dateTime);
std::string TimeToStr(double dateTime);
std::optional<double> StrToDate(std::string_view text);
std::optional<double> StrToTime(std::string_view text);

}  // namespace qx
