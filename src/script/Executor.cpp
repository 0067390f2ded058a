#include "script/Executor.h"

#include <algorithm>
#include <memory>
#include <new>
#include <vector>

#include "script/Code.h"
#include "script/CodeError.h"
#include "script/Lowering.h"
#include "script/NameLookup.h"
#include "script/Numeric.h"
#include "script/Scripts.h"
#include "script/Symbols.h"
#include "script/Variables.h"
#include "script/builtins/BuiltinError.h"

// Instruction dispatch: computed goto (labels as values, a GCC and Clang extension) by default;
// defining KESTRO_SWITCH_DISPATCH, or a compiler without the extension, gives the portable switch.
#if defined(KESTRO_SWITCH_DISPATCH) || !(defined(__GNUC__) || defined(__clang__))
#define KESTRO_COMPUTED_GOTO 0
#else
#define KESTRO_COMPUTED_GOTO 1
#endif

namespace kestro {

namespace {

// Without a game there are no instances: reads fail, writes are refused, calls yield 0.
class NoHost final : public IScriptHost {
 public:
  CVariableList& Variables(CInstance*) override { return scratch_; }
  CInstance* FirstInstance(int32_t) override { return nullptr; }
  void Instances(int32_t, std::vector<CInstance*>&) override {}
  bool GetBuiltin(CInstance*, int32_t, int32_t, RValue&) override { return false; }
  bool SetBuiltin(CInstance*, int32_t, int32_t, const RValue&) override { return false; }
  bool CallFunction(int32_t, CInstance*, CInstance*, int32_t, RValue*, RValue&) override { return true; }

 private:
  CVariableList scratch_;
};

NoHost g_noHost;
IScriptHost* g_host = &g_noHost;

int64_t g_budget = -1;

// The stack address of the outermost run; nested runs measure their depth from it.
const char* g_stackBase = nullptr;

// Registers of the runs in progress. A nested run (a script called from code) takes its
// registers after its caller's, in blocks that never move, and gives them back when it ends.
class RegisterStack {
 public:
  struct Mark {
    size_t block = 0, used = 0;
  };
  RValue* Acquire(size_t n, Mark& mark) {
    mark = {block_, used_};
    if (block_ < blocks_.size() && blocks_[block_].size - used_ >= n) {
      RValue* p = blocks_[block_].values.get() + used_;
      used_ += n;
      return p;
    }
    return AcquireElsewhere(n);
  }
  // Strings left in the registers are let go, so no text outlives the run.
  void Release(RValue* p, size_t n, const Mark& mark) {
    for (size_t k = 0; k < n; ++k)
      if (!p[k].str.empty()) p[k].str = RString();
    block_ = mark.block;
    used_ = mark.used;
  }

 private:
  // The next block with room, made when there is none.
  [[gnu::noinline]] RValue* AcquireElsewhere(size_t n) {
    for (;;) {
      ++block_;
      used_ = 0;
      if (block_ >= blocks_.size()) {
        block_ = blocks_.size();
        const size_t size = std::max(n, kBlockSize);
        blocks_.push_back({std::make_unique<RValue[]>(size), size});
      }
      if (blocks_[block_].size >= n) {
        used_ = n;
        return blocks_[block_].values.get();
      }
    }
  }

  static constexpr size_t kBlockSize = 4096;
  struct Block {
    std::unique_ptr<RValue[]> values;
    size_t size;
  };
  std::vector<Block> blocks_;
  size_t block_ = 0, used_ = 0;
};

RegisterStack g_registers;

inline void Put(RValue& v, double d) {
  v.kind = ty_real;
  v.val = d;
  if (!v.str.empty()) v.str = RString();  // a stored string is not kept alive by a real
}

// A copy into a register; a real takes no reference on a string.
inline void Load(RValue& dst, const RValue& src) {
  if (src.kind == ty_real) Put(dst, src.val);
  else dst = src;
}

const char* StatementMessage(int32_t kind) {
  switch (kind) {
    case msg_expression_expected: return "Expression expected";
    case msg_boolean_expected: return "Boolean expression expected";
    case msg_case_outside: return "Case statement only allowed inside switch statement.";
    case msg_default_outside: return "Default statement only allowed inside switch statement.";
    case msg_unexpected_symbol: return "Unexpected symbol in expression.";
    default: return "Statement expected.";
  }
}

// One run of lowered code for a self and an other instance. Scripts the code calls run in the
// same loop, each in a frame of its own, so script calls cost no native stack.
class Run {
 public:
  Run(CInstance* self, CInstance* other, const CCode& code) : self_(self), other_(other), host_(*g_host) {
    EnterCode(code);
    args_ = ArgumentSlots();
  }
  ~Run() {
    while (depth_ > 0) LeaveCall();  // only when memory ran out inside a call
    g_registers.Release(registers_, size_t(lowered_->registers), mark_);
  }
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;

  // False when the code failed (the error is then pending).
  bool Go(RValue& result);

 private:
  const RNode& N(uint32_t i) const { return code_->Node(i); }
  bool Error(int32_t position, std::string_view message) {
    ReportCodeError(code_, position, message);
    return false;
  }

  // Counts one loop iteration or call against the budget.
  bool Spend(int32_t position) {
    if (g_budget < 0) return true;
    if (g_budget-- > 0) return true;
    g_budget = 0;
    return Error(position, kBudgetMessage);
  }

  // The designator and flat index an instruction has worked out in its registers.
  int32_t Designator(const RIns& ins) const {
    return ins.b >= 0 ? static_cast<int32_t>(registers_[ins.b].val) : ins.c;
  }
  int32_t Flat(const RIns& ins) const {
    if (ins.n == 0) return 0;
    const int32_t a = static_cast<int32_t>(registers_[ins.d].val);
    return ins.n == 1 ? a : a * kArrayDimension + static_cast<int32_t>(registers_[ins.d + 1].val);
  }

  bool Unary(const RIns& ins);
  bool Binary(const RIns& ins);
  bool Compare(const RIns& ins, int32_t left, bool& truth);
  // A binary operator's right operand: a register, or a constant of the pool when negative.
  const RValue& Operand(int32_t b) const { return b >= 0 ? registers_[b] : code_->PoolValue(uint32_t(-1 - b)); }
  bool Desig(const RIns& ins);
  bool Index(const RIns& ins);
  bool IndexFromLocal(uint32_t node, int32_t slot, RValue& v);
  bool CheckIndex(int32_t position, RValue& v);
  bool ReadVar(const RNode& n, int32_t designator, int32_t flat, RValue& out);
  bool FindVar(const RNode& n, int32_t designator, int32_t flat, RValue& out);
  int32_t SlotOf(const RNode& n) const;
  const RValue* FindLocal(const RNode& n, int32_t flat) const;
  bool StoreLocal(const RNode& n, int32_t flat, const RValue& v);
  RValue* ExistingElement(const RNode& n, int32_t designator, int32_t flat, int32_t& hint);
  bool ReadInstance(CInstance* inst, int32_t id, int32_t flat, RValue& out);
  bool StoreInstance(CInstance* inst, int32_t id, int32_t flat, const RValue& v);
  bool Store(const RNode& n, int32_t designator, int32_t flat, const RValue& v, int32_t& hint);
  bool Assign(const RNode& n, int32_t designator, int32_t flat, const RValue& v, int32_t& hint);
  enum WithStart { kWithFailed, kWithNone, kWithBody };
  WithStart StartWith(const RIns& ins);
  bool NextWith();
  bool EndWith();

  // Script calls.
  // Inlined into the loop: calls are its hottest path.
  [[gnu::always_inline]] void EnterCode(const CCode& code);
  [[gnu::always_inline]] bool EnterScript(const RIns& ins, int32_t index, const CCode& callee, const RIns* ip);
  [[gnu::always_inline]] const RIns* LeaveCall();
  [[gnu::always_inline]] bool FinishCall(bool ok, const RIns*& ip);

  CInstance* self_;
  CInstance* other_;
  IScriptHost& host_;
  // The code running now, and its state; a script call saves these in calls_.
  const CCode* code_ = nullptr;
  const CLowered* lowered_ = nullptr;
  RValue* args_ = nullptr;    // the argument slots of the call the code belongs to
  RValue* result_ = nullptr;  // where its return value goes
  RValue* registers_ = nullptr;
  RegisterStack::Mark mark_;
  // Locals: names declared with var live in frame slots, defined at the first store; other
  // names reached through the local designator live in a list.
  struct RLocal {
    bool defined = false;
    RVariable var;
  };
  std::unique_ptr<RLocal[]> frame_;
  std::unique_ptr<CVariableList> locals_;
  CVariableList* selfVars_ = nullptr;  // the running instance's list, asked for once

  CVariableList& SelfVars() {
    if (!selfVars_) selfVars_ = &host_.Variables(self_);
    return *selfVars_;
  }

  // The with statements in progress, innermost last: what to put back when each ends, and the
  // instances still to visit.
  struct RWith {
    CInstance* self;
    CInstance* other;
    CVariableList* vars;
    std::vector<CInstance*> list;
    size_t next = 0;
    bool several = false;
  };
  std::vector<RWith> withs_;

  // A script call in progress: what the caller had, and what finishing the call needs.
  struct RCall {
    const CCode* code;
    const CLowered* lowered;
    const RIns* ip;
    RValue* args;
    RValue* result;
    RValue* registers;
    RegisterStack::Mark mark;
    std::unique_ptr<RLocal[]> frame;
    std::unique_ptr<CVariableList> locals;
    size_t withs;
    int32_t script;
    int32_t argc;
    bool pendingBefore;
    CodeErrorState before;
    bool argsEntered;  // so memory running out half-way leaves nothing behind
    bool entered;
  };
  std::vector<RCall> calls_;  // kept for reuse: the first depth_ are in progress
  int32_t lastScriptId_ = -1;
  const CCode* lastScriptCode_ = nullptr;
  size_t depth_ = 0;
};

// ---------------------------------------------------------------------------------------------
// Operators: the general routines, for what the reals-only paths in Go leave over. Errors of a
// binary operator are at its right operand, of a unary one at its operand.

bool Run::Unary(const RIns& ins) {
  const RNode& n = N(ins.node);
  RValue& v = registers_[ins.a];
  if (v.kind == ty_real) {
    if (n.ind == sym_minus) {
      v.val = -v.val;
      return true;
    }
    if (n.ind == sym_not) {
      v.val = IsTrue(v.val) ? 0.0 : 1.0;
      return true;
    }
  }
  return UnaryOperation(code_, code_->ChildNode(n, 0).position, n.ind, v);
}

bool Run::Binary(const RIns& ins) {
  const RNode& n = N(ins.node);
  return BinaryOperation(code_, code_->ChildNode(n, 1).position, n.ind, Operand(ins.b), registers_[ins.a]);
}

// A comparison used as a condition, done by the general routine: whether to go on (the
// comparison held) or jump; false and reported when it fails or gives a string.
bool Run::Compare(const RIns& ins, int32_t left, bool& truth) {
  const RNode& n = N(ins.node);
  RValue& v = registers_[left];
  if (!BinaryOperation(code_, code_->ChildNode(n, 1).position, n.ind, Operand(ins.b), v)) return false;
  if (v.kind != ty_real) return Error(N(ins.node).position, StatementMessage(ins.d));
  truth = IsTrue(v.val);
  return true;
}

bool Run::Desig(const RIns& ins) {
  RValue& v = registers_[ins.a];
  if (v.kind != ty_real) return Error(N(ins.node).position, "Wrong type of variable index");
  v.val = DesignatorOf(v.val);
  return true;
}

bool Run::Index(const RIns& ins) { return CheckIndex(N(ins.node).position, registers_[ins.a]); }

// A declared local (the index expression `node`, frame slot `slot`) read as an array index.
bool Run::IndexFromLocal(uint32_t node, int32_t slot, RValue& v) {
  const RLocal& local = frame_[slot];
  if (local.defined) v = local.var.simplevalue;
  else if (!ReadVar(N(node), kDesignatorLocal, 0, v)) return false;
  return CheckIndex(N(node).position, v);
}

bool Run::CheckIndex(int32_t position, RValue& v) {
  if (v.kind != ty_real) return Error(position, "Wrong type of array index");
  const int64_t index = RoundToInt64(v.val);
  if (index < 0) return Error(position, "Negative array index");
  if (index >= kArrayDimension) return Error(position, "Array index >= 32000");
  v.val = static_cast<double>(index);
  return true;
}

// ---------------------------------------------------------------------------------------------
// Variables

bool Run::ReadInstance(CInstance* inst, int32_t id, int32_t flat, RValue& out) {
  if (!inst) return false;
  if (id < kUserVariableBase) return host_.GetBuiltin(inst, id, flat, out);
  if (const RValue* p = (inst == self_ ? SelfVars() : host_.Variables(inst)).Find(id, flat)) {
    out = *p;
    return true;
  }
  return false;
}

int32_t Run::SlotOf(const RNode& n) const {
  if (n.aux >= 0) return n.aux;
  const std::vector<int32_t>& ids = code_->LocalIds();
  for (size_t k = 0; k < ids.size(); ++k)
    if (ids[k] == n.ind) return static_cast<int32_t>(k);
  return -1;
}

const RValue* Run::FindLocal(const RNode& n, int32_t flat) const {
  const int32_t slot = SlotOf(n);
  if (slot >= 0) {
    if (!frame_ || !frame_[slot].defined) return nullptr;
    return VariableElement(frame_[slot].var, flat);
  }
  return locals_ ? locals_->Find(n.ind, flat) : nullptr;
}

bool Run::StoreLocal(const RNode& n, int32_t flat, const RValue& v) {
  const int32_t slot = SlotOf(n);
  if (slot < 0) {
    if (!locals_) locals_ = std::make_unique<CVariableList>();
    return locals_->SetVar(n.ind, flat, v);
  }
  if (!frame_) frame_ = std::make_unique<RLocal[]>(code_->LocalIds().size());
  RValue* p = VariableElementForStore(frame_[slot].var, flat);
  if (!p) return false;
  frame_[slot].defined = true;
  *p = v;
  return true;
}

// Reads without reporting; false when the variable is not there.
bool Run::FindVar(const RNode& n, int32_t designator, int32_t flat, RValue& out) {
  const int32_t id = n.ind;
  const RValue* p = nullptr;
  switch (designator) {
    case kDesignatorLocal:
      p = FindLocal(n, flat);
      break;
    case kDesignatorUnspecified:
      if (IsDeclaredGlobal(id)) {
        p = GlobalVariables().Find(id, flat);
        break;
      }
      return ReadInstance(self_, id, flat, out);
    case kDesignatorGlobal:
      p = GlobalVariables().Find(id, flat);
      break;
    case kDesignatorSelf:
      return ReadInstance(self_, id, flat, out);
    case kDesignatorOther:
      return ReadInstance(other_, id, flat, out);
    case kDesignatorNoone:
      return false;
    default:
      if (designator < 0 && designator != kDesignatorAll) return false;
      return ReadInstance(host_.FirstInstance(designator), id, flat, out);
  }
  if (!p) return false;
  out = *p;
  return true;
}

// The stored element a compound assignment may change in place (lists only, never a built-in
// variable's setter); null when there is none.
RValue* Run::ExistingElement(const RNode& n, int32_t designator, int32_t flat, int32_t& hint) {
  const int32_t id = n.ind;
  switch (designator) {
    case kDesignatorLocal:
      return const_cast<RValue*>(FindLocal(n, flat));
    case kDesignatorUnspecified:
      if (IsDeclaredGlobal(id)) return const_cast<RValue*>(GlobalVariables().FindAt(id, flat, hint));
      [[fallthrough]];
    case kDesignatorSelf:
      if (id < kUserVariableBase || !self_) return nullptr;
      return const_cast<RValue*>(SelfVars().FindAt(id, flat, hint));
    case kDesignatorGlobal:
      return const_cast<RValue*>(GlobalVariables().FindAt(id, flat, hint));
    default:
      return nullptr;
  }
}

bool Run::ReadVar(const RNode& n, int32_t designator, int32_t flat, RValue& out) {
  if (FindVar(n, designator, flat, out)) return true;
  if (UninitialisedAreZero()) {
    out = RValue();
    return true;
  }
  std::string message = "Unknown variable " + VariableName(n.ind);
  if (flat != 0) message += " or array index out of bounds";
  return Error(n.position, message);
}

bool Run::StoreInstance(CInstance* inst, int32_t id, int32_t flat, const RValue& v) {
  if (id < kUserVariableBase) return host_.SetBuiltin(inst, id, flat, v);
  return (inst == self_ ? SelfVars() : host_.Variables(inst)).SetVar(id, flat, v);
}

bool Run::Store(const RNode& n, int32_t designator, int32_t flat, const RValue& v, int32_t& hint) {
  const int32_t id = n.ind;
  // A variable of the global list or the running instance's, through the instruction's hint.
  auto into = [&](CVariableList& list) {
    RValue* p = list.SlotAt(id, flat, hint);
    if (p) *p = v;
    return p != nullptr;
  };
  switch (designator) {
    case kDesignatorLocal:
      return StoreLocal(n, flat, v);
    case kDesignatorUnspecified:
      if (IsDeclaredGlobal(id)) return into(GlobalVariables());
      return id >= kUserVariableBase ? into(SelfVars()) : StoreInstance(self_, id, flat, v);
    case kDesignatorGlobal:
      return into(GlobalVariables());
    case kDesignatorSelf:
      return id >= kUserVariableBase ? into(SelfVars()) : StoreInstance(self_, id, flat, v);
    case kDesignatorOther:
      return StoreInstance(other_, id, flat, v);
    case kDesignatorNoone:
      return false;
    default: {
      if (designator < 0 && designator != kDesignatorAll) return false;
      if (designator >= kFirstInstanceId) {
        CInstance* inst = host_.FirstInstance(designator);
        return inst ? StoreInstance(inst, id, flat, v) : true;  // a gone instance is no failure
      }
      std::vector<CInstance*> all;
      host_.Instances(designator, all);
      bool ok = true;
      for (CInstance* inst : all) ok = StoreInstance(inst, id, flat, v);
      return ok;
    }
  }
}

// Completes an assignment whose value is in `v`: the compound forms combine it with the stored
// value first. The failure is reported.
bool Run::Assign(const RNode& n, int32_t designator, int32_t flat, const RValue& v, int32_t& hint) {
  const RNode& target = code_->ChildNode(n, 0);
  if (n.ind != sym_assign) {
    // Changed in place: the common counters and sums, and texts built piece by piece (a buffer
    // held by this variable alone grows; one shared with any other holder is copied first).
    if (v.kind == ty_real || n.ind == sym_assign_plus) {
      RValue* p = ExistingElement(target, designator, flat, hint);
      if (p && p->kind == ty_real && v.kind == ty_real) {
        switch (n.ind) {
          case sym_assign_plus: p->val += v.val; return true;
          case sym_assign_minus: p->val -= v.val; return true;
          case sym_assign_times: p->val *= v.val; return true;
          default: break;
        }
      } else if (p && p->kind == ty_string && v.kind == ty_string &&
                 p->str.size() + v.str.size() <= kMaxStringLength) {
        p->str.Append(v.str.view());
        return true;
      }
    }
    RValue current;
    if (!FindVar(target, designator, flat, current)) {
      if (!UninitialisedAreZero()) return ReadVar(target, designator, flat, current) && false;  // reported as a read
      current = RValue();
    }
    int32_t op = 0;
    switch (n.ind) {
      case sym_assign_plus: op = sym_plus; break;
      case sym_assign_minus: op = sym_minus; break;
      case sym_assign_times: op = sym_times; break;
      case sym_assign_divide: op = sym_divide; break;
      case sym_assign_or: op = sym_bitor; break;
      case sym_assign_and: op = sym_bitand; break;
      case sym_assign_xor: op = sym_bitxor; break;
      default: break;
    }
    if (op == sym_plus && current.kind == ty_real && v.kind == ty_real) {
      current.val += v.val;
    } else if (!BinaryOperation(code_, n.position, op, v, current)) {
      return false;
    }
    return Store(target, designator, flat, current, hint) || Error(n.position, "Cannot assign to the variable");
  }
  return Store(target, designator, flat, v, hint) || Error(n.position, "Cannot assign to the variable");
}

// ---------------------------------------------------------------------------------------------
// with

Run::WithStart Run::StartWith(const RIns& ins) {
  const RNode& e = code_->ChildNode(N(ins.node), 0);
  const RValue& v = registers_[ins.a];
  if (v.kind != ty_real) {
    Error(e.position, "Object id expected");
    return kWithFailed;
  }
  const int64_t d = RoundToInt64(v.val);
  CInstance* self = self_;
  CInstance* other = self_;
  std::vector<CInstance*> list;
  switch (d) {
    case kDesignatorLocal: Error(e.position, "Cannot use local in with statement."); return kWithFailed;
    case kDesignatorGlobal: Error(e.position, "Cannot use global in with statement."); return kWithFailed;
    case kDesignatorNoone: return kWithNone;
    case kDesignatorOther: self = other_; break;
    case kDesignatorSelf:
    case kDesignatorUnspecified: break;
    default:
      if (d >= kFirstInstanceId) {
        self = d <= INT32_MAX ? host_.FirstInstance(static_cast<int32_t>(d)) : nullptr;
        if (!self) return kWithNone;
        break;
      }
      // Every instance of the room or of an object, as they are when the statement starts.
      if (d == kDesignatorAll || d >= 0) host_.Instances(static_cast<int32_t>(d), list);
      if (list.empty()) return kWithNone;
      if (!Spend(N(ins.node).position)) return kWithFailed;
      self = list[0];
      break;
  }
  RWith& w = withs_.emplace_back();
  w.self = self_;
  w.other = other_;
  w.vars = selfVars_;
  w.several = !list.empty();
  w.list = std::move(list);
  w.next = 1;
  self_ = self;
  other_ = other;
  selfVars_ = nullptr;
  return kWithBody;
}

// The next instance of the innermost with: true when there is one (it is then self), false when
// the with has ended. A spent budget fails the run instead.
bool Run::NextWith() {
  RWith& w = withs_.back();
  if (w.next < w.list.size()) {
    self_ = w.list[w.next++];
    selfVars_ = nullptr;
    return true;
  }
  EndWith();
  return false;
}

// Leaves the innermost with; whether it was over several instances.
bool Run::EndWith() {
  RWith& w = withs_.back();
  const bool several = w.several;
  self_ = w.self;
  other_ = w.other;
  selfVars_ = w.vars;
  withs_.pop_back();
  return several;
}

// ---------------------------------------------------------------------------------------------
// Script calls

// Makes `code` the running code, with fresh registers and locals.
inline void Run::EnterCode(const CCode& code) {
  const CLowered& lowered = code.Lowered();
  std::unique_ptr<RLocal[]> frame;
  if (!code.LocalIds().empty()) frame = std::make_unique<RLocal[]>(code.LocalIds().size());
  RegisterStack::Mark mark;
  registers_ = g_registers.Acquire(size_t(lowered.registers), mark);
  mark_ = mark;
  code_ = &code;
  lowered_ = &lowered;
  frame_ = std::move(frame);
  locals_.reset();
}

// Calls a script from instruction `ins` (its result register a, c arguments from register b),
// as CallScript does: its own arguments, a clean error state, and the caller's first error
// kept. False when the call is too deep (the callee then has failed).
inline bool Run::EnterScript(const RIns& ins, int32_t index, const CCode& callee, const RIns* ip) {
  if (depth_ == calls_.size()) calls_.emplace_back();
  RCall& c = calls_[depth_++];
  c.argsEntered = c.entered = false;
  c.code = code_;
  c.lowered = lowered_;
  c.ip = ip;
  c.args = args_;
  c.result = result_;
  c.registers = registers_;
  c.mark = mark_;
  c.frame = std::move(frame_);
  c.locals = std::move(locals_);
  c.withs = withs_.size();
  c.script = index;
  c.argc = ins.c;
  RValue* const args = EnterArguments(index, registers_ + ins.b, ins.c);
  c.argsEntered = true;
  c.pendingBefore = CodeErrorPending();
  if (c.pendingBefore) {
    c.before = SaveCodeError();
    ClearCodeError();  // without one pending there is nothing to clear
  }
  result_ = &registers_[ins.a];
  EnterCode(callee);
  args_ = args;
  c.entered = true;
  if (depth_ > kMaxScriptDepth) return Error(0, kRecursionMessage);
  return true;
}

// Back to the caller of the innermost call; where it goes on.
inline const RIns* Run::LeaveCall() {
  RCall& c = calls_[depth_ - 1];
  if (c.entered) g_registers.Release(registers_, size_t(lowered_->registers), mark_);
  if (c.argsEntered) LeaveArguments();
  code_ = c.code;
  lowered_ = c.lowered;
  args_ = c.args;
  result_ = c.result;
  registers_ = c.registers;
  mark_ = c.mark;
  frame_ = std::move(c.frame);
  locals_ = std::move(c.locals);
  // The callee ran for the caller's instances; a return from inside a with leaves its entries
  // behind, the first of them holding what the caller had.
  if (withs_.size() > c.withs) {
    const RWith& w = withs_[c.withs];
    self_ = w.self;
    other_ = w.other;
    selfVars_ = w.vars;
    withs_.erase(withs_.begin() + static_cast<std::ptrdiff_t>(c.withs), withs_.end());
  }
  --depth_;
  return c.ip;
}

// Ends the innermost call: a failed one gives "ERROR" and names the script in the error, which
// stays pending while the caller goes on. False when the argument count then fails the caller.
inline bool Run::FinishCall(bool ok, const RIns*& ip) {
  RCall& c = calls_[depth_ - 1];
  if (!ok) {
    *result_ = RValue::String("ERROR");
    NameFailedScript(c.script);
  }
  if (c.pendingBefore) RestoreCodeError(std::move(c.before));
  const int32_t script = c.script, argc = c.argc;
  const CCode& callee = *code_;
  ip = LeaveCall();
  return ArgumentCountFits(callee, argc) || CheckArgumentCount(script, callee, argc);
}

// ---------------------------------------------------------------------------------------------
// The instruction loop

bool Run::Go(RValue& result) {
  result_ = &result;
  const RIns* code = lowered_->code.data();
  RValue* R = registers_;
  const RValue* K = code_->Pool();
#define RELOAD() (code = lowered_->code.data(), R = registers_, K = code_->Pool())
  const RIns* ip = code;
  const RIns* I;
  bool ok;
#if KESTRO_COMPUTED_GOTO
  // Threaded dispatch: each handler jumps straight to the next one.
  static const void* const kHandlers[] = {
#define KESTRO_OP_LABEL(name) &&L_op_##name,
      KESTRO_INSTRUCTIONS(KESTRO_OP_LABEL)
#undef KESTRO_OP_LABEL
  };
  static_assert(sizeof(kHandlers) / sizeof(kHandlers[0]) == op_count);
#define NEXT()               \
  do {                       \
    I = ip++;                \
    goto* kHandlers[I->op];  \
  } while (0)
#else
  // Portable dispatch: one switch that every handler returns to.
#define NEXT() goto dispatch
dispatch:
  I = ip++;
  switch (static_cast<ROp>(I->op)) {
#define KESTRO_OP_CASE(name) \
  case op_##name:            \
    goto L_op_##name;
    KESTRO_INSTRUCTIONS(KESTRO_OP_CASE)
#undef KESTRO_OP_CASE
    case op_count:
      break;
  }
  Error(N(I->node).position, "Internal Error: Unknown instruction.");  // lowering never makes one
  goto fail;
#endif
  NEXT();

      L_op_const: {
        Load(R[I->a], K[I->b]);
        NEXT();
      }
      L_op_local:
        if (frame_[I->b].defined) Load(R[I->a], frame_[I->b].var.simplevalue);
        else if (!ReadVar(N(I->node), kDesignatorLocal, 0, R[I->a])) goto fail;
        NEXT();
      L_op_var: {
        const RNode& n = N(I->node);
        if (const RValue* p = ExistingElement(n, n.ind2, 0, I->hint)) Load(R[I->a], *p);
        else if (!ReadVar(n, n.ind2, 0, R[I->a])) goto fail;
        NEXT();
      }
      L_op_arg:
        Load(R[I->a], args_[I->b]);
        NEXT();
      L_op_elem: {
        const RNode& n = N(I->node);
        const int32_t designator = Designator(*I), flat = Flat(*I);
        if (const RValue* p = ExistingElement(n, designator, flat, I->hint)) Load(R[I->a], *p);
        else if (!ReadVar(n, designator, flat, R[I->a])) goto fail;
        NEXT();
      }
      L_op_desig:
        if (!Desig(*I)) goto fail;
        NEXT();
      L_op_index:
        if (!Index(*I)) goto fail;
        NEXT();
      L_op_index_local: {
        const RLocal& local = frame_[I->b];
        RValue& v = R[I->a];
        if (local.defined && local.var.simplevalue.kind == ty_real) {
          const int64_t index = RoundToInt64(local.var.simplevalue.val);
          if (index >= 0 && index < kArrayDimension) {
            v.val = static_cast<double>(index);
            NEXT();
          }
        }
        if (!IndexFromLocal(I->node, I->b, v)) goto fail;
        NEXT();
      }
      L_op_elem_locals: {
        // The indices straight from the locals when they are reals in range; otherwise read and
        // checked one by one, in order, as separate instructions would.
        const RNode& n = N(I->node);
        int32_t flat = -1;
        const RLocal& li = frame_[I->b];
        if (li.defined && li.var.simplevalue.kind == ty_real) {
          const int64_t a = RoundToInt64(li.var.simplevalue.val);
          if (a >= 0 && a < kArrayDimension) {
            flat = static_cast<int32_t>(a);
            if (I->n == 2) {
              const RLocal& lj = frame_[I->c];
              flat = -1;
              if (lj.defined && lj.var.simplevalue.kind == ty_real) {
                const int64_t b = RoundToInt64(lj.var.simplevalue.val);
                if (b >= 0 && b < kArrayDimension) flat = static_cast<int32_t>(a * kArrayDimension + b);
              }
            }
          }
        }
        if (flat < 0) {
          if (!IndexFromLocal(code_->Child(n, 1), I->b, R[I->d])) goto fail;
          if (I->n == 2 && !IndexFromLocal(code_->Child(n, 2), I->c, R[I->d + 1])) goto fail;
          flat = static_cast<int32_t>(R[I->d].val);
          if (I->n == 2) flat = flat * kArrayDimension + static_cast<int32_t>(R[I->d + 1].val);
        }
        if (const RValue* p = ExistingElement(n, kDesignatorUnspecified, flat, I->hint)) Load(R[I->a], *p);
        else if (!ReadVar(n, kDesignatorUnspecified, flat, R[I->a])) goto fail;
        NEXT();
      }
      L_op_call: {
        if (I->n && g_budget >= 0 && !Spend(N(I->node).position)) goto fail;
        RValue& out = R[I->a];
        Put(out, 0.0);
        const int32_t id = I->d;
        if (id >= kScriptIdBase && id < kExtensionIdBase) {
          // Scripts run here, in a frame of this loop.
          // The script table stays as it is while code runs: the last one looked up is kept.
          if (id != lastScriptId_) {
            lastScriptId_ = id;
            lastScriptCode_ = ScriptCode(id - kScriptIdBase);
          }
          const CCode* callee = lastScriptCode_;
          if (callee && callee->i_kind == CodeKind::kProgram) {
            const bool entered = EnterScript(*I, id - kScriptIdBase, *callee, ip);
            RELOAD();
            ip = code;
            if (!entered) goto fail;
            NEXT();
          }
        }
        if (!host_.CallFunction(id, self_, other_, I->c, R + I->b, out)) goto fail;
        NEXT();
      }
      L_op_spend:
        if (g_budget >= 0 && !Spend(N(I->node).position)) goto fail;
        NEXT();
      L_op_neg:
        if (R[I->a].kind == ty_real) R[I->a].val = -R[I->a].val;
        else if (!Unary(*I)) goto fail;
        NEXT();
      L_op_not:
        if (R[I->a].kind == ty_real) R[I->a].val = IsTrue(R[I->a].val) ? 0.0 : 1.0;
        else if (!Unary(*I)) goto fail;
        NEXT();
      L_op_unary:
        if (!Unary(*I)) goto fail;
        NEXT();

// Binary operators on two reals when `fits` (division by zero is the general routine's error);
// anything else through the general routine.
#define KESTRO_REAL_OP(name, fits, expr)                                     \
  L_##name: {                                                                \
    RValue& x = R[I->a];                                                     \
    const RValue& y = I->b >= 0 ? R[I->b] : K[-1 - I->b];                    \
    if (x.kind == ty_real && y.kind == ty_real) {                            \
      const double a = x.val, b = y.val;                                     \
      if (fits) {                                                            \
        x.val = (expr);                                                      \
        NEXT();                                                              \
      }                                                                      \
    }                                                                        \
    if (!Binary(*I)) goto fail;                                              \
    NEXT();                                                                  \
  }
        KESTRO_REAL_OP(op_add, true, a + b)
        KESTRO_REAL_OP(op_sub, true, a - b)
        KESTRO_REAL_OP(op_mul, true, a * b)
        KESTRO_REAL_OP(op_divide, b != 0, a / b)
        KESTRO_REAL_OP(op_div, b != 0, IntegerDivide(a, b))
        KESTRO_REAL_OP(op_mod, b != 0, Modulo(a, b))
        KESTRO_REAL_OP(op_lt, true, RealLess(a - b) ? 1.0 : 0.0)
        KESTRO_REAL_OP(op_le, true, RealLessEqual(a - b) ? 1.0 : 0.0)
        KESTRO_REAL_OP(op_gt, true, RealGreater(a - b) ? 1.0 : 0.0)
        KESTRO_REAL_OP(op_ge, true, RealGreaterEqual(a - b) ? 1.0 : 0.0)
        KESTRO_REAL_OP(op_eq, true, RealEqual(a - b) ? 1.0 : 0.0)
        KESTRO_REAL_OP(op_ne, true, RealNotEqual(a - b) ? 1.0 : 0.0)
        KESTRO_REAL_OP(op_and, true, (IsTrue(a) && IsTrue(b)) ? 1.0 : 0.0)
        KESTRO_REAL_OP(op_or, true, (IsTrue(a) || IsTrue(b)) ? 1.0 : 0.0)
#undef KESTRO_REAL_OP
#define KESTRO_ARG_OP(name, expr)                                            \
  L_##name: {                                                                \
    const RValue& x = args_[I->b];                                           \
    const RValue& y = K[-1 - I->c];                                          \
    RValue& out = R[I->a];                                                   \
    if (x.kind == ty_real && y.kind == ty_real) {                            \
      const double a = x.val, b = y.val;                                     \
      Put(out, (expr));                                                      \
      NEXT();                                                                \
    }                                                                        \
    out = x;                                                                 \
    const RNode& n = N(I->node);                                            \
    if (!BinaryOperation(code_, code_->ChildNode(n, 1).position, n.ind, y, out)) goto fail; \
    NEXT();                                                                  \
  }
        KESTRO_ARG_OP(op_arg_add, a + b)
        KESTRO_ARG_OP(op_arg_sub, a - b)
#undef KESTRO_ARG_OP
      L_op_binary:
        if (!Binary(*I)) goto fail;
        NEXT();
// Comparisons as conditions: `fetch` sets x to the left operand (and `left` to the register that
// takes it for the general routine), then to c unless the comparison holds.
#define KESTRO_BRANCH_OP(name, expr, ...)                                    \
  L_##name: {                                                                \
    const RValue* x;                                                         \
    int32_t left;                                                            \
    __VA_ARGS__;                                                             \
    const RValue& y = I->b >= 0 ? R[I->b] : K[-1 - I->b];                    \
    bool truth;                                                              \
    if (x->kind == ty_real && y.kind == ty_real) {                           \
      const double d = x->val - y.val;                                       \
      truth = (expr);                                                        \
    } else {                                                                 \
      if (x != &R[left]) R[left] = *x;                                       \
      if (!Compare(*I, left, truth)) goto fail;                              \
    }                                                                        \
    if (!truth) ip = code + I->c;                                            \
    NEXT();                                                                  \
  }
#define KESTRO_BRANCH_OPS(prefix, ...)                                                         \
  KESTRO_BRANCH_OP(prefix##lt, RealLess(d), __VA_ARGS__)         \
  KESTRO_BRANCH_OP(prefix##le, RealLessEqual(d), __VA_ARGS__)    \
  KESTRO_BRANCH_OP(prefix##gt, RealGreater(d), __VA_ARGS__)      \
  KESTRO_BRANCH_OP(prefix##ge, RealGreaterEqual(d), __VA_ARGS__) \
  KESTRO_BRANCH_OP(prefix##eq, RealEqual(d), __VA_ARGS__)        \
  KESTRO_BRANCH_OP(prefix##ne, RealNotEqual(d), __VA_ARGS__)
        // A register on the left.
        KESTRO_BRANCH_OPS(op_if_, left = I->a; x = &R[left])
        // A declared local on the left, read in full into register n when it is not defined.
        KESTRO_BRANCH_OPS(op_lif_, left = I->n; x = &frame_[I->a].var.simplevalue;
                          if (!frame_[I->a].defined) {
                            if (!ReadVar(code_->ChildNode(N(I->node), 0), kDesignatorLocal, 0, R[left])) goto fail;
                            x = &R[left];
                          })
        // An argument slot on the left.
        KESTRO_BRANCH_OPS(op_aif_, left = I->n; x = &args_[I->a])
#undef KESTRO_BRANCH_OPS
#undef KESTRO_BRANCH_OP

      L_op_jump:
        ip = code + I->a;
        NEXT();
      L_op_loop:
        if (g_budget >= 0 && !Spend(N(I->node).position)) goto fail;
        ip = code + I->a;
        NEXT();
      L_op_jump_false: {
        const RValue& v = R[I->a];
        if (v.kind != ty_real) { Error(N(I->node).position, StatementMessage(I->c)); goto fail; }
        if (v.val < 0.5) ip = code + I->b;  // not !IsTrue: a NaN condition goes on, as it always has
        NEXT();
      }
      L_op_set_local: {
        RLocal& local = frame_[I->a];
        local.defined = true;
        if (I->b >= 0) local.var.simplevalue = std::move(R[I->b]);
        else local.var.simplevalue = K[-1 - I->b];
        NEXT();
      }
      L_op_update_local: {
        // A real added to, taken from or multiplying a local holding a real: in place.
        const RValue& v = I->b >= 0 ? R[I->b] : K[-1 - I->b];
        if (I->n != 0 && frame_[I->a].defined && v.kind == ty_real) {
          RValue& x = frame_[I->a].var.simplevalue;
          if (x.kind == ty_real) {
            x.val = I->n == 1 ? x.val + v.val : I->n == 2 ? x.val - v.val : x.val * v.val;
            NEXT();
          }
        }
        if (!Assign(N(I->node), kDesignatorLocal, 0, v, I->hint)) goto fail;
        NEXT();
      }
      L_op_store:
        if (!Assign(N(I->node), Designator(*I), Flat(*I), I->a >= 0 ? R[I->a] : K[-1 - I->a], I->hint)) goto fail;
        NEXT();
      L_op_return:
        if (I->b) *result_ = std::move(R[I->a]);
        goto done;
      L_op_stop:
        goto done;
      L_op_error:
        { Error(N(I->node).position, StatementMessage(I->a)); goto fail; }
      L_op_globalvar: {
        const RNode& n = N(I->node);
        for (int32_t k = 0; k < n.itemnumb; ++k) DeclareGlobal(code_->ChildNode(n, k).ind);
        NEXT();
      }
      L_op_repeat: {
        RValue& v = R[I->a];
        if (v.kind != ty_real) { Error(N(I->node).position, "Repeat count must be a number"); goto fail; }
        v.val = static_cast<double>(RoundToInt64(v.val));  // the iterations left
        NEXT();
      }
      L_op_repeat_next: {
        RValue& v = R[I->a];
        if (v.val < 1) {
          ip = code + I->b;
          NEXT();
        }
        v.val -= 1;
        if (g_budget >= 0 && !Spend(N(I->node).position)) goto fail;
        NEXT();
      }
      L_op_case: {
        const RValue& v = R[I->a];
        const RValue& c = R[I->b];
        // Labels match exactly: no tolerance, and values of different kinds never match.
        if (c.kind == v.kind && (c.kind == ty_real ? c.val == v.val : c.str.view() == v.str.view()))
          ip = code + I->c;
        NEXT();
      }
      L_op_with: {
        const WithStart start = StartWith(*I);
        if (start == kWithFailed) goto fail;
        if (start == kWithNone) ip = code + I->b;
        NEXT();
      }
      L_op_with_next:
        if (NextWith()) {
          if (g_budget >= 0 && !Spend(N(I->node).position)) goto fail;
          ip = code + I->a;
        }
        NEXT();
      L_op_with_break:
        // A break ends a with over several instances; from a with of one it goes on outwards.
        ip = code + (EndWith() ? I->b : I->c);
        NEXT();

// The code ends, or a callee's does and its caller goes on.
fail:
  ok = false;
  goto end;
done:
  ok = true;
end:
  if (depth_ == 0) return ok;
  ok = FinishCall(ok, ip);
  RELOAD();
  if (!ok) goto fail;
  NEXT();
#undef RELOAD
#undef NEXT
}

}  // namespace

void SetExecutionBudget(int64_t steps) { g_budget = steps; }

void SetScriptHost(IScriptHost* host) { g_host = host ? host : &g_noHost; }
IScriptHost& ScriptHost() { return *g_host; }

bool ExecuteCode(CInstance* self, CInstance* other, const CCode& code, RValue& result) {
  ClearCodeError();
  if (!code.i_compiled) {
    ReportCodeError(&code, 0, "Internal Error: Executing non-compiled code.");
    return false;
  }
  if (code.i_kind == CodeKind::kConstantExpression) {
    result = code.i_value;
    return true;
  }
  if (!self || !other) {
    ReportCodeError(&code, 0, "Internal Error: Executing code for nil instance.");
    return false;
  }
  // Nested runs (scripts calling scripts) share the stack; refuse to go deeper than it allows.
#if defined(__GNUC__) || defined(__clang__)
  const char* here = static_cast<const char*>(__builtin_frame_address(0));
#else
  const char marker = 0;
  const char* here = &marker;
#endif
  if (g_stackBase && static_cast<size_t>(g_stackBase > here ? g_stackBase - here : here - g_stackBase) >
                         kMaxExecutionStack) {
    ReportCodeError(&code, 0, kRecursionMessage);
    return false;
  }
  auto run = [&] { return Run(self, other, code).Go(result); };
  if (g_stackBase) return run();
  // The outermost run: it owns the stack base, and memory running out anywhere below it ends
  // the code with an error instead of ending the game.
  struct Base {
    explicit Base(const char* p) { g_stackBase = p; }
    ~Base() { g_stackBase = nullptr; }
  } base(here);
  try {
    return run();
  } catch (const std::bad_alloc&) {
    ReportCodeError(&code, 0, "Out of memory.");
    return false;
  }
}

bool ExecuteCodeReported(CInstance* self, CInstance* other, const CCode& code, RValue& result) {
  if (ExecuteCode(self, other, code, result)) return true;
  ReportBuiltinError(PendingCodeError(), false);
  ClearCodeError();
  return false;
}

bool ExecuteCodeValue(CInstance* self, CInstance* other, const CCode& code, RValue& result) {
  if (ExecuteCode(self, other, code, result)) return true;
  result = RValue::String("ERROR");
  return false;
}

}  // namespace kestro
