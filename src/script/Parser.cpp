#include "script/Parser.h"

#include <algorithm>
#include <unordered_map>

#include "script/Code.h"
#include "script/CodeError.h"
#include "script/Lexer.h"
#include "script/NameLookup.h"
#include "script/Symbols.h"
#include "script/Variables.h"

namespace kestro {

namespace {

// Thrown inside the parser once an error has been reported; caught by ParseTokens.
struct CompileFailure {};

bool IsAssignmentSymbol(int32_t s) {
  return s == sym_assign || s == sym_assign_plus || s == sym_assign_minus || s == sym_assign_times ||
         s == sym_assign_divide || s == sym_assign_or || s == sym_assign_and || s == sym_assign_xor;
}

}  // namespace

// Builds nodes into the code's arrays (a friend of CCode).
class Parser {
 public:
  Parser(CCode& code, const std::vector<RToken>& toks, std::vector<RValue>& constants, const IScriptNames& names)
      : code_(code), toks_(toks), constants_(constants), names_(names) {
    // Room for the tree up front: typical code makes fewer nodes than tokens, and a value for each
    // constant and variable designator; growing by doubling instead held up to three times the
    // tree while copying it.
    size_t valueTokens = 0;
    for (const RToken& t : toks) valueTokens += t.symbol == sym_constant || t.symbol == sym_variable;
    code_.nodes_.reserve(toks.size() + 1);
    code_.children_.reserve(toks.size());
    code_.values_.reserve(valueTokens + 1);
    depth_.reserve(toks.size() + 1);
  }

  uint32_t Program() {
    if (Cur().symbol == sym_end) return NewNode(tk_emptyprogram, 0, Cur().position, scratch_.size());
    if (Cur().symbol == sym_begin) {
      uint32_t block = Statement();
      if (Cur().symbol != sym_end) Fail(Cur().position, "Program ends before end of the code.");
      return block;
    }
    size_t mark = scratch_.size();
    int32_t position = Cur().position;
    while (Cur().symbol != sym_end) scratch_.push_back(Statement());
    return NewNode(tk_block, 0, position, mark);
  }

  uint32_t ExpressionCode() {
    if (Cur().symbol == sym_end) return Constant(RValue::Real(0), Cur().position);
    return Expression();  // tokens after the expression are ignored
  }

  void PostPass(uint32_t root) {
    Post(root);
    // Executor data. Frame slots: a variable node whose designator is the constant local and whose
    // name is declared with var gets the name's place in the declaration list.
    for (RNode& n : code_.nodes_) {
      if (n.kind == tk_variable_fixed || n.kind == tk_variable) {
        bool local = false;
        if (n.kind == tk_variable_fixed) {
          local = n.ind2 == kDesignatorLocal;
        } else {
          const RNode& inst = code_.nodes_[code_.Child(n, 0)];
          local = inst.kind == tk_constant && code_.values_[inst.value].kind == ty_real &&
                  code_.values_[inst.value].val == kDesignatorLocal;
        }
        if (!local) continue;
        auto it = localSlot_.find(n.ind);
        if (it != localSlot_.end()) n.aux = it->second;
      }
    }
  }

 private:
  // -- tokens
  const RToken& Cur() const { return toks_[pos_]; }
  void Next() {
    if (toks_[pos_].symbol != sym_end) ++pos_;
  }
  [[noreturn]] void Fail(int32_t position, std::string_view message) {
    ReportCodeError(&code_, position, message);
    throw CompileFailure{};
  }
  void Expect(int32_t symbol, const char* message) {
    if (Cur().symbol != symbol) Fail(Cur().position, message);
    Next();
  }

  // Limits recursion so that deep text is an error, not a stack overflow.
  struct Nest {
    explicit Nest(Parser& p) : p_(p) {
      if (++p_.nest_ > kMaxNesting) p_.Fail(p_.Cur().position, kTooDeepMessage);
    }
    ~Nest() { --p_.nest_; }
    Parser& p_;
  };

  // -- nodes
  uint32_t NewNode(int32_t kind, int32_t ind, int32_t position, size_t childMark) {
    RNode n;
    n.kind = kind;
    n.ind = ind;
    n.position = position;
    n.items = static_cast<uint32_t>(code_.children_.size());
    n.itemnumb = static_cast<int32_t>(scratch_.size() - childMark);
    int32_t depth = 1;
    for (size_t k = childMark; k < scratch_.size(); ++k) {
      code_.children_.push_back(scratch_[k]);
      depth = std::max(depth, depth_[scratch_[k]] + 1);
    }
    scratch_.resize(childMark);
    if (depth > kMaxTreeDepth) Fail(position, kTooDeepMessage);
    code_.nodes_.push_back(n);
    depth_.push_back(depth);
    return static_cast<uint32_t>(code_.nodes_.size() - 1);
  }
  uint32_t Leaf(int32_t kind, int32_t ind, int32_t position) {
    return NewNode(kind, ind, position, scratch_.size());
  }
  uint32_t Constant(RValue v, int32_t position, int32_t ind = 0) {
    uint32_t n = Leaf(tk_constant, ind, position);
    code_.nodes_[n].value = static_cast<uint32_t>(code_.values_.size());
    code_.values_.push_back(std::move(v));
    return n;
  }
  uint32_t Node1(int32_t kind, int32_t ind, int32_t position, uint32_t a) {
    size_t mark = scratch_.size();
    scratch_.push_back(a);
    return NewNode(kind, ind, position, mark);
  }
  uint32_t Node2(int32_t kind, int32_t ind, int32_t position, uint32_t a, uint32_t b) {
    size_t mark = scratch_.size();
    scratch_.push_back(a);
    scratch_.push_back(b);
    return NewNode(kind, ind, position, mark);
  }

  // -- statements
  uint32_t Statement() {
    Nest nest(*this);
    uint32_t n = StatementBody();
    while (Cur().symbol == sym_semicolon) Next();
    return n;
  }

  uint32_t StatementBody() {
    const RToken& t = Cur();
    const int32_t position = t.position;
    size_t mark = scratch_.size();
    switch (t.symbol) {
      case sym_function:
        return Call();
      case sym_begin: {
        Next();
        while (Cur().symbol != sym_endblock) {
          if (Cur().symbol == sym_end) Fail(Cur().position, "Symbol } expected.");
          scratch_.push_back(Statement());
        }
        Next();
        return NewNode(tk_block, 0, position, mark);
      }
      case sym_if: {
        Next();
        scratch_.push_back(Expression());
        if (Cur().symbol == sym_then) Next();
        scratch_.push_back(Statement());
        if (Cur().symbol == sym_else) {
          Next();
          scratch_.push_back(Statement());
        }
        return NewNode(tk_if, 0, position, mark);
      }
      case sym_while: {
        Next();
        scratch_.push_back(Expression());
        if (Cur().symbol == sym_do) Next();
        scratch_.push_back(Statement());
        return NewNode(tk_while, 0, position, mark);
      }
      case sym_do: {
        Next();
        scratch_.push_back(Statement());
        Expect(sym_until, "Keyword until expected.");
        scratch_.push_back(Expression());
        return NewNode(tk_do, 0, position, mark);
      }
      case sym_for: {
        Next();
        Expect(sym_lparen, "Symbol ( expected.");
        scratch_.push_back(Statement());  // its trailing semicolons are skipped with it
        scratch_.push_back(Expression());
        if (Cur().symbol == sym_semicolon) Next();
        scratch_.push_back(Statement());
        Expect(sym_rparen, "Symbol ) expected.");
        scratch_.push_back(Statement());
        return NewNode(tk_for, 0, position, mark);
      }
      case sym_repeat: {
        Next();
        scratch_.push_back(Expression());
        scratch_.push_back(Statement());
        return NewNode(tk_repeat, 0, position, mark);
      }
      case sym_exit:
      case sym_break:
      case sym_continue:
        Next();
        return Leaf(t.symbol, 0, position);
      case sym_with: {
        Next();
        scratch_.push_back(Expression());
        if (Cur().symbol == sym_do) Next();
        scratch_.push_back(Statement());
        return NewNode(tk_with, 0, position, mark);
      }
      case sym_return:
        Next();
        return Node1(tk_return, 0, position, Expression());
      case sym_switch: {
        Next();
        scratch_.push_back(Expression());
        Expect(sym_begin, "Symbol { expected.");
        while (Cur().symbol != sym_endblock) {
          if (Cur().symbol == sym_end) Fail(Cur().position, "Symbol } expected.");
          scratch_.push_back(Statement());
        }
        Next();
        return NewNode(tk_switch, 0, position, mark);
      }
      case sym_case: {
        Next();
        uint32_t e = Expression();
        Expect(sym_colon, "Symbol : expected.");
        return Node1(tk_case, 0, position, e);
      }
      case sym_default:
        Next();
        Expect(sym_colon, "Symbol : expected.");
        return Leaf(tk_default, 0, position);
      case sym_var:
      case sym_globalvar: {
        const int32_t kind = t.symbol == sym_var ? tk_var : tk_globalvar;
        Next();
        while (Cur().symbol == sym_variable) {
          if (Cur().ind < kUserVariableBase) Fail(Cur().position, "Cannot redeclare a builtin variable.");
          scratch_.push_back(Constant(RValue(), Cur().position, Cur().ind));
          Next();
          if (Cur().symbol == sym_comma) Next();
        }
        return NewNode(kind, 0, position, mark);
      }
      case sym_semicolon:
        return Leaf(tk_emptystatement, 0, position);  // the semicolon is skipped by Statement
      case sym_end:
        Fail(position, "Unexpected end of code reached.");
      default: {
        uint32_t target = Postfix();
        if (code_.nodes_[target].kind != tk_variable) Fail(position, "Variable name expected.");
        const RToken& op = Cur();
        if (!IsAssignmentSymbol(op.symbol)) Fail(op.position, "Assignment operator expected.");
        const int32_t opSymbol = op.symbol, opPosition = op.position;
        Next();
        return Node2(tk_assign, opSymbol, opPosition, target, Expression());
      }
    }
  }

  // -- expressions
  static int Level(int32_t s) {
    switch (s) {
      case sym_and: case sym_or: case sym_xor: return 1;
      case sym_assign: case sym_eq: case sym_ne: case sym_lt: case sym_le: case sym_gt: case sym_ge:
        return 2;
      case sym_bitor: case sym_bitand: case sym_bitxor: return 3;
      case sym_shl: case sym_shr: return 4;
      case sym_plus: case sym_minus: return 5;
      case sym_times: case sym_divide: case sym_div: case sym_mod: return 6;
      default: return 0;
    }
  }

  uint32_t Expression() {
    Nest nest(*this);
    return Binary(1);
  }

  uint32_t Binary(int level) {
    if (level > 6) return Postfix();
    uint32_t left = Binary(level + 1);
    while (Level(Cur().symbol) == level) {
      const int32_t op = Cur().symbol, position = Cur().position;
      Next();
      uint32_t right = Binary(level + 1);
      left = Node2(tk_binary, op, position, left, right);
    }
    return left;
  }

  uint32_t Postfix() {
    uint32_t n = Operand();
    while (Cur().symbol == sym_dot) {
      Next();
      n = Variable(n);
    }
    return n;
  }

  uint32_t Operand() {
    const RToken& t = Cur();
    switch (t.symbol) {
      case sym_constant: {
        RValue v = std::move(constants_[size_t(t.ind)]);
        int32_t position = t.position;
        Next();
        return Constant(std::move(v), position);
      }
      case sym_function:
        return Call();
      case sym_variable:
        return Variable(Constant(RValue::Real(kDesignatorUnspecified), t.position));
      case sym_lparen: {
        Next();
        uint32_t e = Expression();
        Expect(sym_rparen, "Symbol ) expected.");
        return e;
      }
      case sym_not:
      case sym_plus:
      case sym_minus:
      case sym_bitnot: {
        Nest nest(*this);
        const int32_t op = t.symbol, position = t.position;
        Next();
        return Node1(tk_unary, op, position, Postfix());
      }
      default:
        Fail(t.position, "Unexpected symbol in expression.");
    }
  }

  // A variable name with optional indices; `instance` becomes its first child.
  uint32_t Variable(uint32_t instance) {
    const RToken& t = Cur();
    if (t.symbol != sym_variable) Fail(t.position, "Variable name expected.");
    const int32_t id = t.ind, position = t.position;
    Next();
    size_t mark = scratch_.size();
    scratch_.push_back(instance);
    if (Cur().symbol == sym_lbracket) {
      Next();
      if (Cur().symbol == sym_rbracket) {
        Next();  // a[] is a
      } else {
        for (;;) {
          scratch_.push_back(Expression());
          if (Cur().symbol == sym_comma) {
            Next();
            continue;
          }
          if (Cur().symbol == sym_rbracket) {
            Next();
            break;
          }
          if (Cur().symbol == sym_end) Fail(Cur().position, "Symbol ] expected.");
          Fail(Cur().position, "Symbol , or ] expected.");
        }
        if (scratch_.size() - mark > 3) Fail(Cur().position, "Only 1- and 2-dimensional arrays are supported.");
      }
    }
    return NewNode(tk_variable, id, position, mark);
  }

  uint32_t Call() {
    const RToken& t = Cur();
    const int32_t id = t.ind, position = t.position;
    Next();
    Expect(sym_lparen, "Symbol ( expected.");
    size_t mark = scratch_.size();
    int32_t closing = 0;
    for (;;) {
      if (Cur().symbol == sym_rparen) {
        closing = Cur().position;
        Next();
        break;
      }
      if (Cur().symbol == sym_end) Fail(Cur().position, "Symbol ) expected.");
      scratch_.push_back(Expression());
      if (Cur().symbol == sym_comma) {
        Next();
      } else if (Cur().symbol == sym_end) {
        Fail(Cur().position, "Symbol ) expected.");
      } else if (Cur().symbol != sym_rparen) {
        Fail(Cur().position, "Symbol , or ) expected.");
      }
    }
    const int32_t count = static_cast<int32_t>(scratch_.size() - mark);
    const int32_t fixed = names_.FunctionArgCount(id);
    if (count > kMaxArguments || (fixed >= 0 && fixed != count))
      Fail(closing, "Wrong number of arguments to function or script.");
    return NewNode(tk_function, id, position, mark);
  }

  // -- post-pass: children first, left to right. The tree depth is bounded, so recursion is safe.
  void Post(uint32_t i) {
    {
      const RNode n = code_.nodes_[i];
      for (int32_t k = 0; k < n.itemnumb; ++k) Post(code_.children_[n.items + static_cast<uint32_t>(k)]);
    }
    RNode& n = code_.nodes_[i];
    switch (n.kind) {
      case tk_var:
        for (int32_t k = 0; k < n.itemnumb; ++k) {
          int32_t id = code_.nodes_[code_.Child(n, k)].ind;
          if (localSlot_.emplace(id, static_cast<int32_t>(code_.localIds_.size())).second)
            code_.localIds_.push_back(id);
        }
        break;
      case tk_variable: {
        RNode& inst = code_.nodes_[code_.Child(n, 0)];
        if (inst.kind != tk_constant) break;
        RValue& iv = code_.values_[inst.value];
        if (iv.kind == ty_real && iv.val == kDesignatorUnspecified && localSlot_.count(n.ind))
          iv.val = kDesignatorLocal;
        if (n.itemnumb == 1) {
          if (iv.kind != ty_real) Fail(inst.position, "Left hand side must be a real value.");
          n.kind = tk_variable_fixed;
          n.ind2 = RoundToInt32(iv.val);
          n.itemnumb = 0;
        }
        break;
      }
      case tk_unary: {
        const RNode& a = code_.nodes_[code_.Child(n, 0)];
        if (a.kind != tk_constant) break;
        RValue v = code_.values_[a.value];
        if (!UnaryOperation(&code_, a.position, n.ind, v)) throw CompileFailure{};
        Fold(i, std::move(v), a.value);
        break;
      }
      case tk_binary: {
        const RNode& a = code_.nodes_[code_.Child(n, 0)];
        const RNode& b = code_.nodes_[code_.Child(n, 1)];
        if (a.kind != tk_constant || b.kind != tk_constant) break;
        RValue v = code_.values_[a.value];
        if (!BinaryOperation(&code_, b.position, n.ind, code_.values_[b.value], v)) throw CompileFailure{};
        Fold(i, std::move(v), a.value);
        break;
      }
      default:
        break;
    }
  }

  // The node becomes a constant; its value takes the slot of its first operand's, which leaves
  // the tree with it (no slot is added, so the values never grow past what was reserved).
  void Fold(uint32_t i, RValue v, uint32_t slot) {
    RNode& n = code_.nodes_[i];
    n.kind = tk_constant;
    n.ind = 0;
    n.itemnumb = 0;
    n.value = slot;
    code_.values_[slot] = std::move(v);
  }

  CCode& code_;
  const std::vector<RToken>& toks_;
  std::vector<RValue>& constants_;
  const IScriptNames& names_;
  size_t pos_ = 0;
  int32_t nest_ = 0;
  std::vector<uint32_t> scratch_;  // children of the nodes being built, innermost on top
  std::vector<int32_t> depth_;     // tree depth of each node, for the nesting limit
  std::unordered_map<int32_t, int32_t> localSlot_;  // ids declared with var so far -> frame slot
};

bool ParseTokens(CCode& code, const std::vector<RToken>& tokens, std::vector<RValue>& constants,
                 const IScriptNames& names, bool expression, uint32_t& root) {
  try {
    Parser p(code, tokens, constants, names);
    root = expression ? p.ExpressionCode() : p.Program();
    p.PostPass(root);
    return true;
  } catch (const CompileFailure&) {
    return false;
  }
}

}  // namespace kestro
