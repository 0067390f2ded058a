#include "script/Lowering.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "script/Code.h"
#include "script/Scripts.h"
#include "script/Symbols.h"
#include "script/Variables.h"

namespace kestro {

namespace {

class Lowering {
 public:
  explicit Lowering(const CCode& code) : code_(code) {}

  CLowered Run() {
    if (code_.i_kind == CodeKind::kExpression) {
      const int32_t r = Alloc();
      Expr(code_.Root(), r);
      Emit(op_return, code_.Root(), r, 1);
    } else {
      Stmt(code_.Root());
      Emit(op_stop, code_.Root());
    }
    out_.registers = std::max(maxTop_, 1);
    return std::move(out_);
  }

 private:
  // Who takes a break or continue: loops and withs take both, a switch only break.
  enum Kind { kLoop, kWith, kSwitch };
  struct Handler {
    Kind kind;
    std::vector<size_t> breaks, continues;  // jumps to patch
  };

  const RNode& N(uint32_t i) const { return code_.Node(i); }
  uint32_t Child(uint32_t i, int32_t k) const { return code_.Child(N(i), k); }

  size_t Emit(uint16_t op, uint32_t node, int32_t a = 0, int32_t b = 0, int32_t c = 0, int32_t d = 0,
              uint16_t n = 0) {
    RIns ins;
    ins.op = op;
    ins.n = n;
    ins.a = a;
    ins.b = b;
    ins.c = c;
    ins.d = d;
    ins.node = node;
    out_.code.push_back(ins);
    return out_.code.size() - 1;
  }
  int32_t Here() const { return static_cast<int32_t>(out_.code.size()); }
  int32_t Alloc() {
    const int32_t r = top_++;
    maxTop_ = std::max(maxTop_, top_);
    return r;
  }
  // Patches the jump target operand of an instruction to the current place.
  void PatchHere(size_t at) {
    const int32_t target = Here();
    RIns& ins = out_.code[at];
    if (ins.op == op_jump) ins.a = target;
    else if (ins.op == op_case || (ins.op >= op_if_lt && ins.op <= op_aif_ne)) ins.c = target;
    else ins.b = target;
  }

  // --- expressions

  // A designator and the indices of a variable node, evaluated and checked in the
  // language's order; fills the operands of op_elem / op_store.
  void Target(uint32_t v, int32_t& desigReg, int32_t& desig, int32_t& indexReg, uint16_t& count) {
    const RNode& n = N(v);
    desigReg = -1;
    desig = 0;
    indexReg = 0;
    count = 0;
    if (n.kind == tk_variable_fixed) {
      desig = n.ind2;
      return;
    }
    const uint32_t inst = Child(v, 0);
    const RNode& in = N(inst);
    if (in.kind == tk_constant && code_.Value(in).kind == ty_real) {
      desig = DesignatorOf(code_.Value(in).val);
    } else {
      desigReg = Alloc();
      Expr(inst, desigReg);
      Emit(op_desig, inst, desigReg);
    }
    count = static_cast<uint16_t>(std::clamp(n.itemnumb - 1, 0, 2));
    indexReg = top_;
    for (int32_t k = 1; k <= count; ++k) {
      const int32_t r = Alloc();
      const uint32_t index = Child(v, k);
      if (IsLocal(N(index))) {
        Emit(op_index_local, index, r, N(index).aux);
      } else {
        Expr(index, r);
        Emit(op_index, index, r);
      }
    }
  }

  static uint16_t BinaryOp(int32_t symbol) {
    switch (symbol) {
      case sym_plus: return op_add;
      case sym_minus: return op_sub;
      case sym_times: return op_mul;
      case sym_divide: return op_divide;
      case sym_div: return op_div;
      case sym_mod: return op_mod;
      case sym_lt: return op_lt;
      case sym_le: return op_le;
      case sym_gt: return op_gt;
      case sym_ge: return op_ge;
      case sym_assign:
      case sym_eq: return op_eq;
      case sym_ne: return op_ne;
      case sym_and: return op_and;
      case sym_or: return op_or;
      default: return op_binary;
    }
  }

  void Expr(uint32_t i, int32_t dst) {
    const RNode& n = N(i);
    const int32_t mark = top_;
    switch (n.kind) {
      case tk_constant:
        Emit(op_const, i, dst, static_cast<int32_t>(n.value));
        break;
      case tk_variable_fixed: {
        const int32_t slot = ArgumentSlot(n);
        if (n.ind2 == kDesignatorLocal && n.aux >= 0) Emit(op_local, i, dst, n.aux);
        else if (slot >= 0) Emit(op_arg, i, dst, slot);
        else Emit(op_var, i, dst);
        break;
      }
      case tk_variable: {
        if (PlainWithLocalIndices(i)) {
          const int32_t indexReg = top_;
          Alloc();
          Alloc();
          Emit(op_elem_locals, i, dst, N(Child(i, 1)).aux, n.itemnumb == 3 ? N(Child(i, 2)).aux : 0, indexReg,
               static_cast<uint16_t>(n.itemnumb - 1));
          break;
        }
        int32_t desigReg, desig, indexReg;
        uint16_t count;
        Target(i, desigReg, desig, indexReg, count);
        Emit(op_elem, i, dst, desigReg, desig, indexReg, count);
        break;
      }
      case tk_binary: {
        const uint16_t op = BinaryOp(n.ind);
        const int32_t slot = ArgumentSlot(N(Child(i, 0)));
        if ((op == op_add || op == op_sub) && slot >= 0 && N(Child(i, 1)).kind == tk_constant) {
          Emit(op == op_add ? op_arg_add : op_arg_sub, i, dst, slot, Operand(Child(i, 1)));
          break;
        }
        Expr(Child(i, 0), dst);
        Emit(op, i, dst, Operand(Child(i, 1)));
        break;
      }
      case tk_unary:
        Expr(Child(i, 0), dst);
        Emit(n.ind == sym_minus ? op_neg : n.ind == sym_not ? op_not : op_unary, i, dst);
        break;
      case tk_function:
        Call(i, dst);
        break;
      default:
        Emit(op_error, i, msg_unexpected_symbol);
        break;
    }
    top_ = mark;
  }

  // The slot of a plain argument0 ... argument15, else -1.
  static int32_t ArgumentSlot(const RNode& n) {
    if (n.kind != tk_variable_fixed || (n.ind2 != kDesignatorUnspecified && n.ind2 != kDesignatorSelf)) return -1;
    return ArgumentVariableSlot(n.ind);
  }

  // A plain name (no designator) with one or two indices that are declared locals: a[i], a[i, j].
  bool PlainWithLocalIndices(uint32_t v) const {
    const RNode& n = N(v);
    if (n.itemnumb < 2 || n.itemnumb > 3) return false;
    const RNode& inst = N(Child(v, 0));
    if (inst.kind != tk_constant || code_.Value(inst).kind != ty_real ||
        code_.Value(inst).val != kDesignatorUnspecified)
      return false;
    for (int32_t k = 1; k < n.itemnumb; ++k)
      if (!IsLocal(N(Child(v, k)))) return false;
    return true;
  }

  static bool IsLocal(const RNode& n) {
    return n.kind == tk_variable_fixed && n.ind2 == kDesignatorLocal && n.aux >= 0;
  }

  // The right operand of a binary operator: a constant straight from the pool, else a register.
  int32_t Operand(uint32_t i) {
    if (N(i).kind == tk_constant) return -1 - static_cast<int32_t>(N(i).value);
    const int32_t r = Alloc();
    Expr(i, r);
    return r;
  }

  // A condition that goes to `target` (patched later when 0) unless it is true. A comparison
  // decides and jumps in one instruction.
  size_t Branch(uint32_t cond, int32_t message, int32_t target = 0) {
    const RNode& n = N(cond);
    const int32_t mark = top_;
    const int32_t r = Alloc();
    size_t at;
    const uint16_t op = n.kind == tk_binary ? BinaryOp(n.ind) : uint16_t(op_binary);
    const RNode& left = op >= op_lt && op <= op_ne ? N(Child(cond, 0)) : n;
    if (op >= op_lt && op <= op_ne && IsLocal(left) && N(Child(cond, 1)).kind == tk_constant) {
      // A local against a constant: the local is read in place.
      at = Emit(static_cast<uint16_t>(op_lif_lt + (op - op_lt)), cond, left.aux, Operand(Child(cond, 1)), target,
                message, static_cast<uint16_t>(r));
    } else if (op >= op_lt && op <= op_ne && ArgumentSlot(left) >= 0 && N(Child(cond, 1)).kind == tk_constant) {
      at = Emit(static_cast<uint16_t>(op_aif_lt + (op - op_lt)), cond, ArgumentSlot(left), Operand(Child(cond, 1)),
                target, message, static_cast<uint16_t>(r));
    } else if (op >= op_lt && op <= op_ne) {
      Expr(Child(cond, 0), r);
      at = Emit(static_cast<uint16_t>(op_if_lt + (op - op_lt)), cond, r, Operand(Child(cond, 1)), target, message);
    } else {
      Expr(cond, r);
      at = Emit(op_jump_false, cond, r, target, message);
    }
    top_ = mark;
    return at;
  }

  // A call is counted against the budget before its arguments. When they call nothing, nothing
  // can happen in between, and the call instruction counts it itself.
  void Call(uint32_t i, int32_t dst) {
    const RNode& n = N(i);
    const int32_t argc = std::min(n.itemnumb, kMaxArguments);
    bool calls = false;
    for (int32_t k = 0; k < argc && !calls; ++k) calls = CallsAnything(Child(i, k));
    if (calls) Emit(op_spend, i);
    const int32_t base = top_;
    for (int32_t k = 0; k < argc; ++k) Alloc();
    for (int32_t k = 0; k < argc; ++k) Expr(Child(i, k), base + k);
    Emit(op_call, i, dst, base, argc, n.ind, calls ? 0 : 1);
  }

  bool CallsAnything(uint32_t i) const {
    const RNode& n = N(i);
    if (n.kind == tk_function) return true;
    for (int32_t k = 0; k < n.itemnumb; ++k)
      if (CallsAnything(Child(i, k))) return true;
    return false;
  }

  // --- statements

  void Jump(std::vector<size_t>& list) { list.push_back(Emit(op_jump, 0)); }

  // A break or continue: jumps to the innermost construct that takes it (a with takes both, so
  // none is ever left open on the way); without one the code ends, as the status leaves the
  // outermost statement.
  void BreakOrContinue(uint32_t i, bool isBreak) {
    for (size_t k = handlers_.size(); k-- > 0;) {
      Handler& h = handlers_[k];
      const bool takes = isBreak || h.kind != kSwitch;
      if (!takes) continue;
      Jump(isBreak ? h.breaks : h.continues);
      return;
    }
    Emit(op_stop, i);
  }

  void PatchAll(std::vector<size_t>& list, int32_t target) {
    for (size_t at : list) out_.code[at].a = target;
  }

  void Stmt(uint32_t i) {
    const RNode& n = N(i);
    const int32_t mark = top_;
    switch (n.kind) {
      case tk_block:
        for (int32_t k = 0; k < n.itemnumb; ++k) Stmt(Child(i, k));
        break;
      case tk_assign:
        Assign(i);
        break;
      case tk_function:
        Call(i, Alloc());
        break;
      case tk_emptyprogram:
      case tk_var:
        break;
      case tk_emptystatement:
        Emit(op_error, i, msg_statement_expected);
        break;
      case tk_if: {
        const size_t skip = Branch(Child(i, 0), msg_expression_expected);
        Stmt(Child(i, 1));
        if (n.itemnumb > 2) {
          const size_t over = Emit(op_jump, i);
          PatchHere(skip);
          Stmt(Child(i, 2));
          PatchHere(over);
        } else {
          PatchHere(skip);
        }
        break;
      }
      case tk_while: {
        // Each iteration is counted before its condition: once on entry, then on the way back.
        Emit(op_spend, i);
        const int32_t top = Here();
        const size_t exit = Branch(Child(i, 0), msg_boolean_expected);
        Loop(Child(i, 1), -1, [&] { Emit(op_loop, i, top); });
        PatchHere(exit);
        break;
      }
      case tk_do: {
        const int32_t top = Here();
        Emit(op_spend, i);
        handlers_.push_back({kLoop, {}, {}});
        Stmt(Child(i, 0));
        Handler h = std::move(handlers_.back());
        handlers_.pop_back();
        PatchAll(h.continues, Here());
        Branch(Child(i, 1), msg_boolean_expected, top);
        PatchAll(h.breaks, Here());
        break;
      }
      case tk_for: {
        Discarding(Child(i, 0));
        Emit(op_spend, i);
        const int32_t top = Here();
        const size_t exit = Branch(Child(i, 1), msg_expression_expected);
        handlers_.push_back({kLoop, {}, {}});
        Stmt(Child(i, 3));
        Handler h = std::move(handlers_.back());
        handlers_.pop_back();
        PatchAll(h.continues, Here());
        Discarding(Child(i, 2));
        Emit(op_loop, i, top);
        PatchHere(exit);
        PatchAll(h.breaks, Here());
        break;
      }
      case tk_repeat: {
        const int32_t r = Alloc();
        Expr(Child(i, 0), r);
        Emit(op_repeat, Child(i, 0), r);
        const int32_t top = Here();
        const size_t exit = Emit(op_repeat_next, i, r);
        Loop(Child(i, 1), top, [&] { Emit(op_jump, i, top); });
        PatchHere(exit);
        break;
      }
      case tk_exit:
        Emit(op_stop, i);
        break;
      case tk_break:
        BreakOrContinue(i, true);
        break;
      case tk_continue:
        BreakOrContinue(i, false);
        break;
      case tk_return: {
        const int32_t r = Alloc();
        Expr(Child(i, 0), r);
        Emit(op_return, i, r, discard_ ? 0 : 1);
        break;
      }
      case tk_with:
        With(i);
        break;
      case tk_switch:
        Switch(i);
        break;
      case tk_case:
        Emit(op_error, i, msg_case_outside);
        break;
      case tk_default:
        Emit(op_error, i, msg_default_outside);
        break;
      case tk_globalvar:
        Emit(op_globalvar, i);
        break;
      default:
        Emit(op_error, i, msg_statement_expected);
        break;
    }
    top_ = mark;
  }

  // A loop body whose continue goes to `cont` (-1: to `closing`) and whose break leaves after
  // `closing`.
  template <class Closing>
  void Loop(uint32_t body, int32_t cont, Closing closing) {
    handlers_.push_back({kLoop, {}, {}});
    Stmt(body);
    Handler h = std::move(handlers_.back());
    handlers_.pop_back();
    if (cont < 0) cont = Here();
    closing();
    PatchAll(h.continues, cont);
    PatchAll(h.breaks, Here());
  }

  // The initial and step statements of a for: a return there ends the code without setting its
  // result, and a break or continue there belongs to the enclosing construct.
  void Discarding(uint32_t i) {
    const bool saved = discard_;
    discard_ = true;
    Stmt(i);
    discard_ = saved;
  }

  void Assign(uint32_t i) {
    const RNode& n = N(i);
    const uint32_t t = Child(i, 0);
    const RNode& target = N(t);
    if (IsLocal(target)) {
      const int32_t r = Operand(Child(i, 1));
      const uint16_t kind = n.ind == sym_assign_plus ? 1 : n.ind == sym_assign_minus ? 2 : n.ind == sym_assign_times ? 3 : 0;
      Emit(n.ind == sym_assign ? op_set_local : op_update_local, i, target.aux, r, 0, 0, kind);
      return;
    }
    int32_t desigReg, desig, indexReg;
    uint16_t count;
    Target(t, desigReg, desig, indexReg, count);
    const int32_t r = Operand(Child(i, 1));
    Emit(op_store, i, r, desigReg, desig, indexReg, count);
  }

  // Whether a with runs for one instance or several is known only when it starts. Continue goes
  // to the next instance either way (op_with_next closes a with of one). A break ends a with of
  // several; from a with of one it goes on to the enclosing construct, so a break inside is
  // op_with_break with both routes.
  void With(uint32_t i) {
    const int32_t r = Alloc();
    Expr(Child(i, 0), r);
    const size_t none = Emit(op_with, i, r);
    const int32_t body = Here();
    handlers_.push_back({kWith, {}, {}});
    Stmt(Child(i, 1));
    Handler h = std::move(handlers_.back());
    handlers_.pop_back();
    PatchAll(h.continues, Here());
    Emit(op_with_next, i, body);
    PatchHere(none);
    if (h.breaks.empty()) return;
    const int32_t after = Here();
    const size_t skip = Emit(op_jump, i);
    const int32_t onward = Here();
    BreakOrContinue(i, true);
    PatchHere(skip);
    for (size_t at : h.breaks) {
      out_.code[at].op = op_with_break;
      out_.code[at].b = after;
      out_.code[at].c = onward;
    }
  }

  void Switch(uint32_t i) {
    const RNode& n = N(i);
    const int32_t v = Alloc();
    Expr(Child(i, 0), v);
    std::vector<std::pair<int32_t, size_t>> starts;  // label child -> jump to patch
    bool sawDefault = false;
    for (int32_t k = 1; k < n.itemnumb && !sawDefault; ++k) {
      const uint32_t label = Child(i, k);
      if (N(label).kind == tk_default) {
        starts.push_back({k, Emit(op_jump, label)});
        sawDefault = true;
      } else if (N(label).kind == tk_case) {
        const int32_t c = Alloc();
        Expr(Child(label, 0), c);
        starts.push_back({k, Emit(op_case, label, v, c)});
        top_ = c;
      }
    }
    std::vector<size_t> ends;
    if (!sawDefault) ends.push_back(Emit(op_jump, i));
    handlers_.push_back({kSwitch, {}, {}});
    for (int32_t k = 1; k < n.itemnumb; ++k) {
      const uint32_t st = Child(i, k);
      if (N(st).kind == tk_case || N(st).kind == tk_default) {
        for (auto& [label, at] : starts)
          if (label == k) PatchHere(at);
        continue;
      }
      Stmt(st);
    }
    Handler h = std::move(handlers_.back());
    handlers_.pop_back();
    PatchAll(h.breaks, Here());
    PatchAll(ends, Here());
  }

  const CCode& code_;
  CLowered out_;
  int32_t top_ = 0, maxTop_ = 0;
  bool discard_ = false;
  std::vector<Handler> handlers_;
};

}  // namespace

CLowered LowerCode(const CCode& code) { return Lowering(code).Run(); }

const char* InstructionName(uint16_t op) {
  static const char* const kNames[] = {
#define KESTRO_OP_NAME(name) #name,
      KESTRO_INSTRUCTIONS(KESTRO_OP_NAME)
#undef KESTRO_OP_NAME
  };
  static_assert(sizeof(kNames) / sizeof(kNames[0]) == op_count);
  return op < op_count ? kNames[op] : "?";
}

std::string DumpLowered(const CCode& code) {
  const CLowered& lowered = code.Lowered();
  std::string out = "registers " + std::to_string(lowered.registers) + "\n";
  for (size_t i = 0; i < lowered.code.size(); ++i) {
    const RIns& ins = lowered.code[i];
    char line[160];
    std::snprintf(line, sizeof line, "%4zu %-14s a=%d b=%d c=%d d=%d n=%d  @%d\n", i, InstructionName(ins.op), ins.a, ins.b,
                  ins.c, ins.d, ins.n, code.Node(ins.node).position);
    out += line;
  }
  return out;
}

void CCode::Lower() const { lowered_ = std::make_unique<CLowered>(LowerCode(*this)); }

}  // namespace kestro
