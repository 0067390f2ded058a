// The two lexer passes: scanning the text into tokens, then classifying identifiers and literals
// (functions, constants and variables resolved to ids and values) for the parser.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "script/Value.h"

namespace kestro {

class CCode;
class IScriptNames;

// A token as scanned by the first pass: its text is [start, start + length) of the scanned text.
struct RRawToken {
  int32_t symbol = 0;
  int32_t position = 0;  // 1-based
  uint32_t start = 0;
  uint32_t length = 0;
};

// A token as the parser reads it: names resolved by the second pass. Kept small (there is one
// for every few characters of source): a constant's value waits in the second pass's list of
// constants, and `ind` is its index there.
struct RToken {
  int32_t symbol = 0;
  int32_t ind = 0;  // function id (sym_function), variable id (sym_variable), constant index (sym_constant)
  int32_t position = 0;
};

// What the second pass records about the argument names the code uses.
struct RArgumentUse {
  int32_t highest = -1;  // highest N of argumentN (0 ... 15) met
  bool array = false;    // the name `argument` met
};

// The text as scanned: the source with three spaces appended.
std::u16string ScanText(const std::u16string& source);

// Scans `text` (as made by ScanText). On an unknown character reports "Unexpected symbol." for
// `code` and returns false.
bool LexFirstPass(const CCode* code, const std::u16string& text, std::vector<RRawToken>& out);

// Classifies the tokens; the values of constant tokens go to `constants`. Reports the first unknown
// function and returns false.
bool LexSecondPass(const CCode* code, const std::u16string& text, const std::vector<RRawToken>& in,
                   const IScriptNames& names, RArgumentUse& args, std::vector<RToken>& out,
                   std::vector<RValue>& constants);

// The value of a number literal's characters.
double NumberValue(std::u16string_view digits);

}  // namespace kestro
