// The parser: recursive descent over the lexer's classified tokens, building a code's tree into
// its flat arrays, then the post-pass over the tree (frame slots of `var` locals, plain variables
// with a fixed designator, constant operators folded through the executor's operator routines).
#pragma once

#include <cstdint>
#include <vector>

namespace kestro {

class CCode;
class IScriptNames;
struct RToken;
struct RValue;

// Builds the tree of `code` (a program, or an expression when `expression`) from its tokens and
// sets `root`; the values of constant tokens are taken from `constants`. False when the text does not parse: the error
// is then reported for `code` and its arrays hold a partial tree for the caller to clear.
bool ParseTokens(CCode& code, const std::vector<RToken>& tokens, std::vector<RValue>& constants,
                 const IScriptNames& names, bool expression, uint32_t& root);

}  // namespace kestro
