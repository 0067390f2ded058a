// Running code given at run time: `execute_string`, `execute_file` and `script_execute`; and
// `get_function_address`.
#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

#include "platform/posix/Files.h"
#include "resources/GameResources.h"
#include "script/Code.h"
#include "script/CodeError.h"
#include "world/ErrorReport.h"
#include "script/Executor.h"
#include "script/Scripts.h"
#include "script/builtins/BuiltinError.h"
#include "script/builtins/BuiltinArgs.h"
#include "world/Bindings.h"
#include "world/GameScripts.h"

namespace kestro {

namespace {

constexpr uint64_t kMaxExecuteFileSize = uint64_t(16) << 20;

// Compiles and runs `text` with the arguments after the first in the argument slots; the
// argument count and running script stay the caller's.
void RunText(CInstance* self, CInstance* other, const std::string& text, const char* compileHeader,
             int32_t argc, const RValue* args, RValue& result) {
  RValue* slots = ArgumentSlots();
  std::array<RValue, kMaxArguments> saved;
  std::copy(slots, slots + kMaxArguments, saved.begin());
  argc = std::min(argc, kMaxArguments);
  for (int32_t k = 0; k < kMaxArguments; ++k) slots[k] = k + 1 < argc ? args[k + 1] : RValue();
  ArgumentSlotsWritten();

  // A failure of the enclosing run stays its own; this run's errors are shown here.
  const CodeErrorState before = SaveCodeError();
  ClearCodeError();
  // On the heap: nested execute_string calls should spend the stack on running, not on code.
  auto code = std::make_unique<CCode>(text, CodeKind::kProgram);
  if (!code->Compile())
    HandlePendingCodeError(compileHeader, false);
  else
    ExecuteCodeReported(self, other, *code, result);
  RestoreCodeError(before);

  std::copy(saved.begin(), saved.end(), slots);
}

KESTRO_BUILTIN(ExecuteString) {
  if (argc < 1) return;
  RunText(self, other, ArgText(a[0]), errhdr::kExecuteString, argc, a, r);
}

KESTRO_BUILTIN(ExecuteFile) {
  if (argc < 1) return;
  // Code is text an author wrote: only a regular file is read (a pipe or a device would never end),
  // and never more than the cap, whatever size the file reports.
  std::vector<uint8_t> bytes;
  const os::ReadStatus status = os::ReadFile(ArgText(a[0]), bytes, kMaxExecuteFileSize);
  if (status == os::ReadStatus::kTooLarge) return ReportBuiltinError("Trying to execute a file that is too large.");
  if (status != os::ReadStatus::kOk) return ReportBuiltinError("Trying to execute non-existing file.");
  // Every line followed by a CR, whatever line ends the file has.
  std::string text;
  text.reserve(bytes.size() + 1);
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = start;
    while (end < bytes.size() && bytes[end] != '\n') ++end;
    size_t stop = end;
    if (stop > start && bytes[stop - 1] == '\r') --stop;
    text.append(reinterpret_cast<const char*>(bytes.data()) + start, stop - start);
    text += '\r';
    start = end + 1;
  }
  RunText(self, other, text, errhdr::kExecuteFile, argc, a, r);
}

KESTRO_BUILTIN(ScriptExecute) {
  const int64_t index = argc > 0 ? RoundToInt64(a[0].val) : -1;
  if (argc < 1 || !a[0].IsReal() || index < 0 || index > INT32_MAX ||
      !Scripts().Exists(static_cast<int32_t>(index))) {
    ReportBuiltinError("Trying to execute non-existing script.");
    return;
  }
  CallScript(static_cast<int32_t>(index), self, other, r, true, a + 1,
             std::min(argc, kMaxArguments) - 1);
  if (CodeErrorPending()) {
    const std::string message = PendingCodeError();
    ClearCodeError();
    ReportBuiltinError(message);
  }
}

// get_function_address(name): the routine's address of a built-in function, as a real; -1 for a
// script (which hides a built-in function of its name) or a name no built-in function has.
KESTRO_BUILTIN(GetFunctionAddress) {
  r = RValue::Real(-1);
  if (argc < 1 || !a[0].IsString()) return;
  std::optional<int32_t> id = GameScriptNames().FindFunction(a[0].str.view());
  if (!id || *id >= kScriptIdBase) return;
  if (const RFunction* f = BuiltinRegistry().Get(*id))
    r = RValue::Real(static_cast<double>(reinterpret_cast<uintptr_t>(f->f_routine)));
}

constexpr RBinding kExecuteFunctions[] = {
    {"execute_string", ExecuteString},
    {"execute_file", ExecuteFile},
    {"script_execute", ScriptExecute},
    {"get_function_address", GetFunctionAddress},
};

}  // namespace

RBindingTable ExecuteFunctions() { return kExecuteFunctions; }

}  // namespace kestro
