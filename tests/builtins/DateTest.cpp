// The date and time functions with fixed dates (leap years, 24:00:00, the 1899 origin, negative
// dates), "now" from an installed clock and from the system's in fixed time zones; and the
// clipboard, title and priority functions against the in-process desktop.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "io/RunState.h"
#include "script/builtins/BuiltinError.h"
#include "script/builtins/DateTime.h"
#include "script/builtins/Desktop.h"
#include "script/builtins/FunctionRegistry.h"
#include "support/Values.h"

namespace kestro {
namespace {

using test::R;
using test::S;
using test::Show;

struct Case {
  const char* fn;
  std::vector<RValue> args;
  RValue want;
  double tol = 0;
};

// Keeps an environment variable for the test and puts it back afterwards.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old, had_ = true;
    setenv(name, value, 1);
    tzset();
  }
  ~ScopedEnv() {
    if (had_)
      setenv(name_, old_.c_str(), 1);
    else
      unsetenv(name_);
    tzset();
  }

 private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

class Dates : public ::testing::Test {
 protected:
  void SetUp() override {
    SetBuiltinErrorHandler([this](std::string_view m, bool) { errors.emplace_back(m); });
  }
  void TearDown() override {
    SetBuiltinErrorHandler({});
    date::SetNowSource(nullptr);
    EXPECT_TRUE(errors.empty()) << errors.front();  // none of these functions reports an error
  }
  RValue Call(const char* fn, const std::vector<RValue>& args) { return test::CallBuiltin(fn, args, false); }
  void Check(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
      RValue got = Call(c.fn, c.args);
      std::string args;
      for (const RValue& a : c.args) args += Show(a) + ",";
      ASSERT_EQ(got.kind, c.want.kind) << c.fn << "(" << args << ")";
      if (got.IsString())
        EXPECT_EQ(got.str.str(), c.want.str.str()) << c.fn << "(" << args << ")";
      else if (c.tol > 0)
        EXPECT_NEAR(got.val, c.want.val, c.tol) << c.fn << "(" << args << ")";
      else
        EXPECT_EQ(got.val, c.want.val) << c.fn << "(" << args << ")";
    }
  }
  std::vector<std::string> errors;
};

// A few dates as their reals.
constexpr double k2000 = 36526;         // 1 January 2000, a Saturday
constexpr double kLeapDay2024 = 45351;  // 29 February 2024
constexpr double kDec29_0600 = -1.25;   // 29 December 1899, 6:00
constexpr double kHour = 1.0 / 24;
constexpr double kMs = 1.0 / 86400000;

TEST_F(Dates, CreatingAndValidity) {
  Check({
      {"date_create_date", {R(1899), R(12), R(30)}, R(0)},
      {"date_create_date", {R(1899), R(12), R(31)}, R(1)},
      {"date_create_date", {R(1900), R(1), R(1)}, R(2)},
      {"date_create_date", {R(1900), R(3), R(1)}, R(61)},  // 1900 has no 29 February
      {"date_create_date", {R(2000), R(1), R(1)}, R(k2000)},
      {"date_create_date", {R(2024), R(2), R(29)}, R(kLeapDay2024)},
      {"date_create_date", {R(1), R(1), R(1)}, R(-693593)},
      {"date_create_date", {R(9999), R(12), R(31)}, R(2958465)},
      {"date_create_date", {R(2000), R(2), R(30)}, R(0)},
      {"date_create_date", {R(10000), R(1), R(1)}, R(0)},
      {"date_create_date", {R(2024), R(4), R(30.5)}, R(45412)},  // 30.5 rounds to 30
      {"date_valid_date", {R(2000), R(2), R(29)}, R(1)},
      {"date_valid_date", {R(1900), R(2), R(29)}, R(0)},
      {"date_valid_date", {R(2023), R(2), R(29)}, R(0)},
      {"date_valid_date", {R(2024), R(2), R(29)}, R(1)},
      {"date_valid_date", {R(0), R(1), R(1)}, R(0)},
      {"date_valid_date", {R(2024), R(13), R(1)}, R(0)},
      {"date_valid_date", {R(2024), R(4), R(31)}, R(0)},
      {"date_valid_date", {R(2024), R(4), R(31.5)}, R(0)},  // 32
      {"date_valid_date", {R(1e300), R(1), R(1)}, R(0)},
      {"date_create_time", {R(24), R(0), R(0)}, R(1)},
      {"date_create_time", {R(12), R(0), R(0)}, R(0.5)},
      {"date_create_time", {R(23), R(59), R(59)}, R(86399.0 / 86400)},
      {"date_create_time", {R(24), R(0), R(1)}, R(0)},
      {"date_create_time", {R(0), R(60), R(0)}, R(0)},
      {"date_create_time", {R(-1), R(0), R(0)}, R(0)},
      {"date_valid_time", {R(24), R(0), R(0)}, R(1)},
      {"date_valid_time", {R(23), R(59), R(60)}, R(0)},
      {"date_create_datetime", {R(2000), R(1), R(1), R(12), R(0), R(0)}, R(k2000 + 0.5)},
      {"date_create_datetime", {R(1899), R(12), R(29), R(6), R(0), R(0)}, R(kDec29_0600)},
      {"date_create_datetime", {R(1899), R(12), R(29), R(24), R(0), R(0)}, R(0)},  // the next midnight
      {"date_create_datetime", {R(2000), R(1), R(1), R(24), R(0), R(0)}, R(k2000 + 1)},
      {"date_create_datetime", {R(2000), R(2), R(30), R(1), R(0), R(0)}, R(0)},
      {"date_create_datetime", {R(2000), R(1), R(1), R(1), R(0), R(60)}, R(0)},
      {"date_valid_datetime", {R(2000), R(1), R(1), R(24), R(0), R(0)}, R(1)},
      {"date_valid_datetime", {R(2000), R(1), R(32), R(0), R(0), R(0)}, R(0)},
  });
}

TEST_F(Dates, PartsOfDates) {
  const double t = k2000 + 45 + 13 * kHour + 5.0 / 1440 + 9.0 / 86400;  // 15 February 2000, 13:05:09
  Check({
      {"date_get_year", {R(t)}, R(2000)},
      {"date_get_month", {R(t)}, R(2)},
      {"date_get_day", {R(t)}, R(15)},
      {"date_get_hour", {R(t)}, R(13)},
      {"date_get_minute", {R(t)}, R(5)},
      {"date_get_second", {R(t)}, R(9)},
      {"date_get_day_of_year", {R(t)}, R(46)},
      {"date_get_hour_of_year", {R(t)}, R(45 * 24 + 13)},
      {"date_get_minute_of_year", {R(t)}, R((45 * 24 + 13) * 60 + 5)},
      {"date_get_second_of_year", {R(t)}, R(((45 * 24 + 13) * 60 + 5) * 60 + 9)},
      {"date_get_weekday", {R(0)}, R(7)},  // 30 December 1899 was a Saturday
      {"date_get_weekday", {R(1)}, R(1)},
      {"date_get_weekday", {R(kDec29_0600)}, R(6)},
      {"date_get_weekday", {R(k2000)}, R(7)},
      {"date_get_week", {R(k2000)}, R(52)},  // still the last week of 1999
      {"date_get_week", {R(44199)}, R(53)},  // 3 January 2021
      {"date_get_week", {R(45656)}, R(1)},   // 30 December 2024: week 1 of 2025
      {"date_get_week", {R(kLeapDay2024)}, R(9)},
      {"date_get_day_of_year", {R(45657)}, R(366)},  // 31 December 2024
      {"date_get_year", {R(kDec29_0600)}, R(1899)},
      {"date_get_day", {R(kDec29_0600)}, R(29)},
      {"date_get_hour", {R(kDec29_0600)}, R(6)},
      {"date_get_day", {R(-0.5)}, R(30)},  // -0.5 is noon of the origin day too
      {"date_get_hour", {R(-0.5)}, R(12)},
      {"date_get_year", {R(-693593)}, R(1)},
      // Within half a millisecond of midnight: the next day's 0:00:00, never a 24th hour.
      {"date_get_hour", {R(1 - 0.4 * kMs)}, R(0)},
      {"date_get_day", {R(1 - 0.4 * kMs)}, R(31)},
      {"date_get_year", {R(std::nan(""))}, R(0)},
      {"date_get_month", {R(1e300)}, R(0)},
      {"date_days_in_month", {R(kLeapDay2024 - 10)}, R(29)},
      {"date_days_in_month", {R(61 - 5)}, R(28)},  // February 1900
      {"date_days_in_year", {R(k2000)}, R(366)},
      {"date_days_in_year", {R(2)}, R(365)},
      {"date_leap_year", {R(kLeapDay2024)}, R(1)},
      {"date_leap_year", {R(73051)}, R(0)},  // 2100
      {"date_date_of", {R(k2000 + 0.75)}, R(k2000)},
      {"date_time_of", {R(k2000 + 0.75)}, R(0.75)},
      {"date_date_of", {R(kDec29_0600)}, R(-1)},
      {"date_time_of", {R(kDec29_0600)}, R(0.25)},
  });
}

TEST_F(Dates, ArithmeticAcrossMonthsMidnightAndTheOrigin) {
  Check({
      {"date_inc_month", {R(36922), R(1)}, R(36950)},                       // 31 Jan 2001 -> 28 Feb 2001
      {"date_inc_month", {R(45322 + 0.75), R(1)}, R(kLeapDay2024 + 0.75)},  // 31 Jan 2024 18:00 -> 29 Feb
      {"date_inc_month", {R(45382), R(-1)}, R(kLeapDay2024)},               // 31 Mar 2024 -> 29 Feb
      {"date_inc_month", {R(k2000), R(-13)}, R(36130)},                     // 1 Dec 1998
      {"date_inc_month", {R(kDec29_0600), R(1)}, R(30.25)},                 // 29 Jan 1900, 6:00
      {"date_inc_month", {R(31), R(-1)}, R(0)},                             // 30 Jan 1900 -> 30 Dec 1899
      {"date_inc_year", {R(kLeapDay2024), R(1)}, R(45716)},                 // 28 Feb 2025
      {"date_inc_year", {R(kLeapDay2024), R(4)}, R(kLeapDay2024 + 1461)},
      {"date_inc_week", {R(k2000 + 0.5), R(2)}, R(k2000 + 14.5)},
      {"date_inc_day", {R(k2000 + 0.5), R(-1)}, R(k2000 - 0.5)},
      {"date_inc_day", {R(kDec29_0600), R(2)}, R(1.25)},  // 31 Dec 1899, 6:00
      {"date_inc_day", {R(0.25), R(-1)}, R(kDec29_0600)},
      {"date_inc_hour", {R(k2000 + 0.5), R(13)}, R(k2000 + 1 + kHour), 1e-9},
      {"date_inc_hour", {R(kDec29_0600), R(1)}, R(-1 - 7 * kHour), 1e-9},
      {"date_inc_hour", {R(0), R(-1)}, R(-1 - 23 * kHour), 1e-9},     // 29 Dec 1899, 23:00
      {"date_inc_hour", {R(-1 - 23 * kHour), R(2)}, R(kHour), 1e-9},  // across the origin
      {"date_inc_minute", {R(k2000), R(90)}, R(k2000 + 0.0625)},
      {"date_inc_second", {R(k2000), R(-1)}, R(k2000 - 1.0 / 86400), 1e-9},
      {"date_inc_second", {R(k2000), R(2.5)}, R(k2000 + 2.0 / 86400), 1e-9},  // 2.5 rounds to 2
  });
}

TEST_F(Dates, SpansAndComparisons) {
  const double d = k2000 + 0.3;
  Check({
      {"date_day_span", {R(k2000), R(k2000 + 0.5)}, R(0.5)},
      {"date_day_span", {R(k2000 + 0.5), R(k2000)}, R(0.5)},
      {"date_day_span", {R(kDec29_0600), R(1.25)}, R(2)},  // 29 Dec to 31 Dec at the same time
      {"date_year_span", {R(0), R(365.25)}, R(1)},
      {"date_month_span", {R(30.4375), R(0)}, R(1)},
      {"date_week_span", {R(0), R(14)}, R(2)},
      {"date_hour_span", {R(0), R(0.5)}, R(12)},
      {"date_minute_span", {R(0), R(0.5)}, R(720)},
      {"date_second_span", {R(0), R(0.5)}, R(43200)},
      {"date_compare_datetime", {R(d), R(d + 0.5 * kMs)}, R(0)},
      {"date_compare_datetime", {R(d), R(d + 2 * kMs)}, R(-1)},
      {"date_compare_datetime", {R(d + 1), R(d)}, R(1)},
      {"date_compare_datetime", {R(kDec29_0600), R(-1.5)}, R(-1)},  // 6:00 is earlier than 12:00
      {"date_compare_date", {R(k2000 + 0.9), R(k2000 + 0.1)}, R(0)},
      {"date_compare_date", {R(k2000 + 0.9), R(k2000 + 1)}, R(-1)},
      {"date_compare_date", {R(kDec29_0600), R(-0.5)}, R(-1)},
      {"date_compare_time", {R(k2000 + 0.25), R(1.25)}, R(0)},
      {"date_compare_time", {R(0.25), R(0.5)}, R(-1)},
      {"date_compare_time", {R(-1.75), R(0.5)}, R(1)},
      {"date_compare_time", {R(0.5), R(0.5 + 0.5 * kMs)}, R(0)},
  });
}

TEST_F(Dates, TextWithoutLocaleSettings) {
  ScopedEnv all("LC_ALL", "C");
  const double t = kLeapDay2024 + (13 * 3600 + 45 * 60 + 30) / 86400.0;
  Check({
      {"date_date_string", {R(t)}, S("2024-02-29")},
      {"date_time_string", {R(t)}, S("13:45:30")},
      {"date_datetime_string", {R(t)}, S("2024-02-29 13:45:30")},
      {"date_datetime_string", {R(k2000)}, S("2000-01-01")},  // midnight: no time
      {"date_datetime_string", {R(kDec29_0600)}, S("1899-12-29 06:00:00")},
      {"date_time_string", {R(k2000)}, S("00:00:00")},
      {"date_date_string", {R(1e300)}, S("")},
      {"date_datetime_string", {R(3e6)}, S("")},  // beyond 9999
  });
}

TEST_F(Dates, NowFromTheInstalledClock) {
  const double now = kLeapDay2024 + 0.75;
  date::SetNowSource([now] { return now; });
  Check({
      {"date_current_datetime", {}, R(now)},
      {"date_current_date", {}, R(kLeapDay2024)},
      {"date_current_time", {}, R(0.75)},
      {"date_is_today", {R(kLeapDay2024 + 0.1)}, R(1)},
      {"date_is_today", {R(kLeapDay2024 - 0.1)}, R(0)},
      {"date_is_today", {R(kLeapDay2024 + 1)}, R(0)},
  });
}

TEST_F(Dates, NowIsLocalTime) {
  // The same instant in two fixed time zones two hours apart.
  double utc = 0, east = 0, unixDays = 0;
  {
    ScopedEnv tz("TZ", "UTC0");
    unixDays = 25569 + double(std::time(nullptr)) / 86400;
    utc = Call("date_current_datetime", {}).val;
  }
  {
    ScopedEnv tz("TZ", "XST-2");
    east = Call("date_current_datetime", {}).val;
  }
  EXPECT_NEAR(utc, unixDays, 5.0 / 86400);
  EXPECT_NEAR(east - utc, 2 * kHour, 5.0 / 86400);
}

TEST_F(Dates, ClipboardTitleAndPriorityThroughTheDesktop) {
  CProcessDesktop& d = ProcessDesktop();
  d = CProcessDesktop();
  const std::string title = RunState().title;
  Check({
      {"clipboard_has_text", {}, R(0)},
      {"clipboard_get_text", {}, S("")},
      {"clipboard_set_text", {S("copied \xC3\xA9")}, R(0)},
      {"clipboard_has_text", {}, R(1)},
      {"clipboard_get_text", {}, S("copied \xC3\xA9")},
      {"clipboard_set_text", {R(2.5)}, R(0)},  // a real as its text
      {"clipboard_get_text", {}, S("2.50")},
      {"set_application_title", {S("My Game")}, R(0)},
      {"set_application_title", {R(5)}, R(0)},  // ignored
      {"set_program_priority", {R(2.5)}, R(0)},
      {"window_handle", {}, R(0)},
  });
  EXPECT_EQ(d.title, "My Game");
  EXPECT_EQ(RunState().title, "My Game");
  EXPECT_EQ(d.priority, 2);
  for (auto [asked, level] : {std::pair{-3.0, -3}, {3.4, 3}, {7.0, 0}, {-4.0, 0}, {-1.0, -1}}) {
    Call("set_program_priority", {R(asked)});
    EXPECT_EQ(d.priority, level) << asked;
  }
  RunState().title = title;
  d = CProcessDesktop();
}

}  // namespace
}  // namespace kestro
