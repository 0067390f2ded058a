// CCode: one piece of script code and its compiled tree.
//
// The tree lives in flat arrays owned by the code object: nodes are `RNode` records addressed
// by index, each node's children are a contiguous run in a child-index array, and constant
// values sit in a value pool. Compiling makes a handful of allocations however large the code,
// walking is cache-friendly, and a later lowering pass can index side tables by node number.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "script/Value.h"

namespace kestro {

class IScriptNames;
struct CLowered;

// Node kinds of the compiled tree.
enum : int32_t {
  tk_emptyprogram = -2,
  tk_emptystatement = -1,
  tk_constant = 5,
  tk_function = 6,
  tk_variable = 7,
  tk_variable_fixed = 8,  // no index, instance designator fixed in ind2
  tk_if = 13,
  tk_while = 16,
  tk_do = 17,
  tk_for = 18,
  tk_repeat = 20,
  tk_exit = 21,
  tk_break = 22,
  tk_continue = 23,
  tk_with = 24,
  tk_return = 25,
  tk_switch = 26,
  tk_case = 27,
  tk_default = 28,
  tk_var = 29,
  tk_globalvar = 30,
  tk_assign = 101,
  tk_block = 1000,
  tk_unary = 1010,
  tk_binary = 1011,
};

// One node. `items` is the offset of the first child in the code's child array, `value` the
// index of a constant node's value in the value pool.
struct RNode {
  int32_t kind = 0;
  int32_t ind = 0;       // function id, variable id or operator symbol
  int32_t ind2 = 0;      // the designator of a kind-8 variable node
  int32_t position = 0;  // 1-based place in the source text
  uint32_t items = 0;
  int32_t itemnumb = 0;
  uint32_t value = 0;
  // For the executor: a local variable node's frame slot, or -1.
  int32_t aux = -1;
};

// What a piece of code is: statements, or an expression; an expression the compiler found
// constant keeps its value in i_value and needs no run.
enum class CodeKind : int32_t { kProgram = 1, kExpression = 2, kConstantExpression = 3 };

// How deep code may nest. Deeper text is a compile error, so every recursive walk of a tree
// (the post-pass, dumps, the executor) stays far from the end of the stack.
inline constexpr int32_t kMaxNesting = 512;     // brackets, blocks, statements inside statements
inline constexpr int32_t kMaxTreeDepth = 2048;  // also long operator chains and dot selections
inline constexpr const char* kTooDeepMessage = "Code is nested too deeply.";

class CCode {
 public:
  CodeKind i_kind = CodeKind::kProgram;
  bool i_compiled = false;
  RValue i_value;  // the value of a constant expression
  int32_t i_Args = 0;
  bool i_ArgArray = false;

  // Out of line: the lowered form is complete only where it is made.
  CCode();
  CCode(std::string_view text, CodeKind kind);
  ~CCode();
  CCode(const CCode&) = delete;
  CCode& operator=(const CCode&) = delete;

  // New code of the kind (kProgram or kExpression) from UTF-8 text, not compiled yet.
  void Create(std::string_view text, CodeKind kind);
  // Compiles with the run's name lookup, or with `names` when given. On failure the error is
  // pending in the code-error reporter (and kept in CompileError()); an error that was pending
  // before a successful compile stays pending.
  bool Compile(const IScriptNames* names = nullptr);
  const std::u16string& GetText() const { return i_str; }
  std::string GetTextUtf8() const { return Utf16ToUtf8(i_str); }
  void Destroy();

  // The message of the last failed compile (as the reporter formats it), or "".
  const std::string& CompileError() const { return compileError_; }

  // The tree.
  uint32_t Root() const { return root_; }
  const RNode& Node(uint32_t i) const { return nodes_[i]; }
  uint32_t Child(const RNode& n, int32_t k) const { return children_[n.items + static_cast<uint32_t>(k)]; }
  const RNode& ChildNode(const RNode& n, int32_t k) const { return nodes_[Child(n, k)]; }
  const RValue& Value(const RNode& n) const { return values_[n.value]; }
  const RValue& PoolValue(uint32_t k) const { return values_[k]; }
  const RValue* Pool() const { return values_.data(); }
  size_t NodeCount() const { return nodes_.size(); }
  // The ids of the names declared with var, in order of declaration; a local's frame slot is
  // its place here.
  const std::vector<int32_t>& LocalIds() const { return localIds_; }
  // The form the executor runs, lowered from the tree at the first run.
  const CLowered& Lowered() const {
    if (!lowered_) Lower();
    return *lowered_;
  }

 private:
  friend class Parser;
  std::u16string i_str;
  std::vector<RNode> nodes_;
  std::vector<uint32_t> children_;
  std::vector<RValue> values_;
  uint32_t root_ = 0;
  std::vector<int32_t> localIds_;
  std::string compileError_;
  mutable std::unique_ptr<CLowered> lowered_;
  void Lower() const;
};

// Readable forms of a compiled tree (for `kestro script --dump` and for tests).
// Indented: one node per line with its kind, details and position.
std::string DumpTree(const CCode& code, const IScriptNames* names = nullptr);
// Compact: one line of nested lists, e.g. (block (= x@-6 (+ 1 y@-6))).
std::string DumpTreeCompact(const CCode& code, const IScriptNames* names = nullptr);

}  // namespace kestro
