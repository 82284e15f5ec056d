#include "script/lib/DateTime.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

TEST(DateTime, EpochAndRoundTrips) {
  EXPECT_EQ(*EncodeDate(1899, 12, 30), 0.0);
  EXPECT_EQ(*EncodeDate(2000, 1, 1), 36526.0);
  const CivilDate d = DecodeDate(36526.75);
  EXPECT_EQ(d.year, 2000);
  EXPECT_EQ(d.month, 1);
  EXPECT_EQ(d.day, 1);
  const ClockTime t = DecodeTime(36526.75);
  EXPECT_EQ(t.hour, 18);
  EXPECT_EQ(t.minute, 0);
  // Before the epoch the time of day is the fraction's size.
  const CivilDate before = DecodeDate(-1.25);
  EXPECT_EQ(before.day, 29);
  EXPECT_EQ(DecodeTime(-1.25).hour, 6);
  EXPECT_FALSE(EncodeDate(2001, 2, 29));
  EXPECT_FALSE(EncodeDate(0, 1, 1));
  EXPECT_FALSE(EncodeTime(24, 0, 0, 0));
  EXPECT_DOUBLE_EQ(*EncodeTime(12, 0, 0, 0), 0.5);
  const ClockTime parts = DecodeTime(*EncodeTime(13, 45, 30, 250));
  EXPECT_EQ(parts.second, 30);
  EXPECT_EQ(parts.msec, 250);
}

TEST(DateTime, WeekdaysMonthsAndYears) {
  EXPECT_EQ(DayOfWeek(0), 7);  // Saturday
  EXPECT_EQ(DayOfWeek(*EncodeDate(2026, 12, 7)), 2);  // a Monday
  EXPECT_EQ(*IncMonth(*EncodeDate(2001, 1, 31), 1), *EncodeDate(2001, 2, 28));
  EXPECT_EQ(*IncMonth(*EncodeDate(2000, 3, 31), -1), *EncodeDate(2000, 2, 29));
  EXPECT_DOUBLE_EQ(*IncMonth(*EncodeDate(2000, 1, 15) + 0.25, 13), *EncodeDate(2001, 2, 15) + 0.25);
  EXPECT_FALSE(IncMonth(*EncodeDate(9999, 12, 1), 1));
  EXPECT_EQ(YearDays(*EncodeDate(2000, 3, 1)), 366);
  EXPECT_EQ(YearDays(*EncodeDate(1900, 3, 1)), 365);
  EXPECT_DOUBLE_EQ(YearFrac(*EncodeDate(2001, 1, 1), *EncodeDate(2001, 7, 1)), 181.0 / 365);
  EXPECT_DOUBLE_EQ(YearFrac(*EncodeDate(2001, 7, 1), *EncodeDate(2001, 1, 1)), 181.0 / 365);
  // Across a year end: each part weighed by its own year.
  EXPECT_DOUBLE_EQ(YearFrac(*EncodeDate(1999, 12, 1), *EncodeDate(2000, 2, 1)), 31.0 / 365 + 31.0 / 366);
}

TEST(DateTime, FixedFormatsWhateverTheLocale) {
  const double dt = *EncodeDate(2026, 3, 5) + *EncodeTime(7, 8, 9, 10);
  EXPECT_EQ(DateToStr(dt), "05.03.2026");
  EXPECT_EQ(TimeToStr(dt), "07:08:09");
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", dt), "2026-03-05 07:08:09.010");
  EXPECT_EQ(FormatDateTime("d/m/yy h:mm", dt), "5.3.26 7:08");  // m after h is minutes
  EXPECT_EQ(FormatDateTime("dddd, mmmm d", dt), "Thursday, March 5");
  EXPECT_EQ(FormatDateTime("'at' hh 'o''clock'", dt), "at 07 oclock");
  EXPECT_EQ(FormatDateTime("c", dt), "05.03.2026 07:08:09");
}

TEST(DateTime, MarkersPutHoursOnTheTwelveHourClockInThePatternsCase) {
  const auto at = [](int h, int m) { return *EncodeDate(2026, 3, 5) + *EncodeTime(h, m, 0, 0); };
  EXPECT_EQ(FormatDateTime("h am/pm", at(19, 5)), "7 pm");
  EXPECT_EQ(FormatDateTime("hh:nn AM/PM", at(19, 5)), "07:05 PM");
  EXPECT_EQ(FormatDateTime("h:nn Am/Pm", at(9, 30)), "9:30 Am");
  EXPECT_EQ(FormatDateTime("h a/p", at(19, 5)), "7 p");
  EXPECT_EQ(FormatDateTime("hhA/P", at(8, 0)), "08A");
  EXPECT_EQ(FormatDateTime("h ampm", at(13, 0)), "1 PM");
  // Noon and midnight are 12; the marker turns at noon.
  EXPECT_EQ(FormatDateTime("h am/pm", at(0, 0)), "12 am");
  EXPECT_EQ(FormatDateTime("h am/pm", at(12, 0)), "12 pm");
  EXPECT_EQ(FormatDateTime("h am/pm", at(11, 59)), "11 am");
  // The marker may come first; quoted, it is text and the clock keeps 24 hours.
  EXPECT_EQ(FormatDateTime("am/pm h", at(23, 0)), "pm 11");
  EXPECT_EQ(FormatDateTime("h 'am/pm'", at(19, 5)), "19 am/pm");
  EXPECT_EQ(FormatDateTime("hh:nn", at(19, 5)), "19:05");
}

TEST(DateTime, ParsingDatesAndTimes) {
  EXPECT_EQ(*StrToDate("05.03.2026"), *EncodeDate(2026, 3, 5));
  EXPECT_EQ(*StrToDate(" 5/3/26 "), *EncodeDate(2026, 3, 5));
  EXPECT_EQ(*StrToDate("1.1.99"), *EncodeDate(1999, 1, 1));
  EXPECT_FALSE(StrToDate("31.02.2026"));
  EXPECT_FALSE(StrToDate("2026"));
  EXPECT_FALSE(StrToDate("a.b.c"));
  EXPECT_FALSE(StrToDate(""));
  EXPECT_DOUBLE_EQ(*StrToTime("12:30"), *EncodeTime(12, 30, 0, 0));
  EXPECT_DOUBLE_EQ(*StrToTime("1:02:03.5"), *EncodeTime(1, 2, 3, 5));
  EXPECT_DOUBLE_EQ(*StrToTime("12:15 AM"), *EncodeTime(0, 15, 0, 0));
  EXPECT_DOUBLE_EQ(*StrToTime("1:15 pm"), *EncodeTime(13, 15, 0, 0));
  EXPECT_FALSE(StrToTime("25:00"));
  EXPECT_FALSE(StrToTime("12"));
  EXPECT_FALSE(StrToTime(""));
  EXPECT_FALSE(StrToTime("1:2:3:4:5"));
}

}  // namespace
}  // namespace qx
