// The ds_* functions called through the registry as game code calls them: each structure's main
// paths as tables of calls, the ids that do not exist, the comparison's precision, sorting and
// shuffling, the text forms (exact text for known containers, round trips, damaged texts).
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "datastructures/DataStructures.h"
#include "script/builtins/BuiltinError.h"
#include "script/builtins/FunctionRegistry.h"
#include "script/builtins/Random.h"
#include "support/Values.h"

namespace kestro {
namespace {

using test::R;
using test::S;
using test::Show;

constexpr const char* kNoStructure = "Data structure with index does not exist.";

// One call and the result it must give (nothing checked when `want` is omitted).
struct Step {
  const char* fn;
  std::vector<RValue> args;
  std::optional<RValue> want = std::nullopt;
};

class DataStructures_ : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetDataStructures();
    SetBuiltinErrorHandler([this](std::string_view m, bool fatal) {
      EXPECT_FALSE(fatal);
      errors.emplace_back(m);
    });
  }
  void TearDown() override {
    SetBuiltinErrorHandler({});
    ResetDataStructures();
  }

  RValue Call(const char* fn, const std::vector<RValue>& args) { return test::CallBuiltin(fn, args); }
  // Runs the steps in order; every result given must match exactly (kind and value).
  void Run(const std::vector<Step>& steps) {
    for (size_t i = 0; i < steps.size(); ++i) {
      const Step& s = steps[i];
      RValue got = Call(s.fn, s.args);
      if (!s.want) continue;
      EXPECT_EQ(Show(got), Show(*s.want)) << "step " << i << ": " << s.fn;
    }
  }
  std::string Text(const char* fn, double id) {
    RValue v = Call(fn, {R(id)});
    EXPECT_TRUE(v.IsString()) << fn;
    return v.str.str();
  }
  std::vector<std::string> errors;
};

// ---------------------------------------------------------------------------------------------
// Ids

TEST_F(DataStructures_, IdsTakeTheLowestFreeSlotPerKind) {
  Run({
      {"ds_list_create", {}, R(0)},
      {"ds_list_create", {}, R(1)},
      {"ds_stack_create", {}, R(0)},  // kinds have their own ids
      {"ds_grid_create", {R(2), R(2)}, R(0)},
      {"ds_list_destroy", {R(0)}},
      {"ds_list_create", {}, R(0)},  // the freed id comes back
      {"ds_list_create", {}, R(2)},
      {"ds_list_destroy", {R(1)}},
      {"ds_list_size", {R(1)}, R(0)},
      {"ds_list_size", {R(0.4)}, R(0)},  // ids round: 0.4 is list 0
  });
  EXPECT_EQ(errors, std::vector<std::string>{kNoStructure});
}

TEST_F(DataStructures_, EveryFunctionOfAMissingIdReportsAndGivesZero) {
  // One existing container of each kind, so only the id decides.
  for (const char* create : {"ds_stack_create", "ds_queue_create", "ds_list_create", "ds_map_create",
                             "ds_priority_create"})
    Call(create, {});
  Call("ds_grid_create", {R(3), R(3)});
  const CFunctionRegistry& reg = BuiltinRegistry();
  int checked = 0;
  for (int32_t id = 0; id < reg.Count(); ++id) {
    const RFunction* f = reg.Get(id);
    const std::string& name = f->f_name;
    if (name.rfind("ds_", 0) != 0 || name.find("_create") != std::string::npos || name == "ds_set_precision")
      continue;
    for (double missing : {-1.0, 1.0, 1e12}) {
      std::vector<RValue> args(size_t(f->f_argnumb), R(0));
      args[0] = R(missing);
      errors.clear();
      RValue got = Call(name.c_str(), args);
      EXPECT_EQ(Show(got), "0") << name;
      EXPECT_EQ(errors, std::vector<std::string>{kNoStructure}) << name << " " << missing;
    }
    ++checked;
  }
  EXPECT_EQ(checked, 110 - 7);  // every ds_ function but the six creates and the precision
  // A copy from a missing source changes nothing.
  Run({{"ds_list_add", {R(0), R(5)}}, {"ds_list_copy", {R(0), R(7)}}, {"ds_list_size", {R(0)}, R(1)}});
}

// ---------------------------------------------------------------------------------------------
// Stack, queue, list

TEST_F(DataStructures_, StacksAndQueues) {
  Run({
      {"ds_stack_create", {}, R(0)},
      {"ds_stack_empty", {R(0)}, R(1)},
      {"ds_stack_pop", {R(0)}, R(0)},
      {"ds_stack_top", {R(0)}, R(0)},
      {"ds_stack_push", {R(0), R(1)}},
      {"ds_stack_push", {R(0), S("two")}},
      {"ds_stack_size", {R(0)}, R(2)},
      {"ds_stack_top", {R(0)}, S("two")},
      {"ds_stack_pop", {R(0)}, S("two")},
      {"ds_stack_pop", {R(0)}, R(1)},
      {"ds_stack_empty", {R(0)}, R(1)},
      {"ds_queue_create", {}, R(0)},
      {"ds_queue_head", {R(0)}, R(0)},
      {"ds_queue_tail", {R(0)}, R(0)},
      {"ds_queue_dequeue", {R(0)}, R(0)},
      {"ds_queue_enqueue", {R(0), S("a")}},
      {"ds_queue_enqueue", {R(0), R(2)}},
      {"ds_queue_enqueue", {R(0), S("c")}},
      {"ds_queue_head", {R(0)}, S("a")},
      {"ds_queue_tail", {R(0)}, S("c")},
      {"ds_queue_dequeue", {R(0)}, S("a")},
      {"ds_queue_size", {R(0)}, R(2)},
      {"ds_queue_create", {}, R(1)},
      {"ds_queue_copy", {R(1), R(0)}},
      {"ds_queue_dequeue", {R(0)}, R(2)},
      {"ds_queue_dequeue", {R(1)}, R(2)},  // the copy is its own
      {"ds_queue_clear", {R(1)}},
      {"ds_queue_empty", {R(1)}, R(1)},
  });
  EXPECT_TRUE(errors.empty());
}

TEST_F(DataStructures_, AQueueMovesItsValuesToTheFrontAsTheyLeave) {
  const double q = Call("ds_queue_create", {}).val;
  for (int i = 0; i < 20; ++i) Call("ds_queue_enqueue", {R(q), R(i)});
  for (int i = 0; i < 17; ++i) EXPECT_EQ(Call("ds_queue_dequeue", {R(q)}).val, i);
  const CDS_Queue& queue = *DataStructures().queues.Get(0);
  EXPECT_EQ(queue.i_last, 0);
  EXPECT_EQ(queue.i_first, 3);
  EXPECT_EQ(queue.i_val.size(), 32u);  // grown by 16 twice, never shrunk
  EXPECT_EQ(queue.i_val[0].val, 17);
  EXPECT_EQ(queue.i_val[2].val, 19);
  Run({{"ds_queue_head", {R(q)}, R(17)}, {"ds_queue_tail", {R(q)}, R(19)}, {"ds_queue_size", {R(q)}, R(3)}});
}

TEST_F(DataStructures_, ListPositions) {
  Run({
      {"ds_list_create", {}, R(0)},
      {"ds_list_add", {R(0), S("b")}},
      {"ds_list_insert", {R(0), R(0), S("a")}},
      {"ds_list_insert", {R(0), R(2), S("d")}},  // at the size: appends
      {"ds_list_insert", {R(0), R(4), S("x")}},  // beyond: nothing
      {"ds_list_insert", {R(0), R(-1), S("x")}},
      {"ds_list_insert", {R(0), R(2), S("c")}},
      {"ds_list_size", {R(0)}, R(4)},
      {"ds_list_find_value", {R(0), R(0)}, S("a")},
      {"ds_list_find_value", {R(0), R(2.5)}, S("c")},  // 2.5 rounds to 2
      {"ds_list_find_value", {R(0), R(3)}, S("d")},
      {"ds_list_find_value", {R(0), R(4)}, R(0)},
      {"ds_list_find_value", {R(0), R(-1)}, R(0)},
      {"ds_list_replace", {R(0), R(1), S("B")}},
      {"ds_list_replace", {R(0), R(4), S("x")}},
      {"ds_list_find_value", {R(0), R(1)}, S("B")},
      {"ds_list_delete", {R(0), R(0)}},
      {"ds_list_delete", {R(0), R(3)}},
      {"ds_list_find_value", {R(0), R(0)}, S("B")},
      {"ds_list_find_index", {R(0), S("d")}, R(2)},
      {"ds_list_find_index", {R(0), S("a")}, R(-1)},
      {"ds_list_find_index", {R(0), R(0)}, R(-1)},  // a real never equals a string
      {"ds_list_clear", {R(0)}},
      {"ds_list_empty", {R(0)}, R(1)},
  });
  EXPECT_TRUE(errors.empty());
}

TEST_F(DataStructures_, PrecisionOfComparisons) {
  Run({
      {"ds_list_create", {}, R(0)},
      {"ds_list_add", {R(0), R(1)}},
      {"ds_list_add", {R(0), R(0.1 + 0.2)}},
      {"ds_list_find_index", {R(0), R(1.000000001)}, R(0)},  // within the default 1e-8
      {"ds_list_find_index", {R(0), R(1.0000001)}, R(-1)},
      {"ds_list_find_index", {R(0), R(0.3)}, R(1)},
      {"ds_set_precision", {R(0)}},
      {"ds_list_find_index", {R(0), R(1.000000001)}, R(-1)},
      {"ds_list_find_index", {R(0), R(0.3)}, R(1)},
      {"ds_set_precision", {R(-0.5)}},  // its absolute value
      {"ds_list_find_index", {R(0), R(1.4)}, R(0)},
      {"ds_list_find_index", {R(0), R(0.75)}, R(0)},
  });
  EXPECT_EQ(DsPrecision(), 0.5);
  // With precision 0 the tolerance grows with the values.
  DsSetPrecision(0);
  EXPECT_EQ(DsCompare(R(1e6), R(1e6 + 5e-7)), 0);
  EXPECT_EQ(DsCompare(R(1e6), R(1e6 + 5e-6)), -1);
  EXPECT_EQ(DsCompare(R(5), S("")), -1);
  EXPECT_EQ(DsCompare(S("a"), R(5)), 1);
  EXPECT_EQ(DsCompare(S("B"), S("a")), -1);
  EXPECT_EQ(DsCompare(S("ab"), S("abc")), -1);
  EXPECT_EQ(DsCompare(S("\xEF\xBC\xA1"), S("\xF0\x9F\x98\x80")), 1);  // by UTF-16 units: U+FF21 > D83D
}

// The list's values as text, for comparing whole lists.
std::string ListText(const CDS_List& l) {
  std::string s;
  for (const RValue& v : l.i_val) s += Show(v) + " ";
  return s;
}

TEST_F(DataStructures_, SortingOrdersRealsBeforeStringsAndKeepsTiesAsTheRuleSays) {
  struct Case {
    std::vector<RValue> values;
    bool ascending;
    const char* want;
    double precision = kDefaultDsPrecision;
  };
  const std::vector<Case> cases = {
      {{R(3), S("b"), R(1), S("a")}, true, "1 3 \"a\" \"b\" "},
      {{R(3), S("b"), R(1), S("a")}, false, "\"b\" \"a\" 3 1 "},
      // 1.25 and 1 are equal within 0.3: ascending keeps their order, descending reverses it.
      {{R(1.25), R(2), R(1), R(0.5)}, true, "0.5 1.25 1 2 ", 0.3},
      {{R(1.25), R(2), R(1), R(0.5)}, false, "2 1 1.25 0.5 ", 0.3},
      {{S("b"), S("B"), S("a")}, true, "\"B\" \"a\" \"b\" "},
      {{}, true, ""},
  };
  for (const Case& c : cases) {
    ResetDataStructures();
    DsSetPrecision(c.precision);
    Call("ds_list_create", {});
    for (const RValue& v : c.values) Call("ds_list_add", {R(0), v});
    Call("ds_list_sort", {R(0), R(c.ascending ? 0.5 : 0.49)});
    EXPECT_EQ(ListText(*DataStructures().lists.Get(0)), c.want);
  }
}

TEST_F(DataStructures_, LongListsSortLikeAStableSort) {
  // Long enough to go through the merging; pairs (key, tag) show whether ties kept their order.
  RandomSetSeed(7);
  std::vector<std::pair<int, int>> items;
  for (int i = 0; i < 1000; ++i) items.push_back({int(RandomBelow(50)), i});
  for (bool ascending : {true, false}) {
    ResetDataStructures();
    Call("ds_list_create", {});
    // The tag rides in the fraction, far below the precision of 0.5.
    for (auto [key, tag] : items) Call("ds_list_add", {R(0), R(key + tag * 1e-5)});
    Call("ds_set_precision", {R(0.5)});
    Call("ds_list_sort", {R(0), R(ascending)});
    std::vector<std::pair<int, int>> want = items;
    if (ascending) {
      std::stable_sort(want.begin(), want.end(), [](auto a, auto b) { return a.first < b.first; });
    } else {
      std::reverse(want.begin(), want.end());
      std::stable_sort(want.begin(), want.end(), [](auto a, auto b) { return a.first > b.first; });
    }
    const CDS_List& l = *DataStructures().lists.Get(0);
    ASSERT_EQ(l.i_val.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i)
      ASSERT_NEAR(l.i_val[i].val, want[i].first + want[i].second * 1e-5, 1e-9) << i << " " << ascending;
  }
}

TEST_F(DataStructures_, ShufflingUsesTheSharedGeneratorAndKeepsTheValues) {
  auto shuffled = [this](uint32_t seed) {
    ResetDataStructures();
    Call("ds_list_create", {});
    for (int i = 0; i < 50; ++i) Call("ds_list_add", {R(0), R(i)});
    RandomSetSeed(seed);
    Call("ds_list_shuffle", {R(0)});
    std::vector<double> v;
    for (const RValue& x : DataStructures().lists.Get(0)->i_val) v.push_back(x.val);
    return v;
  };
  const std::vector<double> a = shuffled(42), b = shuffled(42), c = shuffled(43);
  EXPECT_EQ(a, b);
  EXPECT_NE(a, c);
  std::vector<double> sorted = a;
  std::sort(sorted.begin(), sorted.end());
  for (int i = 0; i < 50; ++i) EXPECT_EQ(sorted[size_t(i)], i);
  // 8n swaps of two draws each: the generator moved by 800 draws.
  RandomSetSeed(42);
  for (int i = 0; i < 800; ++i) RandomBelow(50);
  const uint32_t after = RandomGetSeed();
  shuffled(42);
  EXPECT_EQ(RandomGetSeed(), after);
}

// ---------------------------------------------------------------------------------------------
// Map and priority queue

TEST_F(DataStructures_, MapsKeepKeysInOrderWithDuplicates) {
  Run({
      {"ds_map_create", {}, R(0)},
      {"ds_map_find_first", {R(0)}, R(0)},
      {"ds_map_find_last", {R(0)}, R(0)},
      {"ds_map_add", {R(0), S("b"), R(1)}},
      {"ds_map_add", {R(0), S("a"), R(2)}},
      {"ds_map_add", {R(0), S("b"), R(3)}},  // a second pair with the same key
      {"ds_map_add", {R(0), R(10), S("ten")}},
      {"ds_map_size", {R(0)}, R(4)},
      {"ds_map_find_first", {R(0)}, R(10)},  // reals before strings
      {"ds_map_find_last", {R(0)}, S("b")},
      {"ds_map_find_value", {R(0), S("b")}, R(1)},
      {"ds_map_find_value", {R(0), S("c")}, R(0)},
      {"ds_map_find_value", {R(0), R(10.000000001)}, S("ten")},
      {"ds_map_exists", {R(0), S("a")}, R(1)},
      {"ds_map_exists", {R(0), S("A")}, R(0)},
      {"ds_map_find_next", {R(0), S("a")}, S("b")},
      {"ds_map_find_next", {R(0), S("b")}, R(0)},       // none greater
      {"ds_map_find_next", {R(0), R(3)}, R(10)},
      {"ds_map_find_previous", {R(0), S("b")}, S("a")},
      {"ds_map_find_previous", {R(0), S("ab")}, S("a")},
      {"ds_map_find_previous", {R(0), S("z")}, S("b")},  // all smaller: the last key
      {"ds_map_find_previous", {R(0), R(10)}, R(0)},     // none smaller
      {"ds_map_replace", {R(0), S("b"), R(4)}},
      {"ds_map_replace", {R(0), S("c"), R(5)}},           // no such key: nothing
      {"ds_map_size", {R(0)}, R(4)},
      {"ds_map_find_value", {R(0), S("b")}, R(4)},
      {"ds_map_delete", {R(0), S("b")}},  // the first of the two
      {"ds_map_find_value", {R(0), S("b")}, R(3)},
      {"ds_map_delete", {R(0), S("q")}},
      {"ds_map_size", {R(0)}, R(3)},
      {"ds_map_create", {}, R(1)},
      {"ds_map_copy", {R(1), R(0)}},
      {"ds_map_clear", {R(0)}},
      {"ds_map_empty", {R(0)}, R(1)},
      {"ds_map_size", {R(1)}, R(3)},
  });
  EXPECT_TRUE(errors.empty());
}

TEST_F(DataStructures_, PriorityQueues) {
  Run({
      {"ds_priority_create", {}, R(0)},
      {"ds_priority_find_min", {R(0)}, R(0)},
      {"ds_priority_delete_max", {R(0)}, R(0)},
      {"ds_priority_add", {R(0), S("five"), R(5)}},
      {"ds_priority_add", {R(0), S("two"), R(2)}},
      {"ds_priority_add", {R(0), S("deux"), R(2)}},
      {"ds_priority_add", {R(0), S("nine"), R(9)}},
      {"ds_priority_add", {R(0), S("neuf"), R(9)}},
      {"ds_priority_find_min", {R(0)}, S("two")},  // the first of the equal ones
      {"ds_priority_find_max", {R(0)}, S("nine")},
      {"ds_priority_find_priority", {R(0), S("deux")}, R(2)},
      {"ds_priority_find_priority", {R(0), S("none")}, R(0)},
      {"ds_priority_delete_min", {R(0)}, S("two")},  // "neuf" moves into its place
      {"ds_priority_find_max", {R(0)}, S("neuf")},
      {"ds_priority_find_min", {R(0)}, S("deux")},
      {"ds_priority_change_priority", {R(0), S("five"), R(1)}},
      {"ds_priority_find_min", {R(0)}, S("five")},
      {"ds_priority_delete_value", {R(0), S("five")}},  // "nine" moves to the front
      {"ds_priority_delete_value", {R(0), S("none")}},
      {"ds_priority_size", {R(0)}, R(3)},
      {"ds_priority_find_max", {R(0)}, S("nine")},
      {"ds_priority_delete_max", {R(0)}, S("nine")},
      {"ds_priority_delete_max", {R(0)}, S("neuf")},
      {"ds_priority_delete_max", {R(0)}, S("deux")},
      {"ds_priority_empty", {R(0)}, R(1)},
  });
  EXPECT_TRUE(errors.empty());
}

TEST_F(DataStructures_, PriorityQueuesAgreeWithAScanOverTheArray) {
  // Random adds, removals and changes against the array the rule describes: a scan for the first
  // smallest (largest) priority, removals moving the last entry into the gap.
  struct Entry {
    double value, priority;
  };
  std::vector<Entry> model;
  auto scan = [&model](bool smallest) {
    int best = model.empty() ? -1 : 0;
    for (size_t i = 1; i < model.size(); ++i)
      if (smallest ? model[i].priority < model[size_t(best)].priority : model[i].priority > model[size_t(best)].priority)
        best = int(i);
    return best;
  };
  auto remove = [&model](int i) {
    const double v = model[size_t(i)].value;
    model[size_t(i)] = model.back();
    model.pop_back();
    return v;
  };
  const double p = Call("ds_priority_create", {}).val;
  RandomSetSeed(11);
  for (int step = 0; step < 3000; ++step) {
    const uint32_t op = RandomBelow(10);
    if (step == 1500) Call("ds_set_precision", {R(0.25)});  // the trees are made again
    if (op < 5 || model.empty()) {
      const Entry e{double(step), double(RandomBelow(40))};
      model.push_back(e);
      Call("ds_priority_add", {R(p), R(e.value), R(e.priority)});
    } else if (op < 7) {
      const int i = scan(op == 5);
      const double want = remove(i);
      ASSERT_EQ(Call(op == 5 ? "ds_priority_delete_min" : "ds_priority_delete_max", {R(p)}).val, want) << step;
    } else if (op == 7) {
      const int i = int(RandomBelow(model.size()));
      const double v = remove(i);
      Call("ds_priority_delete_value", {R(p), R(v)});
    } else if (op == 8) {
      const int i = int(RandomBelow(model.size()));
      model[size_t(i)].priority = double(RandomBelow(40));
      Call("ds_priority_change_priority", {R(p), R(model[size_t(i)].value), R(model[size_t(i)].priority)});
    } else {
      ASSERT_EQ(Call("ds_priority_find_min", {R(p)}).val, model[size_t(scan(true))].value) << step;
      ASSERT_EQ(Call("ds_priority_find_max", {R(p)}).val, model[size_t(scan(false))].value) << step;
    }
    ASSERT_EQ(Call("ds_priority_size", {R(p)}).val, double(model.size()));
  }
  // The array itself, in its order.
  CDS_Priority& q = *DataStructures().priorities.Get(0);
  ASSERT_EQ(q.Entries().size(), model.size());
  for (size_t i = 0; i < model.size(); ++i) EXPECT_EQ(q.Entries()[i].value.val, model[i].value);
  EXPECT_TRUE(errors.empty());
}

// ---------------------------------------------------------------------------------------------
// Grid

// The grid's cells row by row ("|" between rows), for comparing whole grids.
std::string GridText(const CDS_Grid& g) {
  std::string s;
  for (int y = 0; y < g.i_h; ++y) {
    if (y) s += "|";
    for (int x = 0; x < g.i_w; ++x) s += (x ? " " : "") + Show(g.Cell(x, y));
  }
  return s;
}

TEST_F(DataStructures_, GridCellsRegionsAndDisks) {
  struct Case {
    std::vector<Step> steps;
    const char* want;  // the 4 x 3 grid afterwards
  };
  const std::vector<Case> cases = {
      {{{"ds_grid_set", {R(0), R(1), R(2), R(7)}}, {"ds_grid_set", {R(0), R(4), R(0), R(9)}}}, "0 0 0 0|0 0 0 0|0 7 0 0"},
      {{{"ds_grid_clear", {R(0), R(1)}}, {"ds_grid_add", {R(0), R(0), R(0), R(2)}},
        {"ds_grid_multiply", {R(0), R(3), R(2), R(5)}}},
       "3 1 1 1|1 1 1 1|1 1 1 5"},
      // A string added to a real replaces it; strings join; multiplying by a string changes nothing.
      {{{"ds_grid_add", {R(0), R(0), R(0), S("a")}}, {"ds_grid_add", {R(0), R(0), R(0), S("b")}},
        {"ds_grid_multiply", {R(0), R(1), R(0), S("c")}}, {"ds_grid_add", {R(0), R(0), R(0), R(1)}},
        {"ds_grid_add", {R(0), R(2), R(0), S("s")}}, {"ds_grid_multiply", {R(0), R(2), R(0), R(3)}}},
       "1 0 \"s\" 0|0 0 0 0|0 0 0 0"},
      // Rectangles in any corner order, cut to the grid.
      {{{"ds_grid_set_region", {R(0), R(2), R(5), R(1), R(1), R(4)}},
        {"ds_grid_add_region", {R(0), R(-3), R(0), R(0), R(0), R(1)}},
        {"ds_grid_multiply_region", {R(0), R(3), R(0), R(2), R(9), R(2)}}},
       "1 0 0 0|0 4 8 0|0 4 8 0"},
      {{{"ds_grid_set_region", {R(0), R(5), R(0), R(9), R(2), R(4)}}}, "0 0 0 0|0 0 0 0|0 0 0 0"},
      // The disk around (1, 1) of radius 1: the cell and its four neighbours.
      {{{"ds_grid_set_disk", {R(0), R(1), R(1), R(1), R(1)}}}, "0 1 0 0|1 1 1 0|0 1 0 0"},
      {{{"ds_grid_clear", {R(0), R(2)}}, {"ds_grid_multiply_disk", {R(0), R(3), R(2), R(1.5), R(3)}},
        {"ds_grid_add_disk", {R(0), R(0), R(0), R(0.5), R(1)}}},
       "3 2 2 2|2 2 6 6|2 2 6 6"},
      {{{"ds_grid_set_disk", {R(0), R(1.5), R(1), R(-1), R(1)}}}, "0 0 0 0|0 0 0 0|0 0 0 0"},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    ResetDataStructures();
    Run({{"ds_grid_create", {R(4), R(3)}, R(0)}});
    Run(cases[i].steps);
    EXPECT_EQ(GridText(*DataStructures().grids.Get(0)), cases[i].want) << "case " << i;
  }
  EXPECT_TRUE(errors.empty());
}

TEST_F(DataStructures_, GridAggregatesAndSearches) {
  Run({
      {"ds_grid_create", {R(4), R(3)}, R(0)},
      {"ds_grid_set_region", {R(0), R(0), R(0), R(3), R(2), S("s")}},
      {"ds_grid_get_max", {R(0), R(0), R(0), R(3), R(2)}, R(-100000000)},  // no real cells
      {"ds_grid_get_min", {R(0), R(0), R(0), R(3), R(2)}, R(100000000)},
      {"ds_grid_get_mean", {R(0), R(0), R(0), R(3), R(2)}, R(0)},
      {"ds_grid_get_sum", {R(0), R(0), R(0), R(3), R(2)}, R(0)},
      {"ds_grid_set", {R(0), R(1), R(1), R(5)}},
      {"ds_grid_set", {R(0), R(2), R(1), R(-3)}},
      {"ds_grid_set", {R(0), R(3), R(2), R(10)}},
      {"ds_grid_get_sum", {R(0), R(3), R(2), R(0), R(0)}, R(12)},
      {"ds_grid_get_max", {R(0), R(0), R(0), R(3), R(2)}, R(10)},
      {"ds_grid_get_min", {R(0), R(0), R(0), R(3), R(2)}, R(-3)},
      {"ds_grid_get_mean", {R(0), R(0), R(0), R(3), R(2)}, R(4)},
      {"ds_grid_get_mean", {R(0), R(1), R(1), R(2), R(1)}, R(1)},
      {"ds_grid_get_disk_sum", {R(0), R(1.5), R(1), R(0.5)}, R(2)},
      {"ds_grid_get_disk_max", {R(0), R(1), R(1), R(1)}, R(5)},
      {"ds_grid_get_disk_min", {R(0), R(3), R(2), R(0)}, R(10)},
      {"ds_grid_get_disk_mean", {R(0), R(3), R(0), R(1)}, R(0)},
      {"ds_grid_get", {R(0), R(1), R(1)}, R(5)},
      {"ds_grid_get", {R(0), R(4), R(1)}, R(0)},
      {"ds_grid_get", {R(0), R(0), R(0)}, S("s")},
      {"ds_grid_value_exists", {R(0), R(0), R(0), R(3), R(2), R(5.000000001)}, R(1)},
      {"ds_grid_value_x", {R(0), R(0), R(0), R(3), R(2), R(-3)}, R(2)},
      {"ds_grid_value_y", {R(0), R(0), R(0), R(3), R(2), R(-3)}, R(1)},
      {"ds_grid_value_x", {R(0), R(0), R(0), R(3), R(2), S("s")}, R(0)},  // columns from the left, top first
      {"ds_grid_value_y", {R(0), R(1), R(0), R(3), R(2), S("s")}, R(0)},
      {"ds_grid_value_x", {R(0), R(0), R(2), R(3), R(2), R(10)}, R(3)},
      {"ds_grid_value_exists", {R(0), R(0), R(0), R(3), R(1), R(10)}, R(0)},
      {"ds_grid_value_x", {R(0), R(0), R(0), R(3), R(1), R(10)}, R(0)},
      {"ds_grid_value_disk_exists", {R(0), R(2), R(2), R(1), R(-3)}, R(1)},
      {"ds_grid_value_disk_x", {R(0), R(2), R(2), R(1), R(-3)}, R(2)},
      {"ds_grid_value_disk_y", {R(0), R(2), R(2), R(1), R(-3)}, R(1)},
      {"ds_grid_value_disk_exists", {R(0), R(0), R(0), R(1), R(5)}, R(0)},  // (1,1) is outside that disk
  });
  EXPECT_TRUE(errors.empty());
}

TEST_F(DataStructures_, GridRegionsFromGridsAndOntoThemselves) {
  struct Case {
    std::vector<Step> steps;
    const char* want;  // grid 0 (5 x 2, cells x + 10 y) afterwards
  };
  const std::vector<Case> cases = {
      // Shifted one column right within the grid: copied without smearing.
      {{{"ds_grid_set_grid_region", {R(0), R(0), R(0), R(0), R(3), R(1), R(1), R(0)}}}, "0 0 1 2 3|10 10 11 12 13"},
      // And one left.
      {{{"ds_grid_set_grid_region", {R(0), R(0), R(1), R(0), R(4), R(1), R(0), R(0)}}}, "1 2 3 4 4|11 12 13 14 14"},
      // Down one row, cut at the bottom.
      {{{"ds_grid_set_grid_region", {R(0), R(0), R(0), R(0), R(4), R(1), R(0), R(1)}}}, "0 1 2 3 4|0 1 2 3 4"},
      // A negative position moves the source start: source column 2 lands at column 0.
      {{{"ds_grid_set_grid_region", {R(0), R(1), R(0), R(0), R(2), R(0), R(-2), R(0)}}}, "102 1 2 3 4|10 11 12 13 14"},
      {{{"ds_grid_add_grid_region", {R(0), R(1), R(2), R(1), R(0), R(0), R(3), R(1)}}},
       "0 1 2 3 4|10 11 12 113 115"},
      {{{"ds_grid_multiply_grid_region", {R(0), R(1), R(9), R(9), R(0), R(0), R(0), R(0)}}},
       "0 101 204 3 4|1100 1221 1344 13 14"},
      // Outside the source or the destination: nothing.
      {{{"ds_grid_set_grid_region", {R(0), R(1), R(3), R(0), R(5), R(0), R(0), R(0)}},
        {"ds_grid_set_grid_region", {R(0), R(1), R(0), R(0), R(0), R(0), R(5), R(0)}}},
       "0 1 2 3 4|10 11 12 13 14"},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    ResetDataStructures();
    Call("ds_grid_create", {R(5), R(2)});
    Call("ds_grid_create", {R(3), R(3)});  // grid 1: cells 100 + x + 10 y
    for (int x = 0; x < 5; ++x)
      for (int y = 0; y < 3; ++y) {
        Call("ds_grid_set", {R(0), R(x), R(y), R(x + 10 * y)});
        Call("ds_grid_set", {R(1), R(x), R(y), R(100 + x + 10 * y)});
      }
    Run(cases[i].steps);
    EXPECT_EQ(GridText(*DataStructures().grids.Get(0)), cases[i].want) << "case " << i;
  }
}

TEST_F(DataStructures_, GridSizes) {
  Run({
      {"ds_grid_create", {R(2), R(2)}, R(0)},
      {"ds_grid_set", {R(0), R(1), R(1), S("keep")}},
      {"ds_grid_resize", {R(0), R(3), R(1)}},
      {"ds_grid_width", {R(0)}, R(3)},
      {"ds_grid_height", {R(0)}, R(1)},
      {"ds_grid_resize", {R(0), R(2), R(2)}},
      {"ds_grid_get", {R(0), R(1), R(1)}, R(0)},  // the cell went with the smaller size
      {"ds_grid_set", {R(0), R(1), R(1), S("keep")}},
      {"ds_grid_resize", {R(0), R(5), R(5)}},
      {"ds_grid_get", {R(0), R(1), R(1)}, S("keep")},
      {"ds_grid_create", {R(-3), R(4)}, R(1)},  // negative sizes are 0
      {"ds_grid_width", {R(1)}, R(0)},
      {"ds_grid_get_sum", {R(1), R(0), R(0), R(5), R(5)}, R(0)},
      {"ds_grid_shuffle", {R(1)}},
      {"ds_grid_create", {R(1e6), R(1e6)}, R(-1)},  // refused, not allocated
      {"ds_grid_resize", {R(0), R(1e9), R(2)}},
      {"ds_grid_width", {R(0)}, R(5)},
  });
  EXPECT_EQ(errors, (std::vector<std::string>{"Grid of 1000000 x 1000000 cells is too large in ds_grid_create().",
                                              "Grid of 1000000000 x 2 cells is too large in ds_grid_resize()."}));
}

TEST_F(DataStructures_, GridShuffleKeepsTheCells) {
  Call("ds_grid_create", {R(4), R(3)});
  for (int i = 0; i < 12; ++i) Call("ds_grid_set", {R(0), R(i % 4), R(i / 4), R(i)});
  RandomSetSeed(3);
  Call("ds_grid_shuffle", {R(0)});
  std::vector<double> cells;
  for (const RValue& v : DataStructures().grids.Get(0)->i_val) cells.push_back(v.val);
  EXPECT_NE(GridText(*DataStructures().grids.Get(0)), "0 1 2 3|4 5 6 7|8 9 10 11");
  std::sort(cells.begin(), cells.end());
  for (int i = 0; i < 12; ++i) EXPECT_EQ(cells[size_t(i)], i);
}

// ---------------------------------------------------------------------------------------------
// Text forms

TEST_F(DataStructures_, TextFormsAreExact) {
  Run({
      {"ds_list_create", {}, R(0)},
      {"ds_list_add", {R(0), R(1.5)}},
      {"ds_list_write", {R(0)}, S("2D0100000100000000000000000000000000F83F00000000")},
      {"ds_stack_create", {}, R(0)},
      {"ds_stack_write", {R(0)}, S("6500000000000000")},
      {"ds_stack_push", {R(0), S("hi")}},
      // The kind 1, the real part 0, then the two bytes.
      {"ds_stack_write", {R(0)}, S("65000000" "01000000" "01000000" "0000000000000000" "02000000" "6869")},
      {"ds_queue_create", {}, R(0)},
      {"ds_queue_enqueue", {R(0), R(1)}},
      {"ds_queue_enqueue", {R(0), R(2)}},
      {"ds_queue_dequeue", {R(0)}, R(1)},
      {"ds_map_create", {}, R(0)},
      {"ds_map_add", {R(0), S("k"), R(2)}},
      {"ds_map_add", {R(0), R(1), S("")}},
      {"ds_map_write", {R(0)},
       S("91010000" "02000000"                                      // code 401, count 2
         "00000000" "000000000000F03F" "00000000"                   // key 1
         "01000000" "0000000000000000" "01000000" "6B"              // key "k"
         "01000000" "0000000000000000" "00000000"                   // value ""
         "00000000" "0000000000000040" "00000000")},                // value 2
      {"ds_priority_create", {}, R(0)},
      {"ds_priority_add", {R(0), R(1), R(2)}},
      {"ds_priority_write", {R(0)},
       S("F5010000" "01000000" "00000000" "0000000000000040" "00000000" "00000000" "000000000000F03F" "00000000")},
      {"ds_grid_create", {R(2), R(1)}, R(0)},
      {"ds_grid_set", {R(0), R(1), R(0), R(-2)}},
      {"ds_grid_write", {R(0)},
       S("59020000" "02000000" "01000000" "00000000" "0000000000000000" "00000000" "00000000"
         "00000000000000C0" "00000000")},
  });
  // The queue holds the whole array of 16 slots; the slot already dequeued is stored as real 0.
  const std::string queue = Text("ds_queue_write", 0);
  const std::string zero = "00000000" "0000000000000000" "00000000";
  std::string want = "C9000000" "02000000" "01000000" "10000000" + zero + "00000000" "0000000000000040" "00000000";
  for (int i = 2; i < 16; ++i) want += zero;
  EXPECT_EQ(queue, want);
  EXPECT_TRUE(errors.empty());
}

TEST_F(DataStructures_, TextFormsRoundTrip) {
  const RValue values[] = {R(0), R(-1.25), R(1e300), S(""), S("text"), S("\xC3\xA9t\xC3\xA9 \xF0\x9F\x98\x80"),
                           R(7)};
  Call("ds_stack_create", {});
  Call("ds_queue_create", {});
  Call("ds_list_create", {});
  Call("ds_map_create", {});
  Call("ds_priority_create", {});
  Call("ds_grid_create", {R(3), R(4)});
  for (size_t i = 0; i < std::size(values); ++i) {
    Call("ds_stack_push", {R(0), values[i]});
    Call("ds_queue_enqueue", {R(0), values[i]});
    Call("ds_list_add", {R(0), values[i]});
    Call("ds_map_add", {R(0), values[i], R(double(i))});
    Call("ds_priority_add", {R(0), values[i], R(double(i % 3))});
    Call("ds_grid_set", {R(0), R(double(i % 3)), R(double(i / 3)), values[i]});
  }
  Call("ds_queue_dequeue", {R(0)});
  for (const char* kind : {"stack", "queue", "list", "map", "priority", "grid"}) {
    const std::string write = std::string("ds_") + kind + "_write", read = std::string("ds_") + kind + "_read";
    const std::string text = Text(write.c_str(), 0);
    const double copy = std::string(kind) == "grid" ? Call("ds_grid_create", {R(1), R(1)}).val
                                                    : Call((std::string("ds_") + kind + "_create").c_str(), {}).val;
    Call(read.c_str(), {R(copy), S(text)});
    EXPECT_EQ(Text(write.c_str(), copy), text) << kind;
    // Lower-case digits read the same; a last odd character is ignored.
    std::string lower = text;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return char(std::tolower(c)); });
    Call(read.c_str(), {R(copy), S(lower + "F")});
    EXPECT_EQ(Text(write.c_str(), copy), text) << kind;
  }
  Run({{"ds_queue_head", {R(1)}, R(-1.25)},
       {"ds_map_find_value", {R(1), S("text")}, R(4)},
       {"ds_priority_find_min", {R(1)}, R(0)},
       {"ds_grid_get", {R(1), R(2), R(1)}, S("\xC3\xA9t\xC3\xA9 \xF0\x9F\x98\x80")}});
  EXPECT_TRUE(errors.empty());
}

TEST_F(DataStructures_, ReadingTheWrongKindChangesNothingSilently) {
  Run({
      {"ds_list_create", {}, R(0)},
      {"ds_list_add", {R(0), R(5)}},
      {"ds_stack_create", {}, R(0)},
      {"ds_stack_read", {R(0), S("2D0100000100000000000000000000000000F83F00000000")}},
      {"ds_stack_size", {R(0)}, R(0)},
      {"ds_list_read", {R(0), S("6500000000000000")}},
      {"ds_list_size", {R(0)}, R(1)},
  });
  EXPECT_TRUE(errors.empty());
}

TEST_F(DataStructures_, DamagedTextsChangeNothingAndAreReported) {
  // A valid text of each kind, cut at every length, spoilt by a letter, or with absurd counts.
  Call("ds_stack_create", {});
  Call("ds_queue_create", {});
  Call("ds_list_create", {});
  Call("ds_map_create", {});
  Call("ds_priority_create", {});
  Call("ds_grid_create", {R(2), R(2)});
  Call("ds_stack_push", {R(0), S("abc")});
  Call("ds_queue_enqueue", {R(0), S("abc")});
  Call("ds_list_add", {R(0), S("abc")});
  Call("ds_map_add", {R(0), S("abc"), R(1)});
  Call("ds_priority_add", {R(0), S("abc"), R(1)});
  Call("ds_grid_set", {R(0), R(1), R(1), S("abc")});
  for (const char* kind : {"stack", "queue", "list", "map", "priority", "grid"}) {
    const std::string write = std::string("ds_") + kind + "_write", read = std::string("ds_") + kind + "_read";
    const std::string message = "Damaged data structure text in " + read + "().";
    const std::string text = Text(write.c_str(), 0);
    std::vector<std::string> damaged;
    for (size_t n = 8; n + 1 < text.size(); n += 2) damaged.push_back(text.substr(0, n));
    damaged.push_back("");
    damaged.push_back("00");
    damaged.push_back(text.substr(0, 8) + "G" + text.substr(9));
    damaged.push_back(text.substr(0, 8) + "FFFFFF7F" + text.substr(16));  // a count of 2^31 - 1
    damaged.push_back(text.substr(0, 8) + "FFFFFFFF" + text.substr(16));  // a negative count
    for (const std::string& d : damaged) {
      errors.clear();
      Call(read.c_str(), {R(0), S(d)});
      EXPECT_EQ(Text(write.c_str(), 0), text) << kind << " " << d;
      EXPECT_EQ(errors, std::vector<std::string>{message}) << kind << " " << d;
    }
  }
  // Queue indices that do not fit the array, a value of an unknown kind, a grid of absurd size.
  errors.clear();
  Call("ds_queue_read", {R(0), S("C9000000" "05000000" "00000000" "01000000" "00000000" "0000000000000000" "00000000")});
  Call("ds_list_read", {R(0), S("2D010000" "01000000" "07000000" "0000000000000000" "00000000")});
  Call("ds_grid_read", {R(0), S("59020000" "FFFF0000" "FFFF0000" "00000000")});
  EXPECT_EQ(errors.size(), 3u);
  Run({{"ds_queue_size", {R(0)}, R(1)}, {"ds_list_size", {R(0)}, R(1)}, {"ds_grid_width", {R(0)}, R(2)}});
}

TEST_F(DataStructures_, AFreshRunStartsEmptyWithTheDefaultPrecision) {
  Call("ds_list_create", {});
  Call("ds_set_precision", {R(3)});
  ResetDataStructures();
  EXPECT_EQ(DsPrecision(), kDefaultDsPrecision);
  Run({{"ds_list_create", {}, R(0)}});
  EXPECT_EQ(Call("ds_list_size", {R(1)}).val, 0);
  EXPECT_EQ(errors, std::vector<std::string>{kNoStructure});
}

}  // namespace
}  // namespace kestro
