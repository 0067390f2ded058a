// The date_* functions over the date-time reals of DateTime.h. None reports an error: invalid
// dates and times give 0.
#include <algorithm>
#include <cmath>

#include "script/builtins/Bindings.h"
#include "script/builtins/BuiltinArgs.h"
#include "script/builtins/DateTime.h"
#include "script/builtins/FunctionRegistry.h"

namespace kestro {

namespace {

using namespace date;

double TimeFraction(int64_t hour, int64_t minute, int64_t second) {
  return double(hour * 3600 + minute * 60 + second) / 86400.0;
}

KESTRO_BUILTIN(F_date_current_datetime) { r.SetReal(Now()); }
KESTRO_BUILTIN(F_date_current_date) { r.SetReal(DateOf(Now())); }
KESTRO_BUILTIN(F_date_current_time) { r.SetReal(TimeOf(Now())); }

KESTRO_BUILTIN(F_date_create_datetime) {
  const int64_t y = ArgInt(a[0]), mo = ArgInt(a[1]), d = ArgInt(a[2]);
  const int64_t h = ArgInt(a[3]), mi = ArgInt(a[4]), s = ArgInt(a[5]);
  if (ValidDate(y, mo, d) && ValidTime(h, mi, s))
    r.SetReal(Encode(DayNumber(y, int(mo), int(d)), TimeFraction(h, mi, s)));
}
KESTRO_BUILTIN(F_date_create_date) {
  const int64_t y = ArgInt(a[0]), mo = ArgInt(a[1]), d = ArgInt(a[2]);
  if (ValidDate(y, mo, d)) r.SetReal(double(DayNumber(y, int(mo), int(d))));
}
KESTRO_BUILTIN(F_date_create_time) {
  const int64_t h = ArgInt(a[0]), mi = ArgInt(a[1]), s = ArgInt(a[2]);
  if (ValidTime(h, mi, s)) r.SetReal(TimeFraction(h, mi, s));
}
KESTRO_BUILTIN(F_date_valid_datetime) {
  const bool ok =
      ValidDate(ArgInt(a[0]), ArgInt(a[1]), ArgInt(a[2])) && ValidTime(ArgInt(a[3]), ArgInt(a[4]), ArgInt(a[5]));
  r.SetReal(ok ? 1 : 0);
}
KESTRO_BUILTIN(F_date_valid_date) { r.SetReal(ValidDate(ArgInt(a[0]), ArgInt(a[1]), ArgInt(a[2])) ? 1 : 0); }
KESTRO_BUILTIN(F_date_valid_time) { r.SetReal(ValidTime(ArgInt(a[0]), ArgInt(a[1]), ArgInt(a[2])) ? 1 : 0); }

// n rounded, then cut to a range no date reaches (so 12 n cannot overflow).
int64_t Count(const RValue& v) { return std::clamp<int64_t>(ArgInt(v), -(int64_t(1) << 40), int64_t(1) << 40); }

KESTRO_BUILTIN(F_date_inc_year) { r.SetReal(IncMonths(a[0].val, 12 * Count(a[1]))); }
KESTRO_BUILTIN(F_date_inc_month) { r.SetReal(IncMonths(a[0].val, Count(a[1]))); }
KESTRO_BUILTIN(F_date_inc_week) { r.SetReal(IncUnits(a[0].val, 7 * Count(a[1]), 1)); }
KESTRO_BUILTIN(F_date_inc_day) { r.SetReal(IncUnits(a[0].val, Count(a[1]), 1)); }
KESTRO_BUILTIN(F_date_inc_hour) { r.SetReal(IncUnits(a[0].val, Count(a[1]), 24)); }
KESTRO_BUILTIN(F_date_inc_minute) { r.SetReal(IncUnits(a[0].val, Count(a[1]), 1440)); }
KESTRO_BUILTIN(F_date_inc_second) { r.SetReal(IncUnits(a[0].val, Count(a[1]), 86400)); }

// A part of the decoded date; 0 for values that are not dates.
template <class Part>
void GetPart(RValue& r, const RValue& d, Part part) {
  RDateParts p;
  if (Decode(d.val, p)) r.SetReal(double(part(p)));
}

KESTRO_BUILTIN(F_date_get_year) {
  GetPart(r, a[0], [](const RDateParts& p) { return p.year; });
}
KESTRO_BUILTIN(F_date_get_month) {
  GetPart(r, a[0], [](const RDateParts& p) { return p.month; });
}
KESTRO_BUILTIN(F_date_get_week) {
  GetPart(r, a[0], [](const RDateParts& p) { return p.isoWeek; });
}
KESTRO_BUILTIN(F_date_get_day) {
  GetPart(r, a[0], [](const RDateParts& p) { return p.day; });
}
KESTRO_BUILTIN(F_date_get_hour) {
  GetPart(r, a[0], [](const RDateParts& p) { return p.hour; });
}
KESTRO_BUILTIN(F_date_get_minute) {
  GetPart(r, a[0], [](const RDateParts& p) { return p.minute; });
}
KESTRO_BUILTIN(F_date_get_second) {
  GetPart(r, a[0], [](const RDateParts& p) { return p.second; });
}
KESTRO_BUILTIN(F_date_get_weekday) {
  GetPart(r, a[0], [](const RDateParts& p) { return p.weekday; });
}
KESTRO_BUILTIN(F_date_get_day_of_year) {
  GetPart(r, a[0], [](const RDateParts& p) { return p.dayOfYear; });
}
KESTRO_BUILTIN(F_date_get_hour_of_year) {
  GetPart(r, a[0], [](const RDateParts& p) { return int64_t(p.dayOfYear - 1) * 24 + p.hour; });
}
KESTRO_BUILTIN(F_date_get_minute_of_year) {
  GetPart(r, a[0], [](const RDateParts& p) { return (int64_t(p.dayOfYear - 1) * 24 + p.hour) * 60 + p.minute; });
}
KESTRO_BUILTIN(F_date_get_second_of_year) {
  GetPart(r, a[0], [](const RDateParts& p) {
    return ((int64_t(p.dayOfYear - 1) * 24 + p.hour) * 60 + p.minute) * 60 + p.second;
  });
}
KESTRO_BUILTIN(F_date_days_in_month) {
  GetPart(r, a[0], [](const RDateParts& p) { return DaysInMonth(p.year, p.month); });
}
KESTRO_BUILTIN(F_date_days_in_year) {
  GetPart(r, a[0], [](const RDateParts& p) { return IsLeapYear(p.year) ? 366 : 365; });
}
KESTRO_BUILTIN(F_date_leap_year) {
  GetPart(r, a[0], [](const RDateParts& p) { return IsLeapYear(p.year) ? 1 : 0; });
}
KESTRO_BUILTIN(F_date_is_today) {
  RDateParts p, today;
  r.SetReal(Decode(a[0].val, p) && Decode(Now(), today) && p.dayNumber == today.dayNumber ? 1 : 0);
}

KESTRO_BUILTIN(F_date_date_of) { r.SetReal(DateOf(a[0].val)); }
KESTRO_BUILTIN(F_date_time_of) { r.SetReal(TimeOf(a[0].val)); }

KESTRO_BUILTIN(F_date_day_span) { r.SetReal(DaySpan(a[0].val, a[1].val)); }
KESTRO_BUILTIN(F_date_year_span) { r.SetReal(DaySpan(a[0].val, a[1].val) / 365.25); }
KESTRO_BUILTIN(F_date_month_span) { r.SetReal(DaySpan(a[0].val, a[1].val) / 30.4375); }
KESTRO_BUILTIN(F_date_week_span) { r.SetReal(DaySpan(a[0].val, a[1].val) / 7); }
KESTRO_BUILTIN(F_date_hour_span) { r.SetReal(DaySpan(a[0].val, a[1].val) * 24); }
KESTRO_BUILTIN(F_date_minute_span) { r.SetReal(DaySpan(a[0].val, a[1].val) * 1440); }
KESTRO_BUILTIN(F_date_second_span) { r.SetReal(DaySpan(a[0].val, a[1].val) * 86400); }

KESTRO_BUILTIN(F_date_compare_datetime) { r.SetReal(CompareDateTime(a[0].val, a[1].val)); }
KESTRO_BUILTIN(F_date_compare_date) { r.SetReal(CompareDate(a[0].val, a[1].val)); }
KESTRO_BUILTIN(F_date_compare_time) { r.SetReal(CompareTime(a[0].val, a[1].val)); }

KESTRO_BUILTIN(F_date_datetime_string) { SetText(r, DateTimeString(a[0].val)); }
KESTRO_BUILTIN(F_date_date_string) { SetText(r, DateString(a[0].val)); }
KESTRO_BUILTIN(F_date_time_string) { SetText(r, TimeString(a[0].val)); }

#define DATE_BIND(name) \
  RBinding { #name, F_##name }

constexpr RBinding kDateFunctions[] = {
    DATE_BIND(date_current_datetime),
    DATE_BIND(date_current_date),
    DATE_BIND(date_current_time),
    DATE_BIND(date_create_datetime),
    DATE_BIND(date_create_date),
    DATE_BIND(date_create_time),
    DATE_BIND(date_valid_datetime),
    DATE_BIND(date_valid_date),
    DATE_BIND(date_valid_time),
    DATE_BIND(date_inc_year),
    DATE_BIND(date_inc_month),
    DATE_BIND(date_inc_week),
    DATE_BIND(date_inc_day),
    DATE_BIND(date_inc_hour),
    DATE_BIND(date_inc_minute),
    DATE_BIND(date_inc_second),
    DATE_BIND(date_get_year),
    DATE_BIND(date_get_month),
    DATE_BIND(date_get_week),
    DATE_BIND(date_get_day),
    DATE_BIND(date_get_hour),
    DATE_BIND(date_get_minute),
    DATE_BIND(date_get_second),
    DATE_BIND(date_get_weekday),
    DATE_BIND(date_get_day_of_year),
    DATE_BIND(date_get_hour_of_year),
    DATE_BIND(date_get_minute_of_year),
    DATE_BIND(date_get_second_of_year),
    DATE_BIND(date_year_span),
    DATE_BIND(date_month_span),
    DATE_BIND(date_week_span),
    DATE_BIND(date_day_span),
    DATE_BIND(date_hour_span),
    DATE_BIND(date_minute_span),
    DATE_BIND(date_second_span),
    DATE_BIND(date_compare_datetime),
    DATE_BIND(date_compare_date),
    DATE_BIND(date_compare_time),
    DATE_BIND(date_date_of),
    DATE_BIND(date_time_of),
    DATE_BIND(date_datetime_string),
    DATE_BIND(date_date_string),
    DATE_BIND(date_time_string),
    DATE_BIND(date_days_in_month),
    DATE_BIND(date_days_in_year),
    DATE_BIND(date_leap_year),
    DATE_BIND(date_is_today),
};

}  // namespace

RBindingTable DateFunctions() { return kDateFunctions; }

}  // namespace kestro
