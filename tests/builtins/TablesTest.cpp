// The built-in vocabulary: every family's place in the id order, a fingerprint of every name and
// argument count, every constant value, and the registry built from them.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "script/builtins/BuiltinError.h"
#include "script/builtins/BuiltinTables.h"
#include "script/builtins/FunctionRegistry.h"

namespace kestro {
namespace {

// 64-bit FNV-1a of the text "name/count," for every entry, "any" for any count. A wrong,
// missing, extra or moved entry changes it.
uint64_t Fingerprint(const std::string& s) {
  uint64_t h = 0xcbf29ce484222325u;
  for (unsigned char c : s) {
    h ^= c;
    h *= 0x100000001b3u;
  }
  return h;
}

struct FamilyRow {
  const char* family;
  int32_t firstId;
  const char* firstName;
  int32_t lastId;
  const char* lastName;
  int32_t fixedArgSum;  // sum of the fixed counts
  int32_t anyCount;     // entries taking any number
  uint64_t fingerprint;
};

constexpr FamilyRow kFamilies[] = {
    {"Function_Graphics", 0, "display_get_width", 206, "surface_copy_part", 607, 1, 0x4dc2928da36c01c6u},
    {"Function_Action", 207, "action_set_sprite", 335, "action_effect", 296, 0, 0x5470ecaa9da647b1u},
    {"Function_Math", 336, "is_real", 402, "lengthdir_y", 106, 5, 0x421a56709c7fb543u},
    {"Function_Interaction", 403, "move_random", 485, "Zarn_GetDevice", 208, 0, 0xe866ee906acf79feu},
    {"Function_File", 486, "file_bin_open", 564, "disk_size", 99, 2, 0xc9c5daf3111c8911u},
    {"Function_Game", 565, "splash_set_caption", 662, "mouse_wait", 144, 0, 0x358c383f9f8bfa2du},
    {"Function_DPlay", 663, "mplay_init_ipx", 691, "mplay_ipaddress", 30, 0, 0x2dd802c96730d327u},
    {"Function_Misc", 692, "event_inherited", 787, "date_is_today", 205, 4, 0x70705354e9f59c61u},
    {"Function_Resource", 788, "sprite_name", 946, "room_tile_clear", 360, 1, 0x633176e18e694cf0u},
    {"Function_Particles", 947, "part_type_create", 1028, "effect_clear", 229, 0, 0x6963b32f986bcff3u},
    {"Function_Data_Structures", 1029, "ds_set_precision", 1138, "ds_grid_read", 261, 0, 0x3085fc52658017bau},
    {"Function_Sound", 1139, "sound_play", 1180, "MCI_command", 81, 0, 0xf474c8092041990au},
    {"Function_3D", 1181, "d3d_start", 1255, "d3d_model_floor", 329, 0, 0x740b31f23b85adc0u},
};

TEST(BuiltinTables, FamiliesInOrderWithTheirIdsCountsAndNames) {
  auto families = BuiltinFamilies();
  ASSERT_EQ(families.size(), std::size(kFamilies));
  int32_t id = 0;
  std::set<std::string> names;
  for (size_t i = 0; i < families.size(); ++i) {
    const FamilyRow& want = kFamilies[i];
    const RBuiltinFamily& fam = families[i];
    SCOPED_TRACE(want.family);
    EXPECT_STREQ(fam.name, want.family);
    EXPECT_EQ(id, want.firstId);
    std::string text;
    int32_t fixed = 0, any = 0;
    for (const RBuiltinName& f : fam.functions) {
      EXPECT_TRUE(names.insert(f.name).second) << "duplicate " << f.name;
      EXPECT_TRUE(f.argnumb == kArgsAny || (f.argnumb >= 0 && f.argnumb <= 16)) << f.name;
      text += std::string(f.name) + "/" + (f.argnumb == kArgsAny ? "any" : std::to_string(f.argnumb)) + ",";
      if (f.argnumb == kArgsAny)
        ++any;
      else
        fixed += f.argnumb;
    }
    ASSERT_FALSE(fam.functions.empty());
    EXPECT_STREQ(fam.functions.front().name, want.firstName);
    EXPECT_STREQ(fam.functions.back().name, want.lastName);
    id += static_cast<int32_t>(fam.functions.size());
    EXPECT_EQ(id - 1, want.lastId);
    EXPECT_EQ(fixed, want.fixedArgSum);
    EXPECT_EQ(any, want.anyCount);
    EXPECT_EQ(Fingerprint(text), want.fingerprint);
  }
  EXPECT_EQ(id, 1256);
}

TEST(BuiltinTables, ConstantsAllValuesInOrder) {
  auto constants = BuiltinConstants();
  ASSERT_EQ(constants.size(), 320u);
  std::string text;
  std::set<std::string> names;
  char buf[64];
  for (const RBuiltinConstant& c : constants) {
    EXPECT_TRUE(names.insert(c.name).second) << "duplicate " << c.name;
    std::snprintf(buf, sizeof buf, "%.17g", c.value);
    text += std::string(c.name) + "=" + buf + ";";
  }
  EXPECT_EQ(Fingerprint(text), 0x1e1bffe32f5aeb08u);

  auto value = [&](const char* name) {
    for (const RBuiltinConstant& c : constants)
      if (std::string(c.name) == name) return c.value;
    ADD_FAILURE() << "no constant " << name;
    return -12345.0;
  };
  EXPECT_STREQ(constants.front().name, "self");
  EXPECT_STREQ(constants.back().name, "OEM_CHARSET");
  EXPECT_EQ(value("cr_arrrow"), -2);
  EXPECT_EQ(value("cr_arrow"), -2);
  EXPECT_EQ(value("vk_enter"), 13);
  EXPECT_EQ(value("vk_return"), 13);
  EXPECT_EQ(value("bm_add"), 1);
  EXPECT_EQ(value("bm_zero"), 1);
  EXPECT_EQ(value("pi"), 3.141592653589793);
  EXPECT_EQ(value("c_red"), 255);
  EXPECT_EQ(value("c_blue"), 16711680);
  EXPECT_EQ(value("c_orange"), 4235519);
  EXPECT_EQ(value("local"), -7);
  EXPECT_EQ(value("ev_close_button"), 30);
}

TEST(BuiltinRegistry, IdsAreTablePositionsAndNamesFindTheirIds) {
  CFunctionRegistry reg;
  CreateBuiltinRegistry(reg);
  ASSERT_EQ(reg.Count(), 1256);
  int32_t id = 0;
  for (const RBuiltinFamily& fam : BuiltinFamilies())
    for (const RBuiltinName& f : fam.functions) {
      ASSERT_EQ(reg.Find(f.name), id) << f.name;
      ASSERT_EQ(reg.ArgCount(id), f.argnumb) << f.name;
      ASSERT_NE(reg.Get(id)->f_routine, nullptr);
      ++id;
    }
  EXPECT_EQ(reg.Find("display_get_width"), 0);
  EXPECT_EQ(reg.Find("action_set_sprite"), 207);
  EXPECT_EQ(reg.ArgCount(reg.Find("min").value()), -1);
  EXPECT_FALSE(reg.Find("no_such_function"));
  EXPECT_FALSE(reg.Find("Abs"));  // names are exact
  EXPECT_EQ(reg.ArgCount(-1), kUnknownFunction);
  EXPECT_EQ(reg.ArgCount(1256), kUnknownFunction);
  EXPECT_EQ(reg.Get(1256), nullptr);
  RValue args[16], r;
  EXPECT_FALSE(reg.Call(1256, nullptr, nullptr, 0, args, r));

  // Building again starts over rather than appending behind the old entries.
  CreateBuiltinRegistry(reg);
  EXPECT_EQ(reg.Count(), 1256);
}

TEST(BuiltinRegistry, FirstRegistrationOfANameWinsAndImplementNeedsAKnownName) {
  CFunctionRegistry reg;
  auto a = [](CInstance*, CInstance*, int32_t, RValue& r, const RValue*) { r.SetReal(1); };
  auto b = [](CInstance*, CInstance*, int32_t, RValue& r, const RValue*) { r.SetReal(2); };
  EXPECT_EQ(reg.Register("twice", a, 0), 0);
  EXPECT_EQ(reg.Register("twice", b, 1), 1);
  EXPECT_EQ(reg.Find("twice"), 0);
  EXPECT_EQ(reg.Register(std::string(80, 'n'), a, 0), 2);
  EXPECT_EQ(reg.Get(2)->f_name.size(), 64u);
  EXPECT_FALSE(reg.Implement("unknown", a));
  EXPECT_FALSE(reg.Implement("twice", nullptr));
  EXPECT_TRUE(reg.Implement("twice", b));
  RValue r;
  reg.Get(0)->f_routine(nullptr, nullptr, 0, r, nullptr);
  EXPECT_EQ(r.val, 2);
}

TEST(BuiltinRegistry, FunctionsNotBuiltYetReportTheirNameAndGiveZero) {
  std::vector<std::string> errors;
  SetBuiltinErrorHandler([&](std::string_view m, bool fatal) {
    EXPECT_FALSE(fatal);
    errors.emplace_back(m);
  });
  // A registry of the built-in names alone, no tables bound: every function a placeholder, as
  // one not built yet is, whatever the program has built.
  CFunctionRegistry reg;
  int32_t next = 0;
  for (const RBuiltinFamily& family : BuiltinFamilies())
    for (const RBuiltinName& f : family.functions) reg.Register(f.name, NotAvailableRoutine(next++), f.argnumb);
  RValue args[16];
  for (const char* name : {"Zarn_GetDevice", "mplay_init_tcpip", "Zarn_GetPlatform", "mplay_init_ipx"}) {
    const int32_t id = reg.Find(name).value();
    EXPECT_FALSE(reg.IsImplemented(id));
    RValue r = RValue::String("stale");
    EXPECT_TRUE(reg.Call(id, nullptr, nullptr, 0, args, r));
    EXPECT_TRUE(r.IsReal());
    EXPECT_EQ(r.val, 0);
  }
  SetBuiltinErrorHandler({});
  EXPECT_EQ(errors, (std::vector<std::string>{"Function Zarn_GetDevice() is not available yet.",
                                              "Function mplay_init_tcpip() is not available yet.",
                                              "Function Zarn_GetPlatform() is not available yet.",
                                              "Function mplay_init_ipx() is not available yet."}));
  // Each placeholder is its own routine, so addresses tell functions apart.
  EXPECT_NE(reg.Get(reg.Find("Zarn_GetDevice").value())->f_routine,
            reg.Get(reg.Find("Zarn_GetPlatform").value())->f_routine);
}

TEST(BuiltinRegistry, FamilyStatusCountsImplementedFunctions) {
  auto status = BuiltinFamilyStatus(BuiltinRegistry());
  ASSERT_EQ(status.size(), 13u);
  int32_t total = 0;
  for (const auto& s : status) {
    total += s.total;
    EXPECT_EQ(s.implemented + static_cast<int32_t>(s.missing.size()), s.total) << s.family;
  }
  EXPECT_EQ(total, 1256);
  EXPECT_EQ(status[2].family, "Function_Math");
  EXPECT_EQ(status[2].implemented, 67);
  EXPECT_TRUE(status[2].missing.empty());

  const std::string report = BuiltinStatusReport(BuiltinRegistry());
  EXPECT_NE(report.find("\nFunction_Math: 67 of 67 implemented\nFunction_Interaction: "), std::string::npos);
  int32_t implemented = 0;
  for (const auto& s : status) implemented += s.implemented;
  EXPECT_NE(report.find("\nTotal: " + std::to_string(implemented) + " of 1256 implemented\n"), std::string::npos);
  for (const auto& s : status)
    for (const std::string& name : s.missing) EXPECT_NE(report.find(" " + name), std::string::npos) << name;
}

}  // namespace
}  // namespace kestro
