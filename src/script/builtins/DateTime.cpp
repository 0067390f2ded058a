#include "script/builtins/DateTime.h"

#include <locale.h>
#include <time.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace kestro::date {

namespace {

constexpr int64_t kMsPerDay = 86400000;
// Day number of 1 January 1970, for the calendar conversions that count from there.
constexpr int64_t kUnixEpochDay = 25569;
// Beyond this many days from the origin values are not decoded (a million years and more).
constexpr double kMaxDays = 1e9;

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0); }

// Days since 1970-01-01 of a civil date, and back (the proleptic Gregorian calendar in eras of
// 400 years).
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = FloorDiv(y, 400);
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int64_t& y, int& m, int& d) {
  z += 719468;
  const int64_t era = FloorDiv(z, 146097);
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = int(doy - (153 * mp + 2) / 5 + 1);
  m = int(mp < 10 ? mp + 3 : mp - 9);
  y = yoe + era * 400 + (m <= 2);
}

int Sign(double v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

std::function<double()> g_now;

}  // namespace

bool IsLeapYear(int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int64_t year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool ValidDate(int64_t year, int64_t month, int64_t day) {
  return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(year, int(month));
}

bool ValidTime(int64_t hour, int64_t minute, int64_t second) {
  if (hour == 24) return minute == 0 && second == 0;
  return hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59 && second >= 0 && second <= 59;
}

int64_t DayNumber(int64_t year, int month, int day) { return DaysFromCivil(year, month, day) + kUnixEpochDay; }

void CivilFromDayNumber(int64_t dayNumber, int64_t& year, int& month, int& day) {
  CivilFromDays(dayNumber - kUnixEpochDay, year, month, day);
}

double Linear(double d) {
  if (d >= 0 || !std::isfinite(d)) return d;
  const double whole = std::trunc(d);
  return whole + (whole - d);  // the day, plus the time of day as a positive fraction
}

double FromLinear(double linear) {
  if (linear >= 0 || !std::isfinite(linear)) return linear;
  const double day = std::floor(linear);
  return day - (linear - day);
}

double Encode(int64_t dayNumber, double time) { return FromLinear(double(dayNumber) + time); }

bool Decode(double d, RDateParts& out) {
  out = RDateParts();
  const double linear = Linear(d);
  if (!std::isfinite(linear) || std::fabs(linear) > kMaxDays) return false;
  const int64_t ms = std::llround(linear * double(kMsPerDay));
  out.dayNumber = FloorDiv(ms, kMsPerDay);
  int64_t inDay = ms - out.dayNumber * kMsPerDay;
  out.hour = int(inDay / 3600000);
  inDay %= 3600000;
  out.minute = int(inDay / 60000);
  inDay %= 60000;
  out.second = int(inDay / 1000);
  out.millisecond = int(inDay % 1000);
  CivilFromDayNumber(out.dayNumber, out.year, out.month, out.day);
  // Day 0 was a Saturday.
  out.weekday = int(out.dayNumber + 6 - FloorDiv(out.dayNumber + 6, 7) * 7) + 1;
  out.dayOfYear = int(out.dayNumber - DayNumber(out.year, 1, 1) + 1);
  const int isoWeekday = out.weekday == 1 ? 7 : out.weekday - 1;  // Monday 1 ... Sunday 7
  const int64_t thursday = out.dayNumber - isoWeekday + 4;
  int64_t thursdayYear;
  int month, day;
  CivilFromDayNumber(thursday, thursdayYear, month, day);
  out.isoWeek = int((thursday - DayNumber(thursdayYear, 1, 1)) / 7 + 1);
  return true;
}

double IncMonths(double d, int64_t n) {
  if (!std::isfinite(d) || std::fabs(d) > kMaxDays) return d;
  // A million years of months at most; more would leave the range dates are decoded in anyway.
  n = std::clamp<int64_t>(n, -12000000, 12000000);
  const double whole = std::trunc(d);
  const double time = std::fabs(d - whole);
  int64_t year;
  int month, day;
  CivilFromDayNumber(int64_t(whole), year, month, day);
  const int64_t total = year * 12 + (month - 1) + n;
  year = FloorDiv(total, 12);
  month = int(total - year * 12) + 1;
  day = std::min(day, DaysInMonth(year, month));
  const int64_t target = DayNumber(year, month, day);
  return target >= 0 ? double(target) + time : double(target) - time;
}

double IncUnits(double d, int64_t n, double perDay) { return FromLinear((Linear(d) * perDay + double(n)) / perDay); }

double DaySpan(double d1, double d2) { return std::fabs(Linear(d1) - Linear(d2)); }

int CompareDateTime(double d1, double d2) {
  const double diff = Linear(d1) - Linear(d2);
  return std::fabs(diff) < kMillisecond ? 0 : Sign(diff);
}

int CompareDate(double d1, double d2) { return Sign(std::trunc(d1) - std::trunc(d2)); }

int CompareTime(double d1, double d2) {
  const double diff = TimeOf(d1) - TimeOf(d2);
  return std::fabs(diff) < kMillisecond ? 0 : Sign(diff);
}

double DateOf(double d) { return std::trunc(d) + 0.0; }  // + 0.0: -0.5 gives 0, not -0
double TimeOf(double d) { return std::fabs(d - std::trunc(d)); }

double Now() {
  if (g_now) return g_now();
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  tm local{};
  if (!localtime_r(&ts.tv_sec, &local)) return 0;
  const int64_t dayNumber = DayNumber(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
  const double seconds = local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec + double(ts.tv_nsec) / 1e9;
  return Encode(dayNumber, seconds / 86400.0);
}

void SetNowSource(std::function<double()> source) { g_now = std::move(source); }

namespace {

// The name of the locale that decides time formats, as the C library resolves it.
const char* TimeLocaleName() {
  for (const char* var : {"LC_ALL", "LC_TIME", "LANG"}) {
    const char* v = std::getenv(var);
    if (v && *v) return v;
  }
  return "";
}

// The date or the time of the parts in the locale's own format (%x, %X); with no locale settings,
// or settings that cannot be loaded, as 2024-02-29 and 13:45:30.
enum class EText { kDate, kTime };

std::string Format(const RDateParts& p, EText what) {
  tm t{};
  t.tm_year = int(p.year - 1900);
  t.tm_mon = p.month - 1;
  t.tm_mday = p.day;
  t.tm_hour = p.hour;
  t.tm_min = p.minute;
  t.tm_sec = p.second;
  t.tm_wday = p.weekday - 1;
  t.tm_yday = p.dayOfYear - 1;
  char buf[128];
  const char* name = TimeLocaleName();
  const bool plain = !*name || !std::strcmp(name, "C") || !std::strcmp(name, "POSIX") || !std::strncmp(name, "C.", 2);
  locale_t loc = plain ? locale_t(nullptr) : newlocale(LC_TIME_MASK, name, locale_t(nullptr));
  size_t n = 0;
  if (loc) {
    n = what == EText::kDate ? strftime_l(buf, sizeof buf, "%x", &t, loc) : strftime_l(buf, sizeof buf, "%X", &t, loc);
    freelocale(loc);
  } else {
    n = what == EText::kDate ? strftime(buf, sizeof buf, "%Y-%m-%d", &t) : strftime(buf, sizeof buf, "%H:%M:%S", &t);
  }
  return std::string(buf, n);
}

bool DecodeForText(double d, RDateParts& p) { return Decode(d, p) && p.year >= 1 && p.year <= 9999; }

}  // namespace

std::string DateString(double d) {
  RDateParts p;
  return DecodeForText(d, p) ? Format(p, EText::kDate) : std::string();
}

std::string TimeString(double d) {
  RDateParts p;
  return DecodeForText(d, p) ? Format(p, EText::kTime) : std::string();
}

std::string DateTimeString(double d) {
  RDateParts p;
  if (!DecodeForText(d, p)) return {};
  std::string s = Format(p, EText::kDate);
  if (p.hour || p.minute || p.second || p.millisecond) s += " " + Format(p, EText::kTime);
  return s;
}

}  // namespace kestro::date
