#include "script/Variables.h"

#include <string>
#include <unordered_map>

#include "io/Stream.h"
#include "script/builtins/BuiltinError.h"

namespace kestro {

// The version of a variable list's stored form.
constexpr int32_t kVariableListVersion = 440;
// The version of the global variables block.
constexpr int32_t kGlobalsVersion = 700;

namespace {

struct NameHash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};
using NameMap = std::unordered_map<std::string, int32_t, NameHash, std::equal_to<>>;

struct NameTable {
  std::vector<std::string> builtin;
  NameMap builtinIds;
  std::vector<std::string> user;
  NameMap userIds;
};

NameTable& Names() {
  static NameTable t;
  return t;
}

bool g_uninitialisedZero = false;

}  // namespace

int32_t RegisterBuiltinVariable(std::string_view name) {
  NameTable& t = Names();
  if (static_cast<int32_t>(t.builtin.size()) >= kMaxBuiltinVariables) {
    ReportBuiltinError("INTERNAL ERROR: Adding too many variables", true);
    return -1;
  }
  int32_t id = static_cast<int32_t>(t.builtin.size());
  t.builtin.emplace_back(name);
  t.builtinIds.emplace(std::string(name), id);  // the first registration of a name wins lookups
  return id;
}

int32_t FindBuiltinVariable(std::string_view name) {
  const NameTable& t = Names();
  auto it = t.builtinIds.find(name);
  return it == t.builtinIds.end() ? -1 : it->second;
}

int32_t BuiltinVariableCount() { return static_cast<int32_t>(Names().builtin.size()); }
int32_t UserVariableCount() { return static_cast<int32_t>(Names().user.size()); }

int32_t VariableId(std::string_view name) {
  NameTable& t = Names();
  auto b = t.builtinIds.find(name);
  if (b != t.builtinIds.end()) return b->second;
  auto u = t.userIds.find(name);
  if (u != t.userIds.end()) return u->second;
  int32_t id = kUserVariableBase + static_cast<int32_t>(t.user.size());
  t.user.emplace_back(name);
  t.userIds.emplace(std::string(name), id);
  return id;
}

std::string VariableName(int32_t id) {
  const NameTable& t = Names();
  if (id >= kUserVariableBase) {
    size_t k = static_cast<size_t>(id - kUserVariableBase);
    return k < t.user.size() ? t.user[k] : "<unknown variable>";
  }
  if (id >= 0 && static_cast<size_t>(id) < t.builtin.size()) return t.builtin[static_cast<size_t>(id)];
  return "<unknown built-in variable>";
}

void SetUninitialisedAreZero(bool on) { g_uninitialisedZero = on; }
bool UninitialisedAreZero() { return g_uninitialisedZero; }

// ---------------------------------------------------------------------------------------------
// CVariableList

namespace {
constexpr size_t kLinearLimit = 8;  // below this many variables a scan beats hashing

inline size_t HashId(int32_t id) { return static_cast<uint32_t>(id) * 2654435761u; }
}  // namespace

void CVariableList::Clear() {
  v_vars.clear();
  index_.clear();
}

void CVariableList::Assign(const CVariableList& source) {
  v_vars = source.v_vars;  // values share their immutable strings; rows are copied
  index_ = source.index_;
}

void CVariableList::RebuildIndex() {
  size_t cap = 16;
  while (cap < v_vars.size() * 2) cap <<= 1;
  index_.assign(cap, -1);
  // Newest entries last, so a repeated id (only possible from a damaged stored form) resolves
  // to the newest, as a search from the newest end would.
  for (size_t k = 0; k < v_vars.size(); ++k) {
    size_t h = HashId(v_vars[k].ind) & (cap - 1);
    while (index_[h] >= 0 && v_vars[static_cast<size_t>(index_[h])].ind != v_vars[k].ind)
      h = (h + 1) & (cap - 1);
    index_[h] = static_cast<int32_t>(k);
  }
}

int32_t CVariableList::IndexOf(int32_t id) const {
  if (index_.empty()) {
    for (size_t k = v_vars.size(); k-- > 0;)
      if (v_vars[k].ind == id) return static_cast<int32_t>(k);
    return -1;
  }
  size_t mask = index_.size() - 1;
  for (size_t h = HashId(id) & mask;; h = (h + 1) & mask) {
    int32_t k = index_[h];
    if (k < 0) return -1;
    if (v_vars[static_cast<size_t>(k)].ind == id) return k;
  }
}

int32_t CVariableList::Append(int32_t id) {
  v_vars.emplace_back();
  v_vars.back().ind = id;
  int32_t k = static_cast<int32_t>(v_vars.size() - 1);
  if (!index_.empty() && v_vars.size() * 2 <= index_.size()) {
    size_t mask = index_.size() - 1;
    size_t h = HashId(id) & mask;
    while (index_[h] >= 0) h = (h + 1) & mask;
    index_[h] = k;
  } else if (v_vars.size() > kLinearLimit) {
    RebuildIndex();
  }
  return k;
}

void CVariableList::Init(int32_t id) {
  if (IndexOf(id) < 0) Append(id);
}

RValue* ArrayElementForStore(RVariable& v, int32_t flatindex) {
  if (flatindex < 0 || flatindex > kMaxFlat) return nullptr;
  size_t row = static_cast<size_t>(flatindex / kArrayDimension);
  size_t col = static_cast<size_t>(flatindex % kArrayDimension);
  if (v.value.size() <= row) v.value.resize(row + 1);
  std::vector<RValue>& r = v.value[row];
  if (r.size() <= col) r.resize(col + 1);
  return &r[col];
}

RValue* CVariableList::Slot(int32_t id, int32_t flatindex) {
  int32_t noHint = -1;
  return SlotAt(id, flatindex, noHint);
}

bool CVariableList::SetVar(int32_t id, int32_t flatindex, const RValue& value) {
  RValue* slot = Slot(id, flatindex);
  if (!slot) return false;
  *slot = value;
  return true;
}

const RValue* CVariableList::Find(int32_t id, int32_t flatindex) const {
  int32_t noHint = -1;
  return FindAt(id, flatindex, noHint);
}

bool CVariableList::GetVar(int32_t id, int32_t flatindex, RValue& value) const {
  if (const RValue* p = Find(id, flatindex)) {
    value = *p;
    return true;
  }
  if (g_uninitialisedZero) {
    value = RValue();
    return true;
  }
  return false;
}

namespace {

void WriteValue(CStream& s, const RValue& v) {
  s.WriteInteger(v.kind);
  s.WriteReal(v.val);
  s.WriteString(v.str.view());
}

RValue ReadValue(CStream& s) {
  RValue v;
  int32_t kind = s.ReadInteger();
  if (kind != ty_real && kind != ty_string) throw EStreamError("Damaged value in variable list");
  v.kind = kind;
  v.val = s.ReadReal();
  std::string str = s.ReadString();
  v.str = RString(str);
  return v;
}

// A count read from a stored form: never negative and never more than the addressing allows.
int32_t ReadCount(CStream& s, int32_t limit) {
  int32_t n = s.ReadInteger();
  if (n < 0 || n > limit) throw EStreamError("Damaged count in variable list");
  return n;
}

}  // namespace

void CVariableList::SaveToStream(CStream& s) const {
  s.WriteInteger(kVariableListVersion);
  s.WriteInteger(static_cast<int32_t>(v_vars.size()));
  for (const RVariable& v : v_vars) {
    s.WriteInteger(v.ind);
    WriteValue(s, v.simplevalue);
    s.WriteInteger(static_cast<int32_t>(v.value.size()));
    for (const std::vector<RValue>& row : v.value) {
      s.WriteInteger(static_cast<int32_t>(row.size()));
      for (const RValue& e : row) WriteValue(s, e);
    }
  }
}

bool CVariableList::LoadFromStream(CStream& s) {
  Clear();
  if (s.ReadInteger() != kVariableListVersion) return false;
  // Every variable takes at least 20 bytes, so the count can never exceed what remains.
  int32_t count = s.ReadInteger();
  if (count < 0 || static_cast<size_t>(count) > s.Remaining() / 20)
    throw EStreamError("Damaged count in variable list");
  for (int32_t i = 0; i < count; ++i) {
    RVariable v;
    v.ind = s.ReadInteger();
    v.simplevalue = ReadValue(s);
    int32_t rows = ReadCount(s, kArrayDimension);
    for (int32_t r = 0; r < rows; ++r) {
      int32_t len = ReadCount(s, kArrayDimension);
      std::vector<RValue> row;
      // Grown as read: a damaged length runs into the end of the stream, not into memory.
      for (int32_t e = 0; e < len; ++e) row.push_back(ReadValue(s));
      v.value.push_back(std::move(row));
    }
    v_vars.push_back(std::move(v));
  }
  if (v_vars.size() > kLinearLimit) RebuildIndex();
  return true;
}

// ---------------------------------------------------------------------------------------------
// Globals

namespace globals_detail {
CVariableList g_list;
std::vector<bool> g_declared(10000, false);
}  // namespace globals_detail

using globals_detail::g_declared;
using globals_detail::g_list;

void DeclareGlobal(int32_t id) {
  if (id < kUserVariableBase) return;  // built-in names are never global variables
  size_t k = static_cast<size_t>(id - kUserVariableBase);
  if (k >= g_declared.size()) g_declared.resize(k + 1000, false);
  g_declared[k] = true;
  g_list.Init(id);
}

void ResetGlobals() {
  g_list.Clear();
  g_declared.assign(10000, false);
}

void SaveGlobals(CStream& s) {
  s.WriteInteger(kGlobalsVersion);
  g_list.SaveToStream(s);
  s.WriteInteger(static_cast<int32_t>(g_declared.size()));
  for (bool b : g_declared) s.WriteBoolean(b);
}

namespace {

// The block after its version: the list (false when its version is wrong), then the flags.
bool ReadGlobalsContent(CStream& s, CVariableList& list, std::vector<bool>& declared) {
  const bool listRead = list.LoadFromStream(s);
  int32_t n = s.ReadInteger();
  if (n < 0 || static_cast<size_t>(n) > s.Remaining() / 4) throw EStreamError("Damaged global flags");
  declared.assign(static_cast<size_t>(n), false);
  for (int32_t i = 0; i < n; ++i) declared[static_cast<size_t>(i)] = s.ReadBoolean();
  return listRead;
}

}  // namespace

bool ReadGlobals(CStream& s, CVariableList& list, std::vector<bool>& declared) {
  if (s.ReadInteger() != kGlobalsVersion) return false;
  return ReadGlobalsContent(s, list, declared);
}

void SetGlobals(CVariableList list, std::vector<bool> declared) {
  g_list = std::move(list);
  g_declared = std::move(declared);
}

bool LoadGlobals(CStream& s) {
  if (s.ReadInteger() != kGlobalsVersion) return false;
  // Read into fresh state first, so a damaged block leaves the globals as they were.
  CVariableList list;
  std::vector<bool> declared;
  ReadGlobalsContent(s, list, declared);
  SetGlobals(std::move(list), std::move(declared));
  return true;
}

}  // namespace kestro
