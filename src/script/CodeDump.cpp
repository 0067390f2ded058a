// Readable forms of compiled trees, for authors checking code and for tests.
#include <cstdio>
#include <cstdlib>

#include "script/Code.h"
#include "script/NameLookup.h"
#include "script/Symbols.h"
#include "script/Variables.h"

namespace kestro {

const char* SymbolSpelling(int32_t symbol) {
  switch (symbol) {
    case sym_begin: return "{";
    case sym_endblock: return "}";
    case sym_if: return "if";
    case sym_then: return "then";
    case sym_else: return "else";
    case sym_while: return "while";
    case sym_do: return "do";
    case sym_for: return "for";
    case sym_until: return "until";
    case sym_repeat: return "repeat";
    case sym_exit: return "exit";
    case sym_break: return "break";
    case sym_continue: return "continue";
    case sym_with: return "with";
    case sym_return: return "return";
    case sym_switch: return "switch";
    case sym_case: return "case";
    case sym_default: return "default";
    case sym_var: return "var";
    case sym_globalvar: return "globalvar";
    case sym_assign: return "=";
    case sym_assign_plus: return "+=";
    case sym_assign_minus: return "-=";
    case sym_assign_times: return "*=";
    case sym_assign_divide: return "/=";
    case sym_lparen: return "(";
    case sym_rparen: return ")";
    case sym_semicolon: return ";";
    case sym_comma: return ",";
    case sym_lbracket: return "[";
    case sym_rbracket: return "]";
    case sym_dot: return ".";
    case sym_colon: return ":";
    case sym_assign_or: return "|=";
    case sym_assign_and: return "&=";
    case sym_assign_xor: return "^=";
    case sym_and: return "&&";
    case sym_or: return "||";
    case sym_not: return "!";
    case sym_lt: return "<";
    case sym_le: return "<=";
    case sym_eq: return "==";
    case sym_ne: return "!=";
    case sym_ge: return ">=";
    case sym_gt: return ">";
    case sym_plus: return "+";
    case sym_minus: return "-";
    case sym_times: return "*";
    case sym_divide: return "/";
    case sym_div: return "div";
    case sym_mod: return "mod";
    case sym_xor: return "^^";
    case sym_bitor: return "|";
    case sym_bitand: return "&";
    case sym_bitxor: return "^";
    case sym_bitnot: return "~";
    case sym_shl: return "<<";
    case sym_shr: return ">>";
    default: return "";
  }
}

namespace {

std::string RealText(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.15g", v);
  if (std::strtod(buf, nullptr) != v) std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

std::string ValueText(const RValue& v) {
  if (v.kind == ty_real) return RealText(v.val);
  // Long strings are cut: a dump is for reading.
  constexpr size_t kShown = 200;
  std::string_view text = v.str.view();
  const bool cut = text.size() > kShown;
  if (cut) text = text.substr(0, kShown);
  std::string out = "\"";
  for (char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      default: out += c;
    }
  }
  out += '"';
  if (cut) out += "... (" + std::to_string(v.str.size()) + " bytes)";
  return out;
}

std::string FunctionText(const IScriptNames& names, int32_t id) {
  std::string n = names.FunctionName(id);
  return n.empty() ? "#" + std::to_string(id) : n;
}

const char* StatementWord(int32_t kind) {
  switch (kind) {
    case tk_if: return "if";
    case tk_while: return "while";
    case tk_do: return "do";
    case tk_for: return "for";
    case tk_repeat: return "repeat";
    case tk_exit: return "exit";
    case tk_break: return "break";
    case tk_continue: return "continue";
    case tk_with: return "with";
    case tk_return: return "return";
    case tk_switch: return "switch";
    case tk_case: return "case";
    case tk_default: return "default";
    case tk_var: return "var";
    case tk_globalvar: return "globalvar";
    case tk_block: return "block";
    default: return nullptr;
  }
}

// The spelling of an operator node: `=` inside an expression compares.
const char* OperatorText(int32_t kind, int32_t symbol) {
  if (kind == tk_binary && symbol == sym_assign) return "=";
  return SymbolSpelling(symbol);
}

class Dumper {
 public:
  Dumper(const CCode& code, const IScriptNames& names) : code_(code), names_(names) {}

  void Indented(uint32_t i, int depth) {
    const RNode& n = code_.Node(i);
    out_.append(static_cast<size_t>(depth) * 2, ' ');
    switch (n.kind) {
      case tk_emptyprogram: out_ += "empty program"; break;
      case tk_emptystatement: out_ += "empty statement"; break;
      case tk_constant:
        out_ += "constant " + ValueText(code_.Value(n));
        break;
      case tk_function:
        out_ += "call " + FunctionText(names_, n.ind) + " (id " + std::to_string(n.ind) + ")";
        break;
      case tk_variable:
        out_ += "variable " + VariableName(n.ind) + " (id " + std::to_string(n.ind) + ")";
        break;
      case tk_variable_fixed:
        out_ += "variable " + VariableName(n.ind) + " (id " + std::to_string(n.ind) + ") of " +
                std::to_string(n.ind2);
        break;
      case tk_assign: out_ += std::string("assign ") + SymbolSpelling(n.ind); break;
      case tk_unary: out_ += std::string("unary ") + OperatorText(n.kind, n.ind); break;
      case tk_binary: out_ += std::string("binary ") + OperatorText(n.kind, n.ind); break;
      default:
        if (const char* w = StatementWord(n.kind))
          out_ += w;
        else
          out_ += "node " + std::to_string(n.kind);
    }
    out_ += " @" + std::to_string(n.position) + "\n";
    for (int32_t k = 0; k < n.itemnumb; ++k) {
      uint32_t c = code_.Child(n, k);
      if (n.kind == tk_var || n.kind == tk_globalvar) {
        const RNode& d = code_.Node(c);
        out_.append(static_cast<size_t>(depth + 1) * 2, ' ');
        out_ += "name " + VariableName(d.ind) + " (id " + std::to_string(d.ind) + ") @" +
                std::to_string(d.position) + "\n";
      } else {
        Indented(c, depth + 1);
      }
    }
  }

  void Compact(uint32_t i) {
    const RNode& n = code_.Node(i);
    auto children = [&] {
      for (int32_t k = 0; k < n.itemnumb; ++k) {
        out_ += ' ';
        Compact(code_.Child(n, k));
      }
      out_ += ')';
    };
    switch (n.kind) {
      case tk_emptyprogram: out_ += "empty"; return;
      case tk_emptystatement: out_ += ";"; return;
      case tk_constant: out_ += ValueText(code_.Value(n)); return;
      case tk_variable_fixed: out_ += VariableName(n.ind) + "@" + std::to_string(n.ind2); return;
      case tk_exit: case tk_break: case tk_continue: case tk_default:
        out_ += StatementWord(n.kind);
        return;
      case tk_function: out_ += "(call " + FunctionText(names_, n.ind); children(); return;
      case tk_variable: out_ += "(var " + VariableName(n.ind); children(); return;
      case tk_assign: out_ += std::string("(set") + (n.ind == sym_assign ? "" : SymbolSpelling(n.ind)); children(); return;
      case tk_unary:
      case tk_binary: out_ += std::string("(") + OperatorText(n.kind, n.ind); children(); return;
      case tk_var:
      case tk_globalvar:
        out_ += std::string("(") + StatementWord(n.kind);
        for (int32_t k = 0; k < n.itemnumb; ++k) out_ += " " + VariableName(code_.Node(code_.Child(n, k)).ind);
        out_ += ')';
        return;
      default:
        if (const char* w = StatementWord(n.kind))
          out_ += std::string("(") + w;
        else
          out_ += "(node" + std::to_string(n.kind);
        children();
    }
  }

  std::string out_;

 private:
  const CCode& code_;
  const IScriptNames& names_;
};

}  // namespace

std::string DumpTree(const CCode& code, const IScriptNames* names) {
  if (!code.i_compiled) return "";
  Dumper d(code, names ? *names : ScriptNames());
  if (code.i_kind == CodeKind::kConstantExpression) {
    d.out_ = "constant expression " + ValueText(code.i_value) + "\n";
    return d.out_;
  }
  d.Indented(code.Root(), 0);
  return d.out_;
}

std::string DumpTreeCompact(const CCode& code, const IScriptNames* names) {
  if (!code.i_compiled) return "";
  Dumper d(code, names ? *names : ScriptNames());
  d.Compact(code.Root());
  return d.out_;
}

}  // namespace kestro
