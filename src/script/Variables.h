// Variables of the script language: the name table that turns names into ids at compile time,
// `CVariableList` (plain values and 1-D / 2-D arrays) with its stored form, and the global
// variables with their `globalvar` flags. Instance designators are in Designators.h.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "script/Designators.h"
#include "script/Value.h"

namespace kestro {

class CStream;

// ---------------------------------------------------------------------------------------------
// Variable ids. Built-in variables are 0 ... 499 in registration order; every other name is
// 100000 + its place in the name table, added the first time it is met.

inline constexpr int32_t kMaxBuiltinVariables = 500;
inline constexpr int32_t kUserVariableBase = 100000;

// Appends a built-in variable; -1 (after the internal-error message) when the table is full.
int32_t RegisterBuiltinVariable(std::string_view name);
// The built-in variable's id, or -1.
int32_t FindBuiltinVariable(std::string_view name);
int32_t BuiltinVariableCount();
// The id of a name: the built-in one, else the user id (added when new).
int32_t VariableId(std::string_view name);
// The name of an id, or "<unknown built-in variable>" / "<unknown variable>".
std::string VariableName(int32_t id);
int32_t UserVariableCount();

// Array addressing: a[i, j] is flat index i * 32000 + j, each index 0 ... 31999.
inline constexpr int32_t kArrayDimension = 32000;

// The game setting "uninitialised variables are 0": reads of missing variables give real 0.
void SetUninitialisedAreZero(bool on);
bool UninitialisedAreZero();

// ---------------------------------------------------------------------------------------------

struct RVariable {
  int32_t ind = 0;
  RValue simplevalue;                     // flat index 0, also element 0 of row 0
  std::vector<std::vector<RValue>> value;  // rows of elements
};

// Element access of one variable by flat index: the stored element or null, and the element
// created as a store creates it (rows grown with real 0), null for a bad index.
inline constexpr int32_t kMaxFlat = kArrayDimension * kArrayDimension - 1;
inline const RValue* ArrayElement(const RVariable& v, int32_t flatindex) {
  if (flatindex < 0 || flatindex > kMaxFlat) return nullptr;
  const size_t row = static_cast<size_t>(flatindex / kArrayDimension);
  const size_t col = static_cast<size_t>(flatindex % kArrayDimension);
  if (row >= v.value.size() || col >= v.value[row].size()) return nullptr;
  return &v.value[row][col];
}
RValue* ArrayElementForStore(RVariable& v, int32_t flatindex);
inline const RValue* VariableElement(const RVariable& v, int32_t flatindex) {
  return flatindex == 0 ? &v.simplevalue : ArrayElement(v, flatindex);
}
inline RValue* VariableElementForStore(RVariable& v, int32_t flatindex) {
  return flatindex == 0 ? &v.simplevalue : ArrayElementForStore(v, flatindex);
}

class CVariableList {
 public:
  CVariableList() = default;
  CVariableList(const CVariableList& o) { Assign(o); }
  CVariableList& operator=(const CVariableList& o) {
    if (this != &o) Assign(o);
    return *this;
  }
  CVariableList(CVariableList&&) = default;
  CVariableList& operator=(CVariableList&&) = default;

  void Create() { Clear(); }
  void Destroy() { Clear(); }
  void Clear();
  void Assign(const CVariableList& source);

  // Stores a value; the variable and its rows grow as needed (new elements real 0). A flat
  // index outside 0 ... 32000 * 32000 - 1 stores nothing and gives false.
  bool SetVar(int32_t id, int32_t flatindex, const RValue& value);
  // Reads a value; missing variables and elements give false, or real 0 and true when
  // uninitialised variables read as 0.
  bool GetVar(int32_t id, int32_t flatindex, RValue& value) const;
  // The stored element itself, or null (no setting consulted). For the executor's fast paths.
  const RValue* Find(int32_t id, int32_t flatindex) const;
  // The element, created like SetVar creates it; null for a bad flat index.
  RValue* Slot(int32_t id, int32_t flatindex);
  // Find and Slot through a remembered place: `hint` is where the id was found last time (in this
  // list or one laid out alike) and is updated when it is elsewhere. For the executor, whose
  // instructions keep one hint each.
  const RValue* FindAt(int32_t id, int32_t flatindex, int32_t& hint) const {
    if (static_cast<size_t>(hint) >= v_vars.size() || v_vars[static_cast<size_t>(hint)].ind != id) {
      const int32_t k = IndexOf(id);
      if (k < 0) return nullptr;
      hint = k;
    }
    return VariableElement(v_vars[static_cast<size_t>(hint)], flatindex);
  }
  RValue* SlotAt(int32_t id, int32_t flatindex, int32_t& hint) {
    if (static_cast<size_t>(hint) >= v_vars.size() || v_vars[static_cast<size_t>(hint)].ind != id) {
      if (flatindex < 0 || flatindex > kMaxFlat) return nullptr;
      const int32_t k = IndexOf(id);
      hint = k >= 0 ? k : Append(id);
    }
    return VariableElementForStore(v_vars[static_cast<size_t>(hint)], flatindex);
  }
  // Appends the variable with a plain value of real 0 when absent.
  void Init(int32_t id);
  bool Exists(int32_t id) const { return IndexOf(id) >= 0; }

  void SaveToStream(CStream& s) const;
  // False when the version is not 440 (the list is then empty). Damaged content raises
  // EStreamError, like any read past the end.
  bool LoadFromStream(CStream& s);

  int32_t v_numb() const { return static_cast<int32_t>(v_vars.size()); }
  const std::vector<RVariable>& Vars() const { return v_vars; }

 private:
  int32_t IndexOf(int32_t id) const;
  int32_t Append(int32_t id);
  void RebuildIndex();

  std::vector<RVariable> v_vars;
  // Open-addressing index from id to place in v_vars, kept once the list is no longer tiny.
  std::vector<int32_t> index_;
};

// ---------------------------------------------------------------------------------------------
// The global variables.

// The state behind the functions below, read inline on the executor's paths.
namespace globals_detail {
extern CVariableList g_list;
extern std::vector<bool> g_declared;  // by user variable number
}  // namespace globals_detail

inline CVariableList& GlobalVariables() { return globals_detail::g_list; }
// Marks the name as declared with `globalvar` and makes sure it exists (reading 0).
void DeclareGlobal(int32_t id);
inline bool IsDeclaredGlobal(int32_t id) {
  const uint32_t k = static_cast<uint32_t>(id) - static_cast<uint32_t>(kUserVariableBase);  // built-in ids wrap
  return k < globals_detail::g_declared.size() && globals_detail::g_declared[k];
}
// A fresh empty list and no declared names (a game starts).
void ResetGlobals();
void SaveGlobals(CStream& s);
// False, changing nothing, when the block does not start with 700.
bool LoadGlobals(CStream& s);
// The stored form read into `list` and `declared` without touching the globals (a saved game is
// checked whole before anything changes): false when the block does not start with 700 or the
// list's version is wrong. Damaged content raises EStreamError.
bool ReadGlobals(CStream& s, CVariableList& list, std::vector<bool>& declared);
// The globals replaced by read ones.
void SetGlobals(CVariableList list, std::vector<bool> declared);

}  // namespace kestro
