// The executor's form of compiled code: the tree of a `CCode` lowered once, at its first run, into
// a flat list of register instructions. Each instruction keeps the tree node it came from, so
// errors, positions, variable ids and designators are those of the tree; evaluation order,
// statuses and messages stay exactly those of walking the tree.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestro {

class CCode;

enum ROp : uint16_t {
  // Expressions: `a` is the destination register.
  op_const,      // a = constant b of the value pool
  op_local,      // a = declared local in frame slot b (node: the variable)
  op_var,        // a = plain variable of the node, its designator fixed
  op_arg,        // a = argument slot b
  op_elem,       // a = variable with designator (reg b, or c when b < 0) and n indices from reg d
  op_desig,      // reg a becomes a designator (node: the designator expression)
  op_index,      // reg a becomes a checked array index (node: the index expression)
  op_index_local,  // reg a = declared local in frame slot b as a checked array index
  op_elem_locals,  // a = plain variable indexed by n (1 or 2) declared locals in frame slots b, c;
                   // registers from d hold the indices when they must be read in full
  op_call,       // a = function d with c arguments from reg b; n: counts itself against the budget
  op_spend,      // a loop iteration or call counted against the budget
  op_neg,        // a = -a, or the general unary operator of the node on a
  op_not,
  op_unary,
  // Binary operators: a = a OP b, b a register or (negative) the constant -1 - b of the pool.
  op_add,
  op_sub,
  op_mul,
  op_divide,
  op_div,
  op_mod,
  op_lt,
  op_le,
  op_gt,
  op_ge,
  op_eq,
  op_ne,
  op_and,
  op_or,
  op_binary,     // the general binary operator of the node
  // a = argument slot b + or - the constant operand c (argument0 - 1 and the like).
  op_arg_add,
  op_arg_sub,
  // A comparison as a condition: to c unless a OP b is true; d selects the message for a
  // string result. Operands as for the binary operators.
  op_if_lt,
  op_if_le,
  op_if_gt,
  op_if_ge,
  op_if_eq,
  op_if_ne,
  // The same with a declared local in frame slot a on the left and a constant on the right;
  // register n holds the local when it must be read in full.
  op_lif_lt,
  op_lif_le,
  op_lif_gt,
  op_lif_ge,
  op_lif_eq,
  op_lif_ne,
  // The same with argument slot a on the left.
  op_aif_lt,
  op_aif_le,
  op_aif_gt,
  op_aif_ge,
  op_aif_eq,
  op_aif_ne,
  // Statements.
  op_jump,       // to a
  op_loop,       // counts a loop iteration, then to a
  op_jump_false, // to b unless reg a is true; c selects the message for a string condition
  op_set_local,  // declared local slot a = b (a plain = to a fixed local; b an operand)
  op_update_local,  // declared local slot a op= b, an operand (node: the assignment; n 1 +=, 2 -=, 3 *=)
  op_store,      // assignment node: value a (an operand), target designator (reg b, or c), n indices from reg d
  op_return,     // the result is reg a (unless b is 0), the code ends
  op_stop,       // the code ends normally
  op_error,      // the node's statement error
  op_globalvar,  // declares the names of the node
  op_repeat,     // reg a becomes the number of times (node: the count expression)
  op_repeat_next,  // ends the loop at b when reg a is spent, else counts one iteration
  op_case,       // to c when reg b matches reg a exactly
  op_with,       // with over reg a: to b when no instance; else the first instance becomes self
  op_with_next,  // the next instance (to a, the body) or the end of the with
  op_with_break, // a break in a with's own body: closes it, then to b (several) or c (one)
  op_count,
};

struct RIns {
  uint16_t op = 0;
  uint16_t n = 0;
  int32_t a = 0, b = 0, c = 0, d = 0;
  uint32_t node = 0;  // the tree node the instruction comes from
  // Where the instruction's variable was found in its list last time (a lookup cache: every use
  // checks it).
  mutable int32_t hint = 0;
};

// Messages of statement errors and conditions, selected by an instruction operand.
enum : int32_t {
  msg_expression_expected,
  msg_boolean_expected,
  msg_statement_expected,
  msg_case_outside,
  msg_default_outside,
  msg_unexpected_symbol,
};

struct CLowered {
  std::vector<RIns> code;
  int32_t registers = 0;
};

// Lowers the compiled code (a program or an expression). The result never fails: statements that
// are errors when they run become error instructions.
CLowered LowerCode(const CCode& code);

// The lowered code as text, an instruction a line: place, name, operands and the source position
// (for `kestro script --lowered` and tests).
std::string DumpLowered(const CCode& code);

}  // namespace kestro
