// The number, string, conversion and vector functions, called through the registry as code calls
// them: tables of arguments -> result and the error reported, if any.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "script/builtins/BuiltinError.h"
#include "script/builtins/BuiltinTables.h"
#include "script/builtins/MathFunctions.h"
#include "script/builtins/FunctionRegistry.h"
#include "script/builtins/Random.h"
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
  const char* error = nullptr;  // the one message reported, if any
  double tol = 0;               // for results of floating-point library functions
};

class MathFunctions : public ::testing::Test {
 protected:
  void SetUp() override {
    SetBuiltinErrorHandler([this](std::string_view m, bool fatal) {
      EXPECT_FALSE(fatal);
      errors.emplace_back(m);
    });
  }
  void TearDown() override { SetBuiltinErrorHandler({}); }

  RValue Call(const char* fn, const std::vector<RValue>& args) {
    return test::CallBuiltin(fn, args, true, RValue::String("stale"));
  }

  void Check(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
      std::string label = std::string(c.fn) + "(";
      for (size_t i = 0; i < c.args.size(); ++i) label += (i ? ", " : "") + Show(c.args[i]);
      SCOPED_TRACE(label + ")");
      errors.clear();
      RValue got = Call(c.fn, c.args);
      ASSERT_EQ(got.kind, c.want.kind) << "got " << Show(got);
      if (got.IsString())
        EXPECT_EQ(got.str.view(), c.want.str.view());
      else if (c.tol > 0)
        EXPECT_NEAR(got.val, c.want.val, c.tol);
      else
        EXPECT_EQ(got.val, c.want.val);
      if (c.error)
        EXPECT_EQ(errors, std::vector<std::string>{c.error});
      else
        EXPECT_TRUE(errors.empty()) << errors.front();
    }
  }

  std::vector<std::string> errors;
};

constexpr double kPi = 3.141592653589793;

TEST_F(MathFunctions, NumbersRoundingAndLogarithms) {
  Check({
      {"is_real", {R(1)}, R(1)},
      {"is_real", {S("1")}, R(0)},
      {"is_string", {S("")}, R(1)},
      {"is_string", {R(0)}, R(0)},
      {"abs", {R(-2.5)}, R(2.5)},
      {"abs", {S("x")}, R(0)},  // a string where a real is wanted: its real field, no error
      {"round", {R(2.5)}, R(2)},
      {"round", {R(3.5)}, R(4)},
      {"round", {R(-0.5)}, R(0)},
      {"round", {R(-2.5)}, R(-2)},
      {"round", {R(-2.6)}, R(-3)},
      {"round", {R(1e10 + 0.5)}, R(1e10)},
      {"floor", {R(-0.5)}, R(-1)},
      {"floor", {R(2.9)}, R(2)},
      {"floor", {R(3e9 + 0.5)}, R(3e9)},  // beyond 32 bits the exact floor, not a wrapped one
      {"ceil", {R(-0.5)}, R(0)},
      {"ceil", {R(2.1)}, R(3)},
      {"sign", {R(1e-14)}, R(0)},
      {"sign", {R(-5e-14)}, R(0)},
      {"sign", {R(-1e-13)}, R(-1)},
      {"sign", {R(2)}, R(1)},
      {"frac", {R(-1.5)}, R(-0.5)},
      {"frac", {R(2.25)}, R(0.25)},
      {"sqr", {R(-3)}, R(9)},
      {"sqrt", {R(16)}, R(4)},
      {"sqrt", {R(-1)}, R(0), "Cannot apply sqrt to negative number."},
      {"exp", {R(0)}, R(1)},
      {"exp", {R(1000)}, R(0), "Error in function exp()."},
      {"ln", {R(1)}, R(0)},
      {"ln", {R(0)}, R(0), "Error in function ln()."},
      {"ln", {R(-1)}, R(0), "Error in function ln()."},
      {"log2", {R(8)}, R(3)},
      {"log2", {R(0)}, R(0), "Error in function log2()."},
      {"log10", {R(1000)}, R(3)},
      {"log10", {R(-1)}, R(0), "Error in function log10()."},
      {"logn", {R(2), R(8)}, R(3), nullptr, 1e-12},
      {"logn", {R(1), R(5)}, R(0), "Error in function logn()."},
      {"logn", {R(10), R(0)}, R(0), "Error in function logn()."},
      {"power", {R(2), R(10)}, R(1024)},
      {"power", {R(-8), R(1.0 / 3)}, R(0), "Error in function power()."},
      {"power", {R(0), R(-1)}, R(0), "Error in function power()."},
      {"sin", {R(kPi / 2)}, R(1)},
      {"cos", {R(0)}, R(1)},
      {"tan", {R(0)}, R(0)},
      {"arcsin", {R(1)}, R(kPi / 2)},
      {"arcsin", {R(2)}, R(0), "Error in function arcsin()."},
      {"arccos", {R(-1.5)}, R(0), "Error in function arccos()."},
      {"arccos", {R(-1)}, R(kPi)},
      {"arctan", {R(1)}, R(kPi / 4)},
      {"arctan2", {R(1), R(0)}, R(kPi / 2)},
      {"arctan2", {R(0), R(-1)}, R(kPi)},
      {"degtorad", {R(180)}, R(kPi)},
      {"radtodeg", {R(kPi)}, R(180), nullptr, 1e-12},
  });
}

TEST_F(MathFunctions, MinimumMaximumMeanMedian) {
  Check({
      {"min", {}, R(0)},
      {"min", {R(3), R(1), R(2)}, R(1)},
      {"max", {R(3), R(1), R(2)}, R(3)},
      {"min", {S("b"), S("a")}, S("a")},
      {"max", {S("b"), S("c"), S("a")}, S("c")},
      {"min", {S("B"), S("a")}, S("B")},  // ordinal: capitals first
      {"min", {R(5), S("x")}, R(0)},      // keeps the first argument's kind
      {"max", {S("b"), R(7)}, S("b")},
      {"min3", {R(5), R(2), R(9)}, R(2)},
      {"max3", {R(5), R(2), R(9)}, R(9)},
      {"mean", {}, R(0)},
      {"mean", {R(1), R(2), R(3), R(4)}, R(2.5)},
      {"median", {}, R(0)},
      {"median", {R(1), R(2), R(3), R(4)}, R(2)},
      {"median", {R(3), R(1), R(2)}, R(2)},
      {"median", {R(2), R(2), R(1), R(1)}, R(1)},
      {"median", {R(5)}, R(5)},
  });
}

TEST_F(MathFunctions, ConversionsBetweenRealsAndText) {
  Check({
      {"real", {R(7.5)}, R(7.5)},
      {"real", {S("  3.5 ")}, R(3.5)},
      {"real", {S("\t12\r\n")}, R(12)},
      {"real", {S("")}, R(0)},
      {"real", {S("   ")}, R(0)},
      {"real", {S("-2e3")}, R(-2000)},
      {"real", {S("+.5")}, R(0.5)},
      {"real", {S("5.")}, R(5)},
      {"real", {S("1e-400")}, R(0)},
      {"real", {S("abc")}, R(0), "Error in function real()."},
      {"real", {S("1,5")}, R(0), "Error in function real()."},
      {"real", {S("1e400")}, R(0), "Error in function real()."},
      {"real", {S("3 5")}, R(0), "Error in function real()."},
      {"real", {S(".")}, R(0), "Error in function real()."},
      {"real", {S("e5")}, R(0), "Error in function real()."},
      {"real", {S("1e")}, R(0), "Error in function real()."},
      {"real", {S("inf")}, R(0), "Error in function real()."},
      {"string", {R(3)}, S("3")},
      {"string", {R(0.1 + 0.2)}, S("0.30")},
      {"string", {R(-2.5)}, S("-2.50")},
      {"string", {S("x")}, S("x")},
      {"string_format", {R(3.14159), R(6), R(2)}, S("  3.14")},
      {"string_format", {R(12), R(1), R(0)}, S("12")},
      {"string_format", {R(2.5), R(0), R(0)}, S("2")},     // an exact half goes to even
      {"string_format", {R(0.125), R(0), R(2)}, S("0.12")},
      {"string_format", {R(-0.001), R(0), R(2)}, S("0.00")},
      {"string_format", {S("ab"), R(4), R(1)}, S("  ab")},
      {"string_format", {R(1), R(0), R(25)}, S("1.000000000000000000")},
      {"string_format", {R(1.5), R(0), R(-3)}, S("2")},
      {"string_format", {R(123456789012345678901.0), R(0), R(2)}, S("123456789012345684000.00")},
      {"string_format", {R(1), R(1e12), R(0)}, S(""), "Error in function string_format()."},
      {"chr", {R(65)}, S("A")},
      {"chr", {R(321)}, S("A")},  // the low byte
      {"chr", {R(128)}, S("\xE2\x82\xAC")},
      {"chr", {R(233)}, S("\xC3\xA9")},
      {"chr", {R(0x81)}, S("\xC2\x81")},
      {"ansi_char", {R(233)}, S("\xE9")},
      {"ansi_char", {R(65.5)}, S("B")},
      {"ord", {S("A")}, R(65)},
      {"ord", {S("\xC3\xA9")}, R(195)},
      {"ord", {S("")}, R(0)},
  });
}

TEST_F(MathFunctions, StringsByBytePosition) {
  const char* e = "\xC3\xA9";  // one two-byte character
  Check({
      {"string_length", {S("")}, R(0)},
      {"string_length", {S(std::string("h") + e + "llo")}, R(5)},
      {"string_length", {S("\xE2\x82\xAC")}, R(1)},
      {"string_length", {S("a\xE2")}, R(2)},  // a cut sequence still counts once
      {"string_pos", {S("lo"), S("hello")}, R(4)},
      {"string_pos", {S(""), S("abc")}, R(0)},
      {"string_pos", {S("z"), S("abc")}, R(0)},
      {"string_copy", {S("hello"), R(2), R(3)}, S("ell")},
      {"string_copy", {S("hello"), R(0), R(2)}, S("he")},
      {"string_copy", {S("hello"), R(-5), R(2)}, S("he")},
      {"string_copy", {S("hello"), R(4), R(99)}, S("lo")},
      {"string_copy", {S("hello"), R(6), R(1)}, S("")},
      {"string_copy", {S("hello"), R(3), R(0)}, S("")},
      {"string_copy", {S("hello"), R(2.5), R(1)}, S("e")},
      {"string_copy", {S(e), R(1), R(1)}, S("\xC3")},
      {"string_copy", {S(""), R(1), R(1)}, S("")},
      {"string_char_at", {S("hello"), R(1)}, S("h")},
      {"string_char_at", {S("hello"), R(5)}, S("o")},
      {"string_char_at", {S("hello"), R(0)}, S("")},
      {"string_char_at", {S("hello"), R(6)}, S("")},
      {"string_char_at", {S(e), R(2)}, S("\xA9")},
      {"string_delete", {S("hello"), R(2), R(2)}, S("hlo")},
      {"string_delete", {S("hello"), R(4), R(10)}, S("hel")},
      {"string_delete", {S("hello"), R(0), R(2)}, S("hello")},
      {"string_delete", {S("hello"), R(6), R(1)}, S("hello")},
      {"string_delete", {S("hello"), R(1), R(0)}, S("hello")},
      {"string_insert", {S("XY"), S("abc"), R(1)}, S("XYabc")},
      {"string_insert", {S("XY"), S("abc"), R(-3)}, S("XYabc")},
      {"string_insert", {S("XY"), S("abc"), R(2)}, S("aXYbc")},
      {"string_insert", {S("XY"), S("abc"), R(4)}, S("abcXY")},
      {"string_insert", {S("XY"), S("abc"), R(99)}, S("abcXY")},
      {"string_insert", {S("X"), S(""), R(1)}, S("X")},
      {"string_lower", {S(std::string("AbC-") + e)}, S(std::string("abc-") + e)},
      {"string_upper", {S(std::string("AbC-") + e)}, S(std::string("ABC-") + e)},
      {"string_repeat", {S("ab"), R(3)}, S("ababab")},
      {"string_repeat", {S("ab"), R(2.5)}, S("abab")},
      {"string_repeat", {S("ab"), R(0)}, S("")},
      {"string_repeat", {S("ab"), R(-1)}, S("")},
      {"string_repeat", {S(""), R(1e12)}, S("")},
      {"string_repeat", {S("ab"), R(1e12)}, S(""), "Error in function string_repeat()."},
      {"string_letters", {S("a1-B2")}, S("aB")},
      {"string_digits", {S("a1-B2")}, S("12")},
      {"string_lettersdigits", {S(std::string("a1-B2") + e)}, S("a1B2")},
      {"string_replace", {S("abab"), S("b"), S("X")}, S("aXab")},
      {"string_replace", {S("ABC"), S("b"), S("x")}, S("ABC")},
      {"string_replace", {S("abc"), S(""), S("X")}, S("abc")},
      {"string_replace_all", {S("aaa"), S("aa"), S("b")}, S("ba")},
      {"string_replace_all", {S("abab"), S("b"), S("")}, S("aa")},
      {"string_replace_all", {S("x"), S(""), S("y")}, S("x")},
      {"string_replace_all", {S("a-a"), S("a"), S("bcd")}, S("bcd-bcd")},
      {"string_count", {S("aa"), S("aaaa")}, R(2)},
      {"string_count", {S("a"), S("banana")}, R(3)},
      {"string_count", {S(""), S("abc")}, R(0)},
  });
}

TEST_F(MathFunctions, Vectors) {
  Check({
      {"point_distance", {R(0), R(0), R(3), R(4)}, R(5)},
      {"point_distance_3d", {R(0), R(0), R(0), R(1), R(2), R(2)}, R(3)},
      {"point_direction", {R(0), R(0), R(0), R(10)}, R(270)},
      {"point_direction", {R(0), R(0), R(0), R(-5)}, R(90)},
      {"point_direction", {R(0), R(0), R(0), R(0)}, R(0)},
      {"point_direction", {R(0), R(0), R(-1), R(0)}, R(180)},
      {"point_direction", {R(0), R(0), R(1), R(0)}, R(0)},
      {"point_direction", {R(0), R(0), R(1), R(-1)}, R(45), nullptr, 1e-12},
      {"point_direction", {R(0), R(0), R(-1), R(1)}, R(225), nullptr, 1e-12},
      {"lengthdir_x", {R(10), R(90)}, R(0)},
      {"lengthdir_y", {R(10), R(90)}, R(-10)},
      {"lengthdir_y", {R(10), R(270)}, R(10)},
      {"lengthdir_x", {R(10), R(180)}, R(-10)},
      {"lengthdir_x", {R(10), R(45)}, R(7.0710678118654755), nullptr, 1e-12},
      {"dot_product", {R(1), R(0), R(0), R(1)}, R(0)},
      {"dot_product", {R(1), R(0), R(2), R(0)}, R(1)},
      {"dot_product", {R(1), R(0), R(-3), R(0)}, R(-1)},
      {"dot_product", {R(0), R(0), R(1), R(1)}, R(0)},  // no direction: 0, not NaN
      {"dot_product_3d", {R(1), R(1), R(0), R(2), R(2), R(0)}, R(1), nullptr, 1e-12},
  });
}

// The generator, independently: seed = seed * 134775813 + 1 (mod 2^32).
uint32_t Next(uint32_t s) { return s * 134775813u + 1u; }

TEST_F(MathFunctions, RandomGeneratorFollowsItsRecurrence) {
  Call("random_set_seed", {R(1)});
  EXPECT_EQ(Call("random", {R(1)}).val, 134775814.0 / 4294967296.0);
  EXPECT_EQ(Call("random_get_seed", {}).val, 134775814);

  // Integer draws: the high half of the new seed times the range.
  uint32_t s = 987654321;
  Call("random_set_seed", {R(s)});
  for (int i = 0; i < 20; ++i) {
    s = Next(s);
    EXPECT_EQ(Call("irandom", {R(9.7)}).val, static_cast<double>((uint64_t{s} * 10) >> 32));
  }
  s = Next(s);
  EXPECT_EQ(Call("irandom_range", {R(-3.5), R(2)}).val, -4.0 + static_cast<double>((uint64_t{s} * 7) >> 32));
  s = Next(s);
  EXPECT_EQ(Call("random_range", {R(10), R(20)}).val, 10 + static_cast<double>(s) / 4294967296.0 * 10);
  EXPECT_EQ(RandomGetSeed(), s);

  // The seed is the low 32 bits of the rounded argument, read back signed.
  for (auto [set, get] : std::vector<std::pair<double, double>>{
           {-1, -1}, {4294967295.0, -1}, {4294967296.0 + 5, 5}, {2.5, 2}, {2147483648.0, -2147483648.0}}) {
    Call("random_set_seed", {R(set)});
    EXPECT_EQ(Call("random_get_seed", {}).val, get) << set;
  }
  EXPECT_TRUE(errors.empty());
}

TEST_F(MathFunctions, RandomDrawsStayInRangeAndRepeatWithTheSeed) {
  auto draws = [&] {
    std::vector<std::string> out;
    for (int i = 0; i < 50; ++i) {
      out.push_back(Show(Call("random", {R(100)})));
      out.push_back(Show(Call("choose", {S("a"), R(2), S("c")})));
      out.push_back(Show(Call("irandom_range", {R(5), R(3)})));
    }
    return out;
  };
  Call("random_set_seed", {R(42)});
  auto first = draws();
  Call("random_set_seed", {R(42)});
  EXPECT_EQ(draws(), first);

  std::set<double> seen;
  for (int i = 0; i < 300; ++i) {
    EXPECT_EQ(Call("irandom", {R(0)}).val, 0);
    seen.insert(Call("irandom", {R(2.9)}).val);
    const double back = Call("irandom_range", {R(5), R(3)}).val;  // either order
    EXPECT_TRUE(back >= 3 && back <= 5 && back == std::floor(back));
    const double neg = Call("irandom", {R(-2)}).val;
    EXPECT_TRUE(neg >= -2 && neg <= 0);
    const double u = Call("random", {R(1)}).val;
    EXPECT_TRUE(u >= 0 && u < 1);
  }
  EXPECT_EQ(seen, (std::set<double>{0, 1, 2}));

  const uint32_t before = RandomGetSeed();
  EXPECT_EQ(Show(Call("choose", {})), "0");
  EXPECT_EQ(RandomGetSeed(), before);  // nothing to choose from, nothing drawn
  EXPECT_TRUE(errors.empty());
}

}  // namespace
}  // namespace kestro

namespace kestro {
namespace {

// Every routine of the family with extreme numbers and odd text in every slot: no crash, no
// undefined behaviour (checked under the sanitizers), and a result of a valid kind.
TEST_F(MathFunctions, SurviveHostileArguments) {
  const std::vector<RValue> hostile = {
      R(std::nan("")), R(INFINITY), R(-INFINITY), R(1e300), R(-1e300), R(9.3e18), R(-0.0), R(0.5),
      S(""), S("\xFF\xFE"), S(std::string(300, '9')), S(std::string("a\0b", 3))};
  const CFunctionRegistry& reg = BuiltinRegistry();
  size_t calls = 0;
  for (const RBuiltinFamily& fam : BuiltinFamilies()) {
    if (std::string(fam.name) != "Function_Math") continue;
    for (const RBuiltinName& f : fam.functions) {
      const int32_t id = reg.Find(f.name).value();
      const int32_t argc = f.argnumb < 0 ? 4 : f.argnumb;
      for (const RValue& v : hostile) {
        for (int32_t slot = 0; slot < std::max(argc, 1); ++slot) {
          RValue args[16];
          for (int32_t i = 0; i < argc; ++i) args[i] = R(3);
          args[slot] = v;
          RValue r;
          ASSERT_TRUE(reg.Call(id, nullptr, nullptr, argc, args, r));
          EXPECT_TRUE(r.IsReal() || r.IsString()) << f.name;
          EXPECT_LE(r.str.size(), kMaxStringBytes) << f.name;
          ++calls;
        }
      }
    }
  }
  EXPECT_GT(calls, 1000u);
}

}  // namespace
}  // namespace kestro
