// The value rules: rounding, truthiness, the operators with their errors, string comparison and
// the display form. Operators are driven through the operator routines directly and, for
// constant folding, through compiled expressions.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "script/Code.h"
#include "script/CodeError.h"
#include "script/Symbols.h"
#include "script/Value.h"

namespace kestro {
namespace {

TEST(Values, RoundingHalvesToEven) {
  struct Row {
    double in;
    int64_t out;
  } rows[] = {{2.5, 2},     {3.5, 4},    {-2.5, -2},  {-3.5, -4}, {0.5, 0},  {1.5, 2},
              {-0.5, 0},    {2.4999, 2}, {2.5001, 3}, {-0.0, 0},  {1e15 + 0.5, 1000000000000000},
              {4503599627370497.0, 4503599627370497}, {1e300, std::numeric_limits<int64_t>::max()},
              {-1e300, std::numeric_limits<int64_t>::min()}, {std::nan(""), 0}};
  for (const Row& r : rows) EXPECT_EQ(RoundToInt64(r.in), r.out) << r.in;
}

TEST(Values, TruthIsHalfOrMore) {
  EXPECT_TRUE(IsTrue(RValue::Real(0.5)));
  EXPECT_TRUE(IsTrue(RValue::Real(7)));
  EXPECT_FALSE(IsTrue(RValue::Real(0.4999)));
  EXPECT_FALSE(IsTrue(RValue::Real(-1)));
  EXPECT_FALSE(IsTrue(RValue::String("1")));
}

TEST(Values, StringsAreSharedAndIndependent) {
  RValue a = RValue::String("hello");
  RValue b = a;
  EXPECT_TRUE(a.str.SameBuffer(b.str));
  RValue add = RValue::String(" world");
  ASSERT_TRUE(BinaryOperation(nullptr, 0, sym_plus, add, b));
  EXPECT_EQ(a.str.view(), "hello");
  EXPECT_EQ(b.str.view(), "hello world");
  RValue fresh;
  EXPECT_EQ(fresh.kind, ty_real);
  EXPECT_EQ(fresh.val, 0);
  EXPECT_TRUE(fresh.str.empty());
}

TEST(Values, AppendGrowsOnlyAnUnsharedBuffer) {
  RString s("ab");
  s.Append("cd");  // a buffer of its own, but full: a new one with room to spare
  const char* before = s.data();
  s.Append("e");
  EXPECT_EQ(s.data(), before);  // grown in place
  EXPECT_EQ(s.view(), "abcde");
  RString shared = s;
  s.Append("f");
  EXPECT_EQ(shared.view(), "abcde");  // the other holder never sees the change
  EXPECT_EQ(s.view(), "abcdef");
  EXPECT_FALSE(s.SameBuffer(shared));
  RString self = s;
  s.Append(self.view());  // appending a text to itself
  EXPECT_EQ(s.view(), "abcdefabcdef");
  RString empty;
  empty.Append("");
  EXPECT_TRUE(empty.empty());
  empty.Append("z");
  EXPECT_EQ(std::string(empty.data()), "z");  // still zero-terminated
}

// Expression -> folded result (a real in %.17g, or a quoted string) or the operator error.
struct Fold {
  const char* expr;
  const char* result;
};

std::string Folded(const char* expr) {
  CCode c(expr, CodeKind::kExpression);
  if (!c.Compile()) {
    std::string m = c.CompileError();
    ClearCodeError();
    return m.substr(m.find(": ") + 2);
  }
  if (c.i_kind != CodeKind::kConstantExpression) return "not constant";
  if (c.i_value.kind == ty_string) return "\"" + c.i_value.str.str() + "\"";
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", c.i_value.val);
  return buf;
}

class Operators : public ::testing::TestWithParam<Fold> {};
TEST_P(Operators, Fold) { EXPECT_EQ(Folded(GetParam().expr), GetParam().result) << GetParam().expr; }

INSTANTIATE_TEST_SUITE_P(
    Table, Operators,
    ::testing::Values(
        Fold{"2 * \"ab\"", "\"abab\""}, Fold{"\"ab\" * 2", "Wrong type of arguments to *."},
        Fold{"0 * \"ab\"", "\"\""}, Fold{"-1 * \"ab\"", "\"\""}, Fold{"2.5 * \"ab\"", "\"abab\""},
        Fold{"3.5 * \"a\"", "\"aaaa\""}, Fold{"100000000 * \"abc\"", "Result string too long."},
        Fold{"\"ab\" + \"cd\"", "\"abcd\""},
        Fold{"\"a\" + 1", "Wrong type of arguments to +."}, Fold{"1 + \"a\"", "Wrong type of arguments to +."},
        Fold{"\"a\" - \"b\"", "Wrong type of arguments to -."}, Fold{"\"a\" / 1", "Wrong type of arguments to /."},
        Fold{"\"a\" div 1", "Wrong type of arguments to div."}, Fold{"1 mod \"a\"", "Wrong type of arguments to mod."},
        Fold{"\"a\" && 1", "Wrong type of arguments for &&."}, Fold{"\"a\" || 1", "Wrong type of arguments for ||."},
        Fold{"\"a\" ^^ 1", "Wrong type of arguments for ^^."}, Fold{"\"a\" | 1", "Wrong type of arguments for |."},
        Fold{"\"a\" & 1", "Wrong type of arguments for &."}, Fold{"\"a\" ^ 1", "Wrong type of arguments for ^."},
        Fold{"\"a\" << 1", "Wrong type of arguments for <<."}, Fold{"\"a\" >> 1", "Wrong type of arguments for >>."},
        Fold{"-\"a\"", "Wrong type of arguments to unary operator."},
        Fold{"!\"a\"", "Wrong type of arguments to unary operator."},
        Fold{"1 == \"1\"", "Cannot compare arguments."}, Fold{"\"1\" < 1", "Cannot compare arguments."},
        Fold{"0.1 + 0.2 == 0.3", "1"}, Fold{"1 == 1 + 0.000000000001", "0"},
        Fold{"1 == 1 + 0.00000000000001", "1"}, Fold{"1 < 1 + 0.00000000000001", "0"},
        Fold{"1 + 0.00000000000001 > 1", "0"}, Fold{"1 <= 1 + 0.00000000000001", "1"},
        Fold{"1 >= 1 + 0.00000000000001", "1"}, Fold{"1 != 1 + 0.00000000000001", "0"},
        Fold{"1 <> 2", "1"}, Fold{"1 = 1", "1"},
        Fold{"\"B\" < \"a\"", "1"}, Fold{"\"ab\" < \"abc\"", "1"}, Fold{"\"abc\" == \"abc\"", "1"},
        Fold{"\"abc\" >= \"abd\"", "0"}, Fold{"\"\" < \"a\"", "1"},
        // UTF-16 order: a character beyond the 16-bit range (a surrogate pair) sorts before U+FFFD.
        Fold{"\"\xF0\x9F\x98\x80\" < \"\xEF\xBF\xBD\"", "1"}, Fold{"\"\xC3\xA9\" > \"z\"", "1"},
        Fold{"-7 div 2", "-3"}, Fold{"7 div 2", "3"}, Fold{"-7 mod 2", "-1"}, Fold{"7 mod -2", "1"},
        Fold{"5.5 mod 2", "1.5"}, Fold{"5 / 0", "Division by 0."}, Fold{"5 div 0", "Division by 0."},
        Fold{"5 mod 0", "Modulo by 0."}, Fold{"1 / 4", "0.25"},
        Fold{"!0.4", "1"}, Fold{"!0.5", "0"}, Fold{"!-1", "1"}, Fold{"not 1", "0"},
        Fold{"0.5 && 1", "1"}, Fold{"0.4 || 0", "0"}, Fold{"1 ^^ 1", "0"}, Fold{"1 xor 0", "1"},
        Fold{"2.5 | 0", "2"}, Fold{"3.5 | 0", "4"}, Fold{"-2.5 | 0", "-2"}, Fold{"~0", "-1"}, Fold{"~2.5", "-3"},
        Fold{"5 & 3", "1"}, Fold{"5 ^ 3", "6"}, Fold{"5 | 3", "7"},
        Fold{"1 << 3", "8"}, Fold{"-8 >> 1", "9.2233720368547758e+18"}, Fold{"1 << 64", "0"},
        Fold{"1 << 127", "0"}, Fold{"1 << 256", "1"}, Fold{"16 >> 2.5", "4"},
        Fold{"+5", "5"}, Fold{"-(2 - 5)", "3"}));

TEST(Values, FailedOperationLeavesOperandsUnchanged) {
  ClearCodeError();
  RValue left = RValue::Real(5), right = RValue::Real(0);
  EXPECT_FALSE(BinaryOperation(nullptr, 3, sym_divide, right, left));
  EXPECT_EQ(left.val, 5);
  EXPECT_TRUE(CodeErrorPending());
  EXPECT_EQ(PendingCodeError(), "Division by 0.");
  // Only the first error of a run is kept.
  RValue s = RValue::String("a");
  EXPECT_FALSE(UnaryOperation(nullptr, 1, sym_minus, s));
  EXPECT_EQ(PendingCodeError(), "Division by 0.");
  EXPECT_EQ(s.str.view(), "a");
  ClearCodeError();
}

TEST(Values, DisplayForm) {
  struct Row {
    double v;
    const char* text;
  } rows[] = {{3, "3"},
              {-0.0, "0"},
              {-42, "-42"},
              {2.5, "2.50"},
              {1.0 / 3, "0.33"},
              {-0.25, "-0.25"},
              {3.14159, "3.14"},
              {-1.5, "-1.50"},
              {123456789.123, "123456789.10"},
              {0.005, "0.01"},
              {0.004, "0.00"},
              {-0.004, "0.00"},
              {9.999, "10.00"},
              {2.675, "2.68"},
              {1e-20, "0.00"},
              {12345678901.5, "1.23456789E10"},
              {9007199254740993.0, "9007199254740992"},
              {1e18, "1000000000000000000"}};
  for (const Row& r : rows) EXPECT_EQ(DisplayString(RValue::Real(r.v)), r.text) << r.v;
  EXPECT_EQ(DisplayString(RValue::String("x y")), "x y");
  std::string out;
  EXPECT_FALSE(DisplayString(RValue::Real(std::nan("")), out));
  EXPECT_EQ(out, "ERROR");
  EXPECT_FALSE(DisplayString(RValue::Real(1e19), out));
  EXPECT_FALSE(DisplayString(RValue::Real(-INFINITY), out));
  EXPECT_TRUE(DisplayString(RValue::Real(0.5), out, ','));
  EXPECT_EQ(out, "0,50");
}

TEST(Values, Utf16RoundTripAndMalformedBytes) {
  std::string s = "a\xC3\xA9\xF0\x9F\x98\x80z";
  std::u16string u = Utf8ToUtf16(s);
  EXPECT_EQ(u.size(), 5u);
  EXPECT_EQ(Utf16ToUtf8(u), s);
  EXPECT_EQ(Utf8ToUtf16("\xFF\xC3"), std::u16string(u"\uFFFD\uFFFD"));
  EXPECT_EQ(Utf8ToUtf16("\xE0\x80\x80"), std::u16string(u"\uFFFD\uFFFD\uFFFD"));  // overlong
}

}  // namespace
}  // namespace kestro
