// The program's binding tables against the function table: every name is a built-in function,
// and no function is bound twice.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "script/builtins/BuiltinVariables.h"
#include "script/builtins/FunctionRegistry.h"
#include "tools/Bindings.h"

namespace kestro {
namespace {

TEST(Bindings, EveryNameIsAFunctionBoundOnce) {
  CFunctionRegistry registry;
  CreateBuiltinRegistry(registry);
  std::map<std::string, int> uses;
  for (RBindingTable table : tools::GameBindings()) {
    EXPECT_EQ(Bind(registry, table), std::vector<std::string>{});
    for (const RBinding& b : table) ++uses[b.name];
  }
  for (const auto& [name, count] : uses) EXPECT_EQ(count, 1) << name;
  for (const auto& [name, count] : uses) EXPECT_TRUE(registry.IsImplemented(*registry.Find(name))) << name;
}

TEST(Bindings, EveryVariableNameIsABuiltinVariableBoundOnce) {
  RegisterBuiltinVariables();
  std::map<std::string, int> uses;
  for (RVariableBindingTable table : tools::GameVariableBindings()) {
    EXPECT_EQ(BindVariables(table), std::vector<std::string>{});
    for (const RVariableBinding& b : table) {
      ++uses[b.name];
      EXPECT_NE(b.get, nullptr) << b.name;
    }
  }
  for (const auto& [name, count] : uses) EXPECT_EQ(count, 1) << name;
  const RVariableBinding misspelt[] = {{"mouse_z", nullptr, nullptr}};
  EXPECT_EQ(BindVariables(misspelt), std::vector<std::string>{"mouse_z"});
}

TEST(Bindings, AMisspeltNameIsReported) {
  CFunctionRegistry registry;
  CreateBuiltinRegistry(registry);
  const RBinding table[] = {{"sqrt", NotAvailableRoutine(0)}, {"sqroot", NotAvailableRoutine(0)}};
  EXPECT_EQ(Bind(registry, table), std::vector<std::string>{"sqroot"});
}

TEST(Bindings, TheRunsRegistryHasTheProgramsRoutines) {
  // The test programs install the program's tables, as `kestro` does.
  EXPECT_TRUE(BuiltinRegistry().IsImplemented(*BuiltinRegistry().Find("sqrt")));
  EXPECT_TRUE(BuiltinRegistry().IsImplemented(*BuiltinRegistry().Find("execute_string")));
  EXPECT_TRUE(BuiltinRegistry().IsImplemented(*BuiltinRegistry().Find("d3d_start")));
  EXPECT_TRUE(BuiltinRegistry().IsImplemented(*BuiltinRegistry().Find("mplay_init_tcpip")));
  EXPECT_TRUE(BuiltinRegistry().IsImplemented(*BuiltinRegistry().Find("external_call")));
}

}  // namespace
}  // namespace kestro
