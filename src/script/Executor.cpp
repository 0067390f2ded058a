#include "script/Executor.h"

#include <cmath>
#include <memory>
#include <new>

#include "script/Code.h"
#include "script/CodeError.h"
#include "script/NameLookup.h"
#include "script/Symbols.h"
#include "script/Variables.h"
#include "script/builtins/BuiltinError.h"

namespace kestro {

namespace {

// Truncation toward zero without a library call in the common range.
inline double Trunc(double q) {
  if (q > -4503599627370496.0 && q < 4503599627370496.0) return static_cast<double>(static_cast<int64_t>(q));
  return std::trunc(q);
}

// L - t * R with t the truncated quotient, as the operator routine computes it.
inline double Mod(double a, double b) {
  const double q = a / b;
  if (q > -2147483649.0 && q < 2147483648.0) return a - static_cast<double>(static_cast<int64_t>(q)) * b;
  return std::fmod(a, b);
}

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

class Run {
 public:
  Run(CInstance* self, CInstance* other, const CCode& code)
      : self_(self), other_(other), code_(code), host_(*g_host) {}

  int32_t Exec(uint32_t i, RValue& result);
  bool Eval(uint32_t i, RValue& out);
  bool EvalFull(uint32_t i, RValue& out);
  bool TryReal(uint32_t i, double& d);

 private:
  const RToken& N(uint32_t i) const { return code_.Node(i); }
  bool Error(int32_t position, std::string_view message) {
    ReportCodeError(&code_, position, message);
    return false;
  }
  int32_t ErrorStatus(int32_t position, std::string_view message) {
    ReportCodeError(&code_, position, message);
    return kStatusError;
  }

  // Counts one loop iteration or call against the budget.
  bool Spend(int32_t position) {
    if (g_budget < 0) return true;
    if (g_budget-- > 0) return true;
    g_budget = 0;
    return Error(position, kBudgetMessage);
  }

  // Evaluates a condition; false (after reporting `message`) when it is a string.
  bool Condition(uint32_t i, const char* message, bool& truth) {
    double d;
    if (N(i).aux == 1 && TryReal(i, d)) {
      truth = d >= 0.5;
      return true;
    }
    RValue v;
    if (!Eval(i, v)) return false;
    if (v.kind != ty_real) return Error(N(i).position, message);
    truth = v.val >= 0.5;
    return true;
  }

  bool Target(const RToken& n, int32_t& designator, int32_t& flat);
  bool Index(uint32_t i, int64_t& index);
  bool ReadVar(const RToken& n, int32_t designator, int32_t flat, RValue& out);
  bool FindVar(const RToken& n, int32_t designator, int32_t flat, RValue& out);
  int32_t SlotOf(const RToken& n) const;
  const RValue* FindLocal(const RToken& n, int32_t flat) const;
  bool StoreLocal(const RToken& n, int32_t flat, const RValue& v);
  RValue* ExistingElement(const RToken& n, int32_t designator, int32_t flat);
  bool ReadInstance(CInstance* inst, int32_t id, int32_t flat, RValue& out);
  bool StoreInstance(CInstance* inst, int32_t id, int32_t flat, const RValue& v);
  bool Store(const RToken& n, int32_t designator, int32_t flat, const RValue& v);
  int32_t Assign(const RToken& n);
  bool Call(const RToken& n, RValue& out);
  int32_t With(const RToken& n, RValue& result);
  int32_t Switch(const RToken& n, RValue& result);
  int32_t Body(uint32_t body, RValue& result, CInstance* self, CInstance* other);

  CInstance* self_;
  CInstance* other_;
  const CCode& code_;
  IScriptHost& host_;
  // Locals: names declared with var live in frame slots, made at the first store to a local;
  // other names reached through the local designator live in a list.
  struct RLocal {
    bool defined = false;
    RVariable var;
  };
  std::unique_ptr<RLocal[]> frame_;
  CVariableList* selfVars_ = nullptr;  // the running instance's list, asked for once

  CVariableList& SelfVars() {
    if (!selfVars_) selfVars_ = &host_.Variables(self_);
    return *selfVars_;
  }
  std::unique_ptr<CVariableList> locals_;
};

// ---------------------------------------------------------------------------------------------
// Expressions

// Computes a subtree marked as real-shaped directly in doubles. False when a value on the way is
// missing or not a real, or an operation would fail: nothing has been reported or changed then
// (the subtree has no side effects) and the caller evaluates it in full.
bool Run::TryReal(uint32_t i, double& d) {
  const RToken& n = N(i);
  switch (n.kind) {
    case tk_constant: {
      const RValue& v = code_.Value(n);
      if (v.kind != ty_real) return false;
      d = v.val;
      return true;
    }
    case tk_variable_fixed: {
      const RValue* p;
      if (n.ind2 == kDesignatorLocal) {
        if (n.aux < 0 || !frame_ || !frame_[n.aux].defined) return false;
        p = &frame_[n.aux].var.simplevalue;
      } else if (n.ind >= kUserVariableBase && (n.ind2 == kDesignatorUnspecified || n.ind2 == kDesignatorSelf)) {
        p = (n.ind2 == kDesignatorUnspecified && IsDeclaredGlobal(n.ind)) ? GlobalVariables().Find(n.ind, 0)
                                                                            : SelfVars().Find(n.ind, 0);
      } else {
        return false;
      }
      if (!p || p->kind != ty_real) return false;
      d = p->val;
      return true;
    }
    case tk_variable: {
      // An array element of a local, instance or declared global variable.
      const RToken& in = code_.ChildNode(n, 0);
      if (in.kind != tk_constant) return false;
      const RValue& iv = code_.Value(in);
      if (iv.kind != ty_real) return false;
      int32_t flat = 0;
      for (int32_t k = 1; k < n.itemnumb; ++k) {
        double x;
        if (!TryReal(code_.Child(n, k), x)) return false;
        const int64_t index = RoundToInt64(x);
        if (index < 0 || index >= kArrayDimension) return false;
        flat = flat * kArrayDimension + static_cast<int32_t>(index);
      }
      const RValue* p;
      if (iv.val == kDesignatorLocal) {
        if (n.aux < 0 || !frame_ || !frame_[n.aux].defined) return false;
        p = VariableElement(frame_[n.aux].var, flat);
      } else if (n.ind >= kUserVariableBase && (iv.val == kDesignatorUnspecified || iv.val == kDesignatorSelf)) {
        p = (iv.val == kDesignatorUnspecified && IsDeclaredGlobal(n.ind)) ? GlobalVariables().Find(n.ind, flat)
                                                                          : SelfVars().Find(n.ind, flat);
      } else {
        return false;
      }
      if (!p || p->kind != ty_real) return false;
      d = p->val;
      return true;
    }
    case tk_unary: {
      if (n.aux != 1 || !TryReal(code_.Child(n, 0), d)) return false;
      if (n.ind == sym_minus) d = -d;
      else if (n.ind == sym_not) d = d >= 0.5 ? 0.0 : 1.0;
      return true;
    }
    case tk_binary: {
      double a, b;
      if (n.aux != 1 || !TryReal(code_.Child(n, 0), a) || !TryReal(code_.Child(n, 1), b)) return false;
      switch (n.ind) {
        case sym_plus: d = a + b; return true;
        case sym_minus: d = a - b; return true;
        case sym_times: d = a * b; return true;
        case sym_divide:
          if (b == 0) return false;
          d = a / b;
          return true;
        case sym_div:
          if (b == 0) return false;
          d = Trunc(a / b);
          return true;
        case sym_mod:
          if (b == 0) return false;
          d = Mod(a, b);
          return true;
        case sym_lt: d = (a - b) < -kCompareTolerance ? 1.0 : 0.0; return true;
        case sym_le: d = (a - b) <= kCompareTolerance ? 1.0 : 0.0; return true;
        case sym_gt: d = (a - b) > kCompareTolerance ? 1.0 : 0.0; return true;
        case sym_ge: d = (a - b) >= -kCompareTolerance ? 1.0 : 0.0; return true;
        case sym_assign:
        case sym_eq: d = (a - b > -kCompareTolerance && a - b < kCompareTolerance) ? 1.0 : 0.0; return true;
        case sym_ne: d = (a - b < -kCompareTolerance || a - b > kCompareTolerance) ? 1.0 : 0.0; return true;
        case sym_and: d = (a >= 0.5 && b >= 0.5) ? 1.0 : 0.0; return true;
        case sym_or: d = (a >= 0.5 || b >= 0.5) ? 1.0 : 0.0; return true;
        case sym_xor: d = ((a >= 0.5) != (b >= 0.5)) ? 1.0 : 0.0; return true;
        default: return false;
      }
    }
    default:
      return false;
  }
}

inline void SetReal(RValue& v, double d) {
  v.kind = ty_real;
  v.val = d;
  if (!v.str.empty()) v.str = RString();  // a stored string is not kept alive by a real
}

bool Run::Eval(uint32_t i, RValue& out) {
  const RToken& n = N(i);
  if (n.aux == 1 && (n.kind == tk_binary || n.kind == tk_unary)) {
    double d;
    if (TryReal(i, d)) {
      SetReal(out, d);
      return true;
    }
  }
  return EvalFull(i, out);
}

// Operator children are evaluated in full without another attempt at doubles, so a failed
// attempt costs one walk of the subtree, not one per level.
bool Run::EvalFull(uint32_t i, RValue& out) {
  const RToken& n = N(i);
  switch (n.kind) {
    case tk_constant:
      out = code_.Value(n);
      return true;
    case tk_variable_fixed:
      if (n.aux >= 0 && n.ind2 == kDesignatorLocal && frame_ && frame_[n.aux].defined) {
        out = frame_[n.aux].var.simplevalue;
        return true;
      }
      return ReadVar(n, n.ind2, 0, out);
    case tk_variable: {
      int32_t designator, flat;
      if (!Target(n, designator, flat)) return false;
      return ReadVar(n, designator, flat, out);
    }
    case tk_binary: {
      const RToken& rn = code_.ChildNode(n, 1);
      if (!EvalFull(code_.Child(n, 0), out)) return false;
      RValue r;
      if (!EvalFull(code_.Child(n, 1), r)) return false;
      if (out.kind == ty_real && r.kind == ty_real) {
        // Plain arithmetic and comparisons of reals need no general routine.
        const double a = out.val, b = r.val;
        switch (n.ind) {
          case sym_plus: out.val = a + b; return true;
          case sym_minus: out.val = a - b; return true;
          case sym_times: out.val = a * b; return true;
          case sym_divide:
            if (b == 0) break;
            out.val = a / b;
            return true;
          case sym_lt: out.val = (a - b) < -kCompareTolerance ? 1.0 : 0.0; return true;
          case sym_le: out.val = (a - b) <= kCompareTolerance ? 1.0 : 0.0; return true;
          case sym_gt: out.val = (a - b) > kCompareTolerance ? 1.0 : 0.0; return true;
          case sym_ge: out.val = (a - b) >= -kCompareTolerance ? 1.0 : 0.0; return true;
          case sym_assign:
          case sym_eq: {
            double d = a - b;
            out.val = (d > -kCompareTolerance && d < kCompareTolerance) ? 1.0 : 0.0;
            return true;
          }
          case sym_ne: {
            double d = a - b;
            out.val = (d < -kCompareTolerance || d > kCompareTolerance) ? 1.0 : 0.0;
            return true;
          }
          case sym_div:
            if (b == 0) break;
            out.val = Trunc(a / b);
            return true;
          case sym_mod:
            if (b == 0) break;
            out.val = Mod(a, b);
            return true;
          case sym_and: out.val = (a >= 0.5 && b >= 0.5) ? 1.0 : 0.0; return true;
          case sym_or: out.val = (a >= 0.5 || b >= 0.5) ? 1.0 : 0.0; return true;
          default: break;
        }
      }
      return BinaryOperation(&code_, rn.position, n.ind, r, out);
    }
    case tk_unary: {
      const RToken& a = code_.ChildNode(n, 0);
      if (!EvalFull(code_.Child(n, 0), out)) return false;
      if (out.kind == ty_real) {
        if (n.ind == sym_minus) {
          out.val = -out.val;
          return true;
        }
        if (n.ind == sym_not) {
          out.val = out.val >= 0.5 ? 0.0 : 1.0;
          return true;
        }
      }
      return UnaryOperation(&code_, a.position, n.ind, out);
    }
    case tk_function:
      return Call(n, out);
    default:
      return Error(n.position, "Unexpected symbol in expression.");
  }
}

bool Run::Call(const RToken& n, RValue& out) {
  if (!Spend(n.position)) return false;
  RValue args[kMaxArguments];
  const int32_t argc = n.itemnumb < kMaxArguments ? n.itemnumb : kMaxArguments;
  for (int32_t k = 0; k < argc; ++k)
    if (!Eval(code_.Child(n, k), args[k])) return false;
  out = RValue();
  return host_.CallFunction(n.ind, self_, other_, argc, args, out);
}

// ---------------------------------------------------------------------------------------------
// Variables

bool Run::Index(uint32_t i, int64_t& index) {
  const int32_t position = N(i).position;
  double d;
  if (TryReal(i, d)) {
    index = RoundToInt64(d);
  } else {
    RValue v;
    if (!Eval(i, v)) return false;
    if (v.kind != ty_real) return Error(position, "Wrong type of array index");
    index = RoundToInt64(v.val);
  }
  if (index < 0) return Error(position, "Negative array index");
  if (index >= kArrayDimension) return Error(position, "Array index >= 32000");
  return true;
}

// The designator and flat index of a variable node.
bool Run::Target(const RToken& n, int32_t& designator, int32_t& flat) {
  if (n.kind == tk_variable_fixed) {
    designator = n.ind2;
    flat = 0;
    return true;
  }
  const uint32_t inst = code_.Child(n, 0);
  int64_t d;
  const RToken& in = N(inst);
  if (in.kind == tk_constant && code_.Value(in).kind == ty_real) {
    d = RoundToInt64(code_.Value(in).val);  // the usual case: a plain or dotted name
  } else {
    RValue v;
    if (!Eval(inst, v)) return false;
    if (v.kind != ty_real) return Error(in.position, "Wrong type of variable index");
    d = RoundToInt64(v.val);
  }
  // Values beyond 32 bits name nothing; keep them out of the designator ranges.
  designator = d > INT32_MAX ? INT32_MAX : d < INT32_MIN ? -100 : static_cast<int32_t>(d);
  flat = 0;
  if (n.itemnumb >= 2) {
    int64_t a;
    if (!Index(code_.Child(n, 1), a)) return false;
    flat = static_cast<int32_t>(a);
    if (n.itemnumb >= 3) {
      int64_t b;
      if (!Index(code_.Child(n, 2), b)) return false;
      flat = static_cast<int32_t>(a * kArrayDimension + b);
    }
  }
  return true;
}

bool Run::ReadInstance(CInstance* inst, int32_t id, int32_t flat, RValue& out) {
  if (!inst) return false;
  if (id < kUserVariableBase) return host_.GetBuiltin(inst, id, flat, out);
  if (const RValue* p = (inst == self_ ? SelfVars() : host_.Variables(inst)).Find(id, flat)) {
    out = *p;
    return true;
  }
  return false;
}

int32_t Run::SlotOf(const RToken& n) const {
  if (n.aux >= 0) return n.aux;
  const std::vector<int32_t>& ids = code_.LocalIds();
  for (size_t k = 0; k < ids.size(); ++k)
    if (ids[k] == n.ind) return static_cast<int32_t>(k);
  return -1;
}

const RValue* Run::FindLocal(const RToken& n, int32_t flat) const {
  const int32_t slot = SlotOf(n);
  if (slot >= 0) {
    if (!frame_ || !frame_[slot].defined) return nullptr;
    return VariableElement(frame_[slot].var, flat);
  }
  return locals_ ? locals_->Find(n.ind, flat) : nullptr;
}

bool Run::StoreLocal(const RToken& n, int32_t flat, const RValue& v) {
  const int32_t slot = SlotOf(n);
  if (slot < 0) {
    if (!locals_) locals_ = std::make_unique<CVariableList>();
    return locals_->SetVar(n.ind, flat, v);
  }
  if (!frame_) frame_ = std::make_unique<RLocal[]>(code_.LocalIds().size());
  RValue* p = VariableElementForStore(frame_[slot].var, flat);
  if (!p) return false;
  frame_[slot].defined = true;
  *p = v;
  return true;
}

// Reads without reporting; false when the variable is not there.
bool Run::FindVar(const RToken& n, int32_t designator, int32_t flat, RValue& out) {
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
RValue* Run::ExistingElement(const RToken& n, int32_t designator, int32_t flat) {
  const int32_t id = n.ind;
  switch (designator) {
    case kDesignatorLocal:
      return const_cast<RValue*>(FindLocal(n, flat));
    case kDesignatorUnspecified:
      if (IsDeclaredGlobal(id)) return const_cast<RValue*>(GlobalVariables().Find(id, flat));
      [[fallthrough]];
    case kDesignatorSelf:
      if (id < kUserVariableBase || !self_) return nullptr;
      return const_cast<RValue*>(SelfVars().Find(id, flat));
    case kDesignatorGlobal:
      return const_cast<RValue*>(GlobalVariables().Find(id, flat));
    default:
      return nullptr;
  }
}

bool Run::ReadVar(const RToken& n, int32_t designator, int32_t flat, RValue& out) {
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

bool Run::Store(const RToken& n, int32_t designator, int32_t flat, const RValue& v) {
  const int32_t id = n.ind;
  switch (designator) {
    case kDesignatorLocal:
      return StoreLocal(n, flat, v);
    case kDesignatorUnspecified:
      if (IsDeclaredGlobal(id)) return GlobalVariables().SetVar(id, flat, v);
      return StoreInstance(self_, id, flat, v);
    case kDesignatorGlobal:
      return GlobalVariables().SetVar(id, flat, v);
    case kDesignatorSelf:
      return StoreInstance(self_, id, flat, v);
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

int32_t Run::Assign(const RToken& n) {
  const RToken& target = code_.ChildNode(n, 0);
  // A real stored into a local: no temporary value, no lookup.
  if (n.ind == sym_assign && target.kind == tk_variable_fixed && target.aux >= 0 &&
      target.ind2 == kDesignatorLocal) {
    double d;
    if (TryReal(code_.Child(n, 1), d)) {
      if (!frame_) frame_ = std::make_unique<RLocal[]>(code_.LocalIds().size());
      RLocal& local = frame_[target.aux];
      local.defined = true;
      SetReal(local.var.simplevalue, d);
      return kStatusNormal;
    }
  }
  // A real added to (or taken from, or multiplying) a local holding a real: in place.
  if (target.kind == tk_variable_fixed && target.aux >= 0 && target.ind2 == kDesignatorLocal && frame_ &&
      frame_[target.aux].defined && frame_[target.aux].var.simplevalue.kind == ty_real &&
      (n.ind == sym_assign_plus || n.ind == sym_assign_minus || n.ind == sym_assign_times)) {
    double d;
    if (TryReal(code_.Child(n, 1), d)) {
      double& x = frame_[target.aux].var.simplevalue.val;
      x = n.ind == sym_assign_plus ? x + d : n.ind == sym_assign_minus ? x - d : x * d;
      return kStatusNormal;
    }
  }
  int32_t designator, flat;
  if (!Target(target, designator, flat)) return kStatusError;
  RValue v;
  if (!Eval(code_.Child(n, 1), v)) return kStatusError;
  if (n.ind != sym_assign) {
    // Reals changed in place: the common counters and sums.
    if (v.kind == ty_real) {
      RValue* p = ExistingElement(target, designator, flat);
      if (p && p->kind == ty_real) {
        switch (n.ind) {
          case sym_assign_plus: p->val += v.val; return kStatusNormal;
          case sym_assign_minus: p->val -= v.val; return kStatusNormal;
          case sym_assign_times: p->val *= v.val; return kStatusNormal;
          default: break;
        }
      }
    }
    RValue current;
    if (!FindVar(target, designator, flat, current)) {
      if (!UninitialisedAreZero()) {
        ReadVar(target, designator, flat, current);  // reports as a read would
        return kStatusError;
      }
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
    } else if (!BinaryOperation(&code_, n.position, op, v, current)) {
      return kStatusError;
    }
    v = std::move(current);
  }
  if (!Store(target, designator, flat, v)) return ErrorStatus(n.position, "Cannot assign to the variable");
  return kStatusNormal;
}

// ---------------------------------------------------------------------------------------------
// Statements

int32_t Run::Exec(uint32_t i, RValue& result) {
  const RToken& n = N(i);
  switch (n.kind) {
    case tk_block:
      for (int32_t k = 0; k < n.itemnumb; ++k) {
        int32_t s = Exec(code_.Child(n, k), result);
        if (s != kStatusNormal) return s;
      }
      return kStatusNormal;
    case tk_assign:
      return Assign(n);
    case tk_function: {
      RValue discard;
      return Call(n, discard) ? kStatusNormal : kStatusError;
    }
    case tk_emptyprogram:
    case tk_var:
      return kStatusNormal;
    case tk_emptystatement:
      return ErrorStatus(n.position, "Statement expected.");
    case tk_if: {
      bool truth;
      if (!Condition(code_.Child(n, 0), "Expression expected", truth)) return kStatusError;
      if (truth) return Exec(code_.Child(n, 1), result);
      if (n.itemnumb > 2) return Exec(code_.Child(n, 2), result);
      return kStatusNormal;
    }
    case tk_while:
      for (;;) {
        if (!Spend(n.position)) return kStatusError;
        bool truth;
        if (!Condition(code_.Child(n, 0), "Boolean expression expected", truth)) return kStatusError;
        if (!truth) return kStatusNormal;
        int32_t s = Exec(code_.Child(n, 1), result);
        if (s == kStatusNormal || s == kStatusContinue) continue;
        return s == kStatusBreak ? kStatusNormal : s;
      }
    case tk_do:
      for (;;) {
        if (!Spend(n.position)) return kStatusError;
        int32_t s = Exec(code_.Child(n, 0), result);
        if (s == kStatusBreak) return kStatusNormal;
        if (s == kStatusError || s == kStatusExit) return s;
        bool truth;
        if (!Condition(code_.Child(n, 1), "Boolean expression expected", truth)) return kStatusError;
        if (truth) return kStatusNormal;
      }
    case tk_for: {
      RValue scratch;  // a return inside the initial or step statement does not set the result
      int32_t s = Exec(code_.Child(n, 0), scratch);
      while (s == kStatusNormal) {
        if (!Spend(n.position)) return kStatusError;
        bool truth;
        if (!Condition(code_.Child(n, 1), "Expression expected", truth)) return kStatusError;
        if (!truth) return kStatusNormal;
        s = Exec(code_.Child(n, 3), result);
        if (s == kStatusNormal || s == kStatusContinue) {
          s = Exec(code_.Child(n, 2), scratch);
        } else if (s == kStatusBreak) {
          return kStatusNormal;
        } else {
          return s;
        }
      }
      return s;
    }
    case tk_repeat: {
      RValue count;
      if (!Eval(code_.Child(n, 0), count)) return kStatusError;
      if (count.kind != ty_real) return ErrorStatus(code_.ChildNode(n, 0).position, "Repeat count must be a number");
      const int64_t times = RoundToInt64(count.val);
      for (int64_t k = 0; k < times; ++k) {
        if (!Spend(n.position)) return kStatusError;
        int32_t s = Exec(code_.Child(n, 1), result);
        if (s == kStatusNormal || s == kStatusContinue) continue;
        return s == kStatusBreak ? kStatusNormal : s;
      }
      return kStatusNormal;
    }
    case tk_exit:
      return kStatusExit;
    case tk_break:
      return kStatusBreak;
    case tk_continue:
      return kStatusContinue;
    case tk_return:
      return Eval(code_.Child(n, 0), result) ? kStatusExit : kStatusError;
    case tk_with:
      return With(n, result);
    case tk_switch:
      return Switch(n, result);
    case tk_case:
      return ErrorStatus(n.position, "Case statement only allowed inside switch statement.");
    case tk_default:
      return ErrorStatus(n.position, "Default statement only allowed inside switch statement.");
    case tk_globalvar:
      for (int32_t k = 0; k < n.itemnumb; ++k) DeclareGlobal(code_.ChildNode(n, k).ind);
      return kStatusNormal;
    default:
      return ErrorStatus(n.position, "Statement expected.");
  }
}

int32_t Run::Body(uint32_t body, RValue& result, CInstance* self, CInstance* other) {
  CInstance* savedSelf = self_;
  CInstance* savedOther = other_;
  CVariableList* savedVars = selfVars_;
  self_ = self;
  other_ = other;
  selfVars_ = nullptr;
  int32_t s = Exec(body, result);
  self_ = savedSelf;
  other_ = savedOther;
  selfVars_ = savedVars;
  return s;
}

int32_t Run::With(const RToken& n, RValue& result) {
  const RToken& e = code_.ChildNode(n, 0);
  const uint32_t body = code_.Child(n, 1);
  RValue v;
  if (!Eval(code_.Child(n, 0), v)) return kStatusError;
  if (v.kind != ty_real) return ErrorStatus(e.position, "Object id expected");
  const int64_t d = RoundToInt64(v.val);
  int32_t s;
  switch (d) {
    case kDesignatorLocal: return ErrorStatus(e.position, "Cannot use local in with statement.");
    case kDesignatorGlobal: return ErrorStatus(e.position, "Cannot use global in with statement.");
    case kDesignatorNoone: return kStatusNormal;
    case kDesignatorOther: s = Body(body, result, other_, self_); break;
    case kDesignatorSelf:
    case kDesignatorUnspecified: s = Body(body, result, self_, self_); break;
    default: {
      if (d >= kFirstInstanceId) {
        CInstance* inst = d <= INT32_MAX ? host_.FirstInstance(static_cast<int32_t>(d)) : nullptr;
        if (!inst) return kStatusNormal;
        s = Body(body, result, inst, self_);
        break;
      }
      // Every instance of the room or of an object, as they are when the statement starts.
      std::vector<CInstance*> list;
      if (d == kDesignatorAll || d >= 0) host_.Instances(static_cast<int32_t>(d), list);
      for (CInstance* inst : list) {
        if (!Spend(n.position)) return kStatusError;
        s = Body(body, result, inst, self_);
        if (s == kStatusNormal || s == kStatusContinue) continue;
        return s == kStatusBreak ? kStatusNormal : s;
      }
      return kStatusNormal;
    }
  }
  return s == kStatusContinue ? kStatusNormal : s;
}

int32_t Run::Switch(const RToken& n, RValue& result) {
  RValue value;
  if (!Eval(code_.Child(n, 0), value)) return kStatusError;
  int32_t start = -1;
  for (int32_t k = 1; k < n.itemnumb && start < 0; ++k) {
    const RToken& label = code_.ChildNode(n, k);
    if (label.kind == tk_default) {
      start = k + 1;
    } else if (label.kind == tk_case) {
      RValue c;
      if (!Eval(code_.Child(label, 0), c)) return kStatusError;
      // Labels match exactly: no tolerance, and values of different kinds never match.
      bool match = c.kind == value.kind &&
                   (c.kind == ty_real ? c.val == value.val : c.str.view() == value.str.view());
      if (match) start = k + 1;
    }
  }
  if (start < 0) return kStatusNormal;
  for (int32_t k = start; k < n.itemnumb; ++k) {
    const RToken& st = code_.ChildNode(n, k);
    if (st.kind == tk_case || st.kind == tk_default) continue;
    int32_t s = Exec(code_.Child(n, k), result);
    if (s == kStatusBreak) return kStatusNormal;
    if (s != kStatusNormal) return s;
  }
  return kStatusNormal;
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
  if (code.i_kind == 3) {
    result = code.i_value;
    return true;
  }
  if (!self || !other) {
    ReportCodeError(&code, 0, "Internal Error: Executing code for nil instance.");
    return false;
  }
  // Nested runs (scripts calling scripts) share the stack; refuse to go deeper than it allows.
  const char* here = static_cast<const char*>(__builtin_frame_address(0));
  if (g_stackBase && static_cast<size_t>(g_stackBase > here ? g_stackBase - here : here - g_stackBase) >
                         kMaxExecutionStack) {
    ReportCodeError(&code, 0, kRecursionMessage);
    return false;
  }
  auto run = [&] {
    Run r(self, other, code);
    if (code.i_kind == 2) return r.Eval(code.Root(), result);
    return r.Exec(code.Root(), result) != kStatusError;
  };
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
