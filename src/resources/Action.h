// CAction: one step of an event: a function call with arguments, a piece of code, a variable
// assignment or a flow marker. Compiling it is done during preparation.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "script/Designators.h"
#include "script/Value.h"

namespace kestro {

class CCode;
class CStream;
class IScriptNames;

enum ActionKind {
  kActNormal = 0, kActBegin = 1, kActEnd = 2, kActElse = 3, kActExit = 4, kActRepeat = 5,
  kActVariable = 6, kActCode = 7
};
enum ActionExe { kExeNone = 0, kExeFunction = 1, kExeCode = 2 };
inline constexpr int kMaxActionArgs = 8;

class CAction {
 public:
  int act_libid = 0;
  int act_id = 0;
  int act_kind = kActNormal;
  bool act_userelative = false;
  bool act_isquestion = false;
  bool act_useapplyto = false;
  int act_exetype = kExeNone;
  int act_functionid = -1;
  // The stored name of the function to call: resolved to act_functionid at load, and kept so
  // the action can be written back exactly.
  std::string act_funcname;
  std::string act_codestring;
  std::shared_ptr<CCode> act_codecode;
  int act_argumentcount = 0;
  std::array<int, kMaxActionArgs> act_argtype{};
  int act_who = kDesignatorSelf;  // applies to: self, other or an object index
  bool act_relative = false;
  std::array<std::string, kMaxActionArgs> act_argstring;
  std::array<RValue, kMaxActionArgs> act_argvalue;
  std::array<std::shared_ptr<CCode>, kMaxActionArgs> act_argcode;
  bool act_isnot = false;
  // How many argument kinds and texts the stored form held (at most 8 each), so the action is
  // written back as it was read.
  int storedArgTypes = 0;
  int storedArgStrings = 0;
  bool prepared = false;  // Compile has succeeded; a second call does nothing

  void Create(int kind) {
    Clear();
    act_kind = kind;
  }
  void CreateCode(const std::string& text);
  void Clear() { *this = CAction(); }
  void Assign(const CAction& o) { *this = o; }
  void Destroy() { Clear(); }
  // Stored form: int 440 and the fields; another version reads nothing more and leaves the
  // action cleared (true). False only for counts above 8.
  bool LoadFromStream(CStream& s);
  void SaveToStream(CStream& s) const;

  // act_funcname to act_functionid through `names` (-1 when not found). A function action whose
  // function is missing shows "Failed to locate action function NAME" while the report is
  // switched on, and then calls nothing.
  void ResolveFunction(const IScriptNames& names);

  // Prepares the action for execution, once: variable and code actions become normal actions
  // running compiled code, the code is compiled as a program, every argument becomes a constant
  // (act_argtype -1, value in act_argvalue) or a compiled expression (act_argtype 0, code in
  // act_argcode), and the texts are emptied. Names resolve through `names` (the run's lookup
  // when null). False when something does not compile: the compiler's message is then pending
  // (CodeError.h) and `failedArgument` is -1 for the code, else the argument's index from 0.
  bool Compile(const IScriptNames* names, int* failedArgument);
};

// Function names of actions are resolved through the script name lookup. Until the run's
// function tables are installed every name would be missing, so the "Failed to locate action
// function" message is shown only once this is switched on: a run switches it on when the game's
// names are complete (scripts, extension and built-in functions), just before its actions are
// prepared.
void SetReportMissingActionFunctions(bool on);

}  // namespace kestro
