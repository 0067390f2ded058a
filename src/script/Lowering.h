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

// The instructions, in opcode order. X(name) makes the opcode op_name, the executor's handler
// (label L_op_name) and the name `kestro script --lowered` prints, so the three never disagree.
// Each comparison group (lt ... ne, if_lt ... if_ne, lif_lt ..., aif_lt ...) keeps the same order:
// lowering maps between them by offset.
#define KESTRO_INSTRUCTIONS(X)                                                                           \
  /* Expressions: `a` is the destination register. */                                                    \
  X(const)         /* a = constant b of the value pool */                                                \
  X(local)         /* a = declared local in frame slot b (node: the variable) */                         \
  X(var)           /* a = plain variable of the node, its designator fixed */                            \
  X(arg)           /* a = argument slot b */                                                             \
  X(elem)          /* a = variable with designator (reg b, or c when b < 0) and n indices from reg d */  \
  X(desig)         /* reg a becomes a designator (node: the designator expression) */                    \
  X(index)         /* reg a becomes a checked array index (node: the index expression) */                \
  X(index_local)   /* reg a = declared local in frame slot b as a checked array index */                 \
  X(elem_locals)   /* a = plain variable indexed by n (1 or 2) declared locals in frame slots b, c; */   \
                   /* registers from d hold the indices when they must be read in full */                \
  X(call)          /* a = function d with c arguments from reg b; n: counts itself against the budget */ \
  X(spend)         /* a loop iteration or call counted against the budget */                             \
  X(neg)           /* a = -a, or the general unary operator of the node on a */                          \
  X(not)           /* a = not a, or the general unary operator */                                        \
  X(unary)         /* the general unary operator of the node on a */                                     \
  /* Binary operators: a = a OP b, b a register or (negative) the constant -1 - b of the pool. */        \
  X(add) X(sub) X(mul) X(divide) X(div) X(mod)                                                           \
  X(lt) X(le) X(gt) X(ge) X(eq) X(ne)                                                                    \
  X(and) X(or)                                                                                           \
  X(binary)        /* the general binary operator of the node */                                         \
  /* a = argument slot b + or - the constant operand c (argument0 - 1 and the like). */                  \
  X(arg_add) X(arg_sub)                                                                                  \
  /* A comparison as a condition: to c unless a OP b is true; d selects the message for a */             \
  /* string result. Operands as for the binary operators. */                                             \
  X(if_lt) X(if_le) X(if_gt) X(if_ge) X(if_eq) X(if_ne)                                                  \
  /* The same with a declared local in frame slot a on the left and a constant on the right; */          \
  /* register n holds the local when it must be read in full. */                                         \
  X(lif_lt) X(lif_le) X(lif_gt) X(lif_ge) X(lif_eq) X(lif_ne)                                            \
  /* The same with argument slot a on the left. */                                                       \
  X(aif_lt) X(aif_le) X(aif_gt) X(aif_ge) X(aif_eq) X(aif_ne)                                            \
  /* Statements. */                                                                                      \
  X(jump)          /* to a */                                                                            \
  X(loop)          /* counts a loop iteration, then to a */                                              \
  X(jump_false)    /* to b unless reg a is true; c selects the message for a string condition */         \
  X(set_local)     /* declared local slot a = b (a plain = to a fixed local; b an operand) */            \
  X(update_local)  /* declared local slot a op= b, an operand (node: the assignment; */                  \
                   /* n 1 +=, 2 -=, 3 *=) */                                                             \
  X(store)         /* assignment node: value a (an operand), target designator (reg b, or c), */         \
                   /* n indices from reg d */                                                            \
  X(return)        /* the result is reg a (unless b is 0), the code ends */                              \
  X(stop)          /* the code ends normally */                                                          \
  X(error)         /* the node's statement error */                                                      \
  X(globalvar)     /* declares the names of the node */                                                  \
  X(repeat)        /* reg a becomes the number of times (node: the count expression) */                  \
  X(repeat_next)   /* ends the loop at b when reg a is spent, else counts one iteration */               \
  X(case)          /* to c when reg b matches reg a exactly */                                           \
  X(with)          /* with over reg a: to b when no instance; else the first instance becomes self */    \
  X(with_next)     /* the next instance (to a, the body) or the end of the with */                       \
  X(with_break)    /* a break in a with's own body: closes it, then to b (several) or c (one) */

enum ROp : uint16_t {
#define KESTRO_OP_ENUM(name) op_##name,
  KESTRO_INSTRUCTIONS(KESTRO_OP_ENUM)
#undef KESTRO_OP_ENUM
  op_count,
};
// Lowering maps a comparison to its condition forms by offset.
static_assert(op_if_ne - op_if_lt == op_ne - op_lt && op_lif_lt == op_if_ne + 1 &&
              op_lif_ne - op_lif_lt == op_ne - op_lt && op_aif_lt == op_lif_ne + 1 &&
              op_aif_ne - op_aif_lt == op_ne - op_lt);

// The name of an instruction as `kestro script --lowered` prints it ("const", "if_lt", ...).
const char* InstructionName(uint16_t op);

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
