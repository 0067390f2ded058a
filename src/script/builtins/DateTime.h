// Dates and times as reals: the whole part counts days since midnight at the start of
// 30 December 1899, the fraction is the time of day (0.5 is noon), in local time. Days before that
// date are negative with the fraction still the time of day, so -1.25 is 29 December 1899 at 6:00.
//
// Arithmetic works on the continuous count of days (`Linear`: -1.25 becomes -0.75) and converts
// back, so moving across midnight or across the origin lands on the right day and time.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace kestro::date {

inline constexpr double kMillisecond = 1.0 / 86400000.0;

bool IsLeapYear(int64_t year);
int DaysInMonth(int64_t year, int month);
// Year 1 to 9999, month 1 to 12, the day within the month.
bool ValidDate(int64_t year, int64_t month, int64_t day);
// 0:00:00 to 23:59:59, or exactly 24:00:00.
bool ValidTime(int64_t hour, int64_t minute, int64_t second);

// Days from 30 December 1899 to the date (proleptic Gregorian calendar; any month and day that
// ValidDate accepts).
int64_t DayNumber(int64_t year, int month, int day);
void CivilFromDayNumber(int64_t dayNumber, int64_t& year, int& month, int& day);

// The stored form <-> the continuous count of days.
double Linear(double d);
double FromLinear(double linear);
// A day number and a fraction of a day (0 to 1) as a date-time.
double Encode(int64_t dayNumber, double time);

// The parts of a date-time, first rounded to the nearest millisecond (so 23:59:59.9999 is the next
// day's midnight, never a 24th hour).
struct RDateParts {
  int64_t dayNumber = 0;
  int64_t year = 0;
  int month = 0, day = 0;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
  int weekday = 0;    // 1 Sunday ... 7 Saturday
  int dayOfYear = 0;  // 1 for 1 January
  int isoWeek = 0;    // weeks from Monday, week 1 holding the year's first Thursday
};
// False for values that are not numbers or lie beyond a billion days.
bool Decode(double d, RDateParts& out);

// The same day n months later (the day cut to the month's length), the time kept.
double IncMonths(double d, int64_t n);
// n units later, with `perDay` units to a day (24 hours, 1440 minutes, ...); days and weeks too.
double IncUnits(double d, int64_t n, double perDay);
// The absolute difference in days.
double DaySpan(double d1, double d2);
// -1, 0 or 1: whole values (a difference below a millisecond is equal), days only, times only.
int CompareDateTime(double d1, double d2);
int CompareDate(double d1, double d2);
int CompareTime(double d1, double d2);
// The whole part (truncated toward zero) and the time of day (0 to 1) of a date-time.
double DateOf(double d);
double TimeOf(double d);

// Now, in local time. Tests install a fixed clock (nullptr: the computer's).
double Now();
void SetNowSource(std::function<double()> source);

// Text in the user's locale settings (LC_ALL, LC_TIME, LANG); with none (or the C locale) the date
// is written 2024-02-29 and the time 13:45:30. Dates outside years 1 to 9999 give "".
std::string DateString(double d);
std::string TimeString(double d);
// The date, then a space and the time unless the time is exactly midnight.
std::string DateTimeString(double d);

}  // namespace kestro::date
