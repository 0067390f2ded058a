#include "script/builtins/FunctionRegistry.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <utility>

#include "script/builtins/BuiltinError.h"
#include "script/builtins/BuiltinTables.h"

namespace kestro {

namespace {

constexpr int32_t kTableFunctionCount = 1256;
static_assert(kArgsAny == kAnyArgCount, "the tables and the compiler agree on 'any number'");

// Names by table position, for the placeholders' messages.
const std::vector<const char*>& TableNames() {
  static const std::vector<const char*> names = [] {
    std::vector<const char*> v;
    v.reserve(kTableFunctionCount);
    for (const RBuiltinFamily& family : BuiltinFamilies())
      for (const RBuiltinName& f : family.functions) v.push_back(f.name);
    return v;
  }();
  return names;
}

void ReportNotAvailable(int32_t id) {
  const auto& names = TableNames();
  std::string_view name = id >= 0 && id < static_cast<int32_t>(names.size()) ? names[id] : "<unknown>";
  std::string message = "Function ";
  message += name;
  message += "() is not available yet.";
  ReportBuiltinError(message);
}

// One routine per table position, so each placeholder knows which function was called.
template <int32_t Id>
void NotAvailable(CInstance*, CInstance*, int32_t, RValue& result, const RValue*) {
  ReportNotAvailable(Id);
  result.SetReal(0);
}

template <int32_t... Ids>
constexpr std::array<BuiltinRoutine, sizeof...(Ids)> MakePlaceholders(std::integer_sequence<int32_t, Ids...>) {
  return {&NotAvailable<Ids>...};
}

constexpr auto kPlaceholders = MakePlaceholders(std::make_integer_sequence<int32_t, kTableFunctionCount>{});

}  // namespace

BuiltinRoutine NotAvailableRoutine(int32_t id) {
  if (id < 0 || id >= kTableFunctionCount) return nullptr;
  return kPlaceholders[static_cast<size_t>(id)];
}

int32_t CFunctionRegistry::Register(std::string_view name, BuiltinRoutine routine, int32_t argnumb) {
  if (name.size() > kMaxBuiltinNameLength) name = name.substr(0, kMaxBuiltinNameLength);
  const int32_t id = Count();
  f_entries.push_back(RFunction{std::string(name), routine, argnumb});
  f_byName.emplace(std::string(name), id);  // keeps the first entry of a name
  return id;
}

std::optional<int32_t> CFunctionRegistry::Find(std::string_view name) const {
  auto it = f_byName.find(name);
  if (it == f_byName.end()) return std::nullopt;
  return it->second;
}

int32_t CFunctionRegistry::ArgCount(int32_t id) const {
  const RFunction* f = Get(id);
  return f ? f->f_argnumb : kUnknownFunction;
}

const RFunction* CFunctionRegistry::Get(int32_t id) const {
  if (id < 0 || id >= Count()) return nullptr;
  return &f_entries[static_cast<size_t>(id)];
}

bool CFunctionRegistry::Call(int32_t id, CInstance* self, CInstance* other, int32_t argc,
                             const RValue* args, RValue& result) const {
  const RFunction* f = Get(id);
  if (f == nullptr || f->f_routine == nullptr) return false;
  result = RValue();
  f->f_routine(self, other, std::clamp(argc, 0, kMaxArguments), result, args);
  return true;
}

bool CFunctionRegistry::Implement(std::string_view name, BuiltinRoutine routine) {
  auto id = Find(name);
  if (!id || routine == nullptr) return false;
  f_entries[static_cast<size_t>(*id)].f_routine = routine;
  return true;
}

bool CFunctionRegistry::IsImplemented(int32_t id) const {
  const RFunction* f = Get(id);
  return f && f->f_routine != nullptr && f->f_routine != NotAvailableRoutine(id);
}

namespace {
std::vector<RBindingTable>& InstalledBindings() {
  static std::vector<RBindingTable> tables;
  return tables;
}
bool g_registryMade = false;
}  // namespace

std::vector<std::string> Bind(CFunctionRegistry& registry, RBindingTable table) {
  std::vector<std::string> unknown;
  for (const RBinding& b : table)
    if (!registry.Implement(b.name, b.routine)) unknown.emplace_back(b.name);
  return unknown;
}

void SetBuiltinBindings(std::vector<RBindingTable> tables) {
  InstalledBindings() = std::move(tables);
  if (g_registryMade) CreateBuiltinRegistry(BuiltinRegistry());
}

void CreateBuiltinRegistry(CFunctionRegistry& registry) {
  registry = CFunctionRegistry{};  // ids are table positions, so start from nothing
  int32_t id = 0;
  for (const RBuiltinFamily& family : BuiltinFamilies())
    for (const RBuiltinName& f : family.functions) {
      registry.Register(f.name, NotAvailableRoutine(id), f.argnumb);
      ++id;
    }
  for (RBindingTable table : InstalledBindings())
    for (const std::string& name : Bind(registry, table))
      std::fprintf(stderr, "Internal error: no built-in function is named %s.\n", name.c_str());
}

CFunctionRegistry& BuiltinRegistry() {
  static CFunctionRegistry registry = [] {
    CFunctionRegistry r;
    CreateBuiltinRegistry(r);
    g_registryMade = true;
    return r;
  }();
  return registry;
}

std::vector<RBuiltinFamilyStatus> BuiltinFamilyStatus(const CFunctionRegistry& registry) {
  std::vector<RBuiltinFamilyStatus> out;
  int32_t id = 0;
  for (const RBuiltinFamily& family : BuiltinFamilies()) {
    RBuiltinFamilyStatus s;
    s.family = family.name;
    for (const RBuiltinName& f : family.functions) {
      ++s.total;
      if (registry.IsImplemented(id))
        ++s.implemented;
      else
        s.missing.emplace_back(f.name);
      ++id;
    }
    out.push_back(std::move(s));
  }
  return out;
}

std::string BuiltinStatusReport(const CFunctionRegistry& registry) {
  std::string out;
  int32_t total = 0, implemented = 0;
  for (const RBuiltinFamilyStatus& s : BuiltinFamilyStatus(registry)) {
    total += s.total;
    implemented += s.implemented;
    out += s.family + ": " + std::to_string(s.implemented) + " of " + std::to_string(s.total) + " implemented\n";
    std::string line = "   ";
    for (const std::string& name : s.missing) {
      if (line.size() + name.size() + 2 > 100) {
        out += line + "\n";
        line = "   ";
      }
      line += " " + name;
    }
    if (!s.missing.empty()) out += line + "\n";
  }
  out += "Total: " + std::to_string(implemented) + " of " + std::to_string(total) + " implemented\n";
  return out;
}

}  // namespace kestro
