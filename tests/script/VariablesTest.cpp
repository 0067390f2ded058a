// Variable lists: array addressing and growth, reads of missing elements, the stored form and
// damaged stored forms, the global list with its declared flags, and the name table.
#include <gtest/gtest.h>

#include "io/Stream.h"
#include "script/Variables.h"

namespace kestro {
namespace {

constexpr int32_t kA = kUserVariableBase + 900001;  // ids no compile in this program produces
constexpr int32_t kB = kUserVariableBase + 900002;

int32_t Flat(int32_t i, int32_t j) { return i * kArrayDimension + j; }

// Reads as "v" for a value (real in %g) or "-" when missing.
std::string Read(const CVariableList& l, int32_t id, int32_t flat) {
  RValue v;
  if (!l.GetVar(id, flat, v)) return "-";
  if (v.kind == ty_string) return v.str.str();
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", v.val);
  return buf;
}

TEST(VariableList, OneDimensionalArrayGrowsWithZeros) {
  CVariableList l;
  l.SetVar(kA, 3, RValue::Real(7));
  EXPECT_EQ(Read(l, kA, 0), "0");
  EXPECT_EQ(Read(l, kA, 1), "0");
  EXPECT_EQ(Read(l, kA, 2), "0");
  EXPECT_EQ(Read(l, kA, 3), "7");
  EXPECT_EQ(Read(l, kA, 4), "-");
  EXPECT_EQ(Read(l, kB, 0), "-");
  SetUninitialisedAreZero(true);
  EXPECT_EQ(Read(l, kA, 4), "0");
  EXPECT_EQ(Read(l, kB, 0), "0");
  SetUninitialisedAreZero(false);
}

TEST(VariableList, TwoDimensionalRowsAndSharedSlots) {
  CVariableList l;
  l.SetVar(kA, Flat(2, 1), RValue::Real(5));
  EXPECT_EQ(Read(l, kA, Flat(2, 1)), "5");
  EXPECT_EQ(Read(l, kA, Flat(2, 0)), "0");
  EXPECT_EQ(Read(l, kA, Flat(1, 1)), "-");
  EXPECT_EQ(Read(l, kA, 1), "-");
  EXPECT_EQ(l.Vars()[0].value.size(), 3u);
  EXPECT_TRUE(l.Vars()[0].value[0].empty());
  // a, a[0] and a[0, 0] are one slot; a[5] and a[0, 5] are one slot.
  l.SetVar(kB, Flat(0, 0), RValue::String("plain"));
  EXPECT_EQ(Read(l, kB, 0), "plain");
  l.SetVar(kB, 5, RValue::Real(9));
  EXPECT_EQ(Read(l, kB, Flat(0, 5)), "9");
  EXPECT_FALSE(l.SetVar(kB, -1, RValue::Real(1)));
  EXPECT_FALSE(l.SetVar(kB, Flat(kArrayDimension, 0), RValue::Real(1)));
  EXPECT_EQ(Read(l, kB, -1), "-");
}

TEST(VariableList, ManyVariablesAndDeepCopy) {
  CVariableList l;
  for (int32_t i = 0; i < 2000; ++i) l.SetVar(kUserVariableBase + i, i % 3, RValue::Real(i));
  l.Init(kUserVariableBase + 5);  // an existing variable is left alone
  for (int32_t i = 0; i < 2000; ++i) ASSERT_EQ(Read(l, kUserVariableBase + i, i % 3), std::to_string(i));
  EXPECT_EQ(l.v_numb(), 2000);
  CVariableList copy;
  copy.Assign(l);
  copy.SetVar(kUserVariableBase + 7, 1, RValue::Real(-1));
  EXPECT_EQ(Read(l, kUserVariableBase + 7, 1), "7");
  EXPECT_EQ(Read(copy, kUserVariableBase + 7, 1), "-1");
  l.Clear();
  EXPECT_EQ(Read(l, kUserVariableBase + 7, 1), "-");
  EXPECT_EQ(Read(copy, kUserVariableBase + 1999, 1), "1999");
}

TEST(VariableList, StoredFormRoundTrip) {
  CVariableList l;
  l.SetVar(kA, 0, RValue::String("text \xC3\xA9"));
  l.SetVar(kA, Flat(2, 3), RValue::Real(1.25));
  l.SetVar(kB, 1, RValue::Real(-3));
  CStream s;
  l.SaveToStream(s);
  s.SetPosition(0);
  EXPECT_EQ(s.ReadInteger(), 440);
  s.SetPosition(0);
  CVariableList back;
  back.SetVar(kUserVariableBase + 77, 0, RValue::Real(1));  // loading clears first
  ASSERT_TRUE(back.LoadFromStream(s));
  EXPECT_EQ(s.Remaining(), 0u);
  EXPECT_EQ(Read(back, kUserVariableBase + 77, 0), "-");
  EXPECT_EQ(Read(back, kA, 0), "text \xC3\xA9");
  EXPECT_EQ(Read(back, kA, Flat(2, 3)), "1.25");
  EXPECT_EQ(Read(back, kA, Flat(2, 2)), "0");
  EXPECT_EQ(Read(back, kA, Flat(1, 0)), "-");
  EXPECT_EQ(Read(back, kB, 1), "-3");
}

TEST(VariableList, WrongVersionLoadsNothingAndDamageIsAStreamError) {
  CStream wrong;
  wrong.WriteInteger(439);
  wrong.WriteInteger(0);
  wrong.SetPosition(0);
  CVariableList l;
  l.SetVar(kA, 0, RValue::Real(1));
  EXPECT_FALSE(l.LoadFromStream(wrong));
  EXPECT_EQ(l.v_numb(), 0);

  auto damaged = [](auto write) {
    CStream s;
    write(s);
    s.SetPosition(0);
    CVariableList d;
    EXPECT_THROW(d.LoadFromStream(s), EStreamError);
  };
  damaged([](CStream& s) { s.WriteInteger(440); s.WriteInteger(2000000000); });  // count beyond the data
  damaged([](CStream& s) { s.WriteInteger(440); s.WriteInteger(-1); });
  damaged([](CStream& s) {  // a value kind that is neither real nor string
    s.WriteInteger(440); s.WriteInteger(1); s.WriteInteger(kA);
    s.WriteInteger(7); s.WriteReal(0); s.WriteString(""); s.WriteInteger(0);
  });
  damaged([](CStream& s) {  // more rows than arrays can have
    s.WriteInteger(440); s.WriteInteger(1); s.WriteInteger(kA);
    s.WriteInteger(0); s.WriteReal(0); s.WriteString(""); s.WriteInteger(kArrayDimension + 1);
  });
  damaged([](CStream& s) {  // a row length far beyond the data
    s.WriteInteger(440); s.WriteInteger(1); s.WriteInteger(kA);
    s.WriteInteger(0); s.WriteReal(0); s.WriteString(""); s.WriteInteger(1); s.WriteInteger(30000);
  });
}

TEST(Globals, DeclaredNamesReadZeroAndSurviveSaveAndLoad) {
  ResetGlobals();
  const int32_t g = VariableId("test_global_g");
  const int32_t far = kUserVariableBase + 25000;  // beyond the initial flag table
  EXPECT_FALSE(IsDeclaredGlobal(g));
  DeclareGlobal(g);
  DeclareGlobal(far);
  EXPECT_TRUE(IsDeclaredGlobal(g));
  EXPECT_TRUE(IsDeclaredGlobal(far));
  RValue v = RValue::Real(5);
  ASSERT_TRUE(GlobalVariables().GetVar(g, 0, v));
  EXPECT_EQ(v.val, 0);
  GlobalVariables().SetVar(g, 2, RValue::Real(8));

  CStream s;
  SaveGlobals(s);
  ResetGlobals();
  EXPECT_FALSE(IsDeclaredGlobal(far));
  s.SetPosition(0);
  ASSERT_TRUE(LoadGlobals(s));
  EXPECT_TRUE(IsDeclaredGlobal(g));
  EXPECT_TRUE(IsDeclaredGlobal(far));
  ASSERT_TRUE(GlobalVariables().GetVar(g, 2, v));
  EXPECT_EQ(v.val, 8);

  CStream other;
  other.WriteInteger(699);
  other.SetPosition(0);
  EXPECT_FALSE(LoadGlobals(other));
  EXPECT_TRUE(IsDeclaredGlobal(g));
  ResetGlobals();
}

TEST(VariableNames, BuiltinsFirstAndStableUserIds) {
  if (FindBuiltinVariable("test_builtin_speed") < 0) RegisterBuiltinVariable("test_builtin_speed");
  const int32_t b = FindBuiltinVariable("test_builtin_speed");
  ASSERT_GE(b, 0);
  ASSERT_LT(b, kMaxBuiltinVariables);
  EXPECT_EQ(VariableId("test_builtin_speed"), b);
  const int32_t u = VariableId("test_user_name");
  EXPECT_GE(u, kUserVariableBase);
  EXPECT_EQ(VariableId("test_user_name"), u);
  EXPECT_NE(VariableId("Test_user_name"), u);  // names are case-sensitive
  EXPECT_EQ(VariableName(u), "test_user_name");
  EXPECT_EQ(VariableName(b), "test_builtin_speed");
  EXPECT_EQ(VariableName(kUserVariableBase + 9999999), "<unknown variable>");
  EXPECT_EQ(VariableName(499), "<unknown built-in variable>");
}

}  // namespace
}  // namespace kestro
