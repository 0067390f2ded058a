// Functions of native libraries called by game code: `external_define` and its fixed forms bind a
// library's export into the run's table, `external_call` and its fixed forms call it, and
// `external_free` unloads a library. Secure mode refuses all of them.
#include <cstdio>
#include <string>
#include <vector>

#include "io/RunState.h"
#include "resources/Bindings.h"
#include "resources/ExternalFunctions.h"
#include "script/builtins/BuiltinArgs.h"

namespace kestro {

namespace {

constexpr const char* kSecureMessage = "In secure mode you cannot use DLLs";
constexpr const char* kDefineFailed = "Error defining an external function.";

bool RefusedInSecureMode() {
  if (!RunState().secureMode) return false;
  ReportBuiltinError(kSecureMessage);
  return true;
}

EExternalKind Kind(const RValue& v) { return ArgInt(v) == 1 ? EExternalKind::kString : EExternalKind::kReal; }

// Defines the function and gives its id, or reports the failure and gives -1.
void Define(RValue& r, const RValue& dll, const RValue& name, ECallConvention convention, EExternalKind result,
            const std::vector<EExternalKind>& kinds) {
  std::string why;
  const int32_t id = ExternalFunctionTable().Define(ArgText(dll), ArgText(name), convention, result,
                                                    int32_t(kinds.size()), kinds, &why);
  if (id < 0) {
    // The message game code sees is fixed; a verbose run says what was wrong.
    if (RunState().verbose) std::fprintf(stderr, "[kestro] external_define: %s\n", why.c_str());
    ReportBuiltinError(kDefineFailed);
  }
  r.SetReal(id);
}

// external_define(dll, name, calltype, restype, argnumb, argtype1, ...)
KESTRO_BUILTIN(F_external_define) {
  if (RefusedInSecureMode()) return;
  r.SetReal(-1);
  const int64_t n = argc >= 5 ? ArgInt(a[4]) : -1;
  if (argc < 5 || n + 5 != argc) return ReportBuiltinError("Wrong number of arguments to external_define()");
  if (n > kMaxExternalArguments) return ReportBuiltinError("DLL functions can have at most 16 arguments");
  std::vector<EExternalKind> kinds;
  for (int32_t i = 5; i < argc; ++i) kinds.push_back(Kind(a[i]));
  if (n > kMaxMixedExternalArguments)
    for (EExternalKind k : kinds)
      if (k != EExternalKind::kReal)
        return ReportBuiltinError("DLL functions with more than 4 arguments cannot have string arguments");
  const ECallConvention convention = ArgInt(a[2]) == 0 ? ECallConvention::kCdecl : ECallConvention::kStdcall;
  Define(r, a[0], a[1], convention, Kind(a[3]), kinds);
}

// external_defineN(dll, name, argtype1 .. argtypeN, restype) for N up to 4; from 5 on
// external_defineN(dll, name, restype) with N real arguments. Always cdecl.
template <int N>
void DefineFixed(CInstance*, CInstance*, int32_t, RValue& r, const RValue* a) {
  if (RefusedInSecureMode()) return;
  std::vector<EExternalKind> kinds(N, EExternalKind::kReal);
  if constexpr (N <= kMaxMixedExternalArguments)
    for (int i = 0; i < N; ++i) kinds[size_t(i)] = Kind(a[2 + i]);
  const int resultArg = N <= kMaxMixedExternalArguments ? 2 + N : 2;
  Define(r, a[0], a[1], ECallConvention::kCdecl, Kind(a[resultArg]), kinds);
}

// external_call(id, args...) and its fixed forms.
KESTRO_BUILTIN(F_external_call) {
  if (RefusedInSecureMode()) return;
  if (argc < 1) return ReportBuiltinError(std::string(extmsg::kNoFunction) + "-1");
  const std::string error = ExternalFunctionTable().Call(ArgInt(a[0]), argc - 1, a + 1, r);
  if (!error.empty()) ReportBuiltinError(error);
}

KESTRO_BUILTIN(F_external_free) {
  if (RefusedInSecureMode()) return;
  ExternalFunctionTable().Free(ArgText(a[0]));
}

constexpr RBinding kExternalCallFunctions[] = {
    {"external_define", F_external_define},
    {"external_call", F_external_call},
    {"external_free", F_external_free},
    {"external_define0", DefineFixed<0>},
    {"external_call0", F_external_call},
    {"external_define1", DefineFixed<1>},
    {"external_call1", F_external_call},
    {"external_define2", DefineFixed<2>},
    {"external_call2", F_external_call},
    {"external_define3", DefineFixed<3>},
    {"external_call3", F_external_call},
    {"external_define4", DefineFixed<4>},
    {"external_call4", F_external_call},
    {"external_define5", DefineFixed<5>},
    {"external_call5", F_external_call},
    {"external_define6", DefineFixed<6>},
    {"external_call6", F_external_call},
    {"external_define7", DefineFixed<7>},
    {"external_call7", F_external_call},
    {"external_define8", DefineFixed<8>},
    {"external_call8", F_external_call},
};

}  // namespace

RBindingTable ExternalCallFunctions() { return kExternalCallFunctions; }

}  // namespace kestro
