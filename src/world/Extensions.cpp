#include "world/Extensions.h"

#include <cstdio>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "io/RunState.h"
#include "resources/ExternalFunctions.h"
#include "resources/GameResources.h"
#include "script/Code.h"
#include "script/CodeError.h"
#include "script/Executor.h"
#include "script/Scripts.h"
#include "world/ErrorReport.h"
#include "world/GameScripts.h"
#include "world/Instance.h"

namespace kestro {

namespace {

// A prepared function: a library function's entry in the external function table (-1 when it
// could not be bound), or a script function's compiled code.
struct RPrepared {
  std::string name;
  int32_t externalId = -1;
  std::shared_ptr<CCode> code;  // set for script functions
};

// By function id. Ids come from the game data, so they are keys, not positions: a huge id costs
// nothing.
std::unordered_map<int32_t, RPrepared> g_prepared;
// Whether the game's start initialized every package: only then does its end finalize them.
bool g_initialized = false;

void Note(const std::string& text) {
  if (RunState().verbose) std::fprintf(stderr, "[kestro] %s\n", text.c_str());
}

std::string Trim(const std::string& s) {
  const size_t a = s.find_first_not_of(" \t\r\n");
  if (a == std::string::npos) return {};
  return s.substr(a, s.find_last_not_of(" \t\r\n") - a + 1);
}

void SetCallError(const std::string& text) {
  if (!CodeErrorPending()) SetPendingCodeError(text);
}

class CExtensionCalls final : public IExtensionFunctions {
 public:
  bool Call(int32_t index, CInstance* self, CInstance* other, int32_t argc, const RValue* args,
            RValue& result) override {
    return CallExtensionFunction(index, self, other, argc, args, result);
  }
};

void BindLibraryFunction(const CExtensionPackage& package, const CExtensionFile& file, const CExtensionFunction& f,
                         RPrepared& entry) {
  std::vector<EExternalKind> kinds;
  const int32_t n = f.s_argcount;
  for (int32_t i = 0; i >= 0 && i < n && i < kMaxExternalArguments; ++i)
    kinds.push_back(f.s_argtype[size_t(i)] == 1 ? EExternalKind::kString : EExternalKind::kReal);
  std::string why;
  const std::string path = package.FilePath(RunState().tempFolder, file).string();
  entry.externalId = ExternalFunctionTable().Define(
      path.empty() ? file.s_filename : path, f.s_extname, f.s_kind == 12 ? ECallConvention::kCdecl : ECallConvention::kStdcall,
      f.s_returntype == 1 ? EExternalKind::kString : EExternalKind::kReal, n, kinds, &why);
  if (entry.externalId < 0) Note("extension function " + f.s_name + " of " + package.s_name + ": " + why);
}

bool CompileScriptFunction(const CExtensionPackage& package, const CExtensionFunction& f, RPrepared& entry) {
  if (f.s_script.empty()) return true;
  auto code = std::make_shared<CCode>(f.s_script, CodeKind::kProgram);
  ClearCodeError();
  if (!code->Compile(&GameScriptNames())) {
    HandlePendingCodeError("COMPILATION ERROR in extension package " + package.s_name + "\r", true);
    return false;
  }
  entry.code = std::move(code);
  return true;
}

bool RunFileFunctions(bool init) {
  for (const CExtensionPackage& package : ExtensionPackages())
    for (const CExtensionFile& file : package.s_includes) {
      const std::string name = Trim(init ? file.s_init : file.s_final);
      if (name.empty()) continue;
      if (RunState().secureMode) {
        HandleError(kExtensionSecureMessage, true);
        return false;
      }
      const CExtensionFunction* f = nullptr;
      for (const CExtensionFunction& candidate : file.s_functions)
        if (candidate.s_name == name) {
          f = &candidate;
          break;
        }
      if (f == nullptr) {
        HandleError((init ? "Could not locate initialization function " : "Could not locate finalization function ") +
                        name,
                    true);
        return false;
      }
      auto self = std::make_unique<CInstance>();
      self->Create(0, 0, 0, 0);
      RValue result;
      ClearCodeError();
      if (!CallExtensionFunction(f->s_id, self.get(), self.get(), 0, nullptr, result)) {
        HandleError(PendingCodeError(), true);
        ClearCodeError();
        return false;
      }
    }
  return true;
}

}  // namespace

bool PrepareExtensions() {
  static CExtensionCalls calls;
  ResetExtensions();
  SetExtensionFunctions(&calls);
  // Script functions and constant values are compiled against the game's names.
  RegisterArgumentVariables();
  InstallGameScriptNames();

  const std::vector<CExtensionPackage>& packages = ExtensionPackages();
  for (const CExtensionPackage& package : packages)
    for (const CExtensionFile& file : package.s_includes)
      for (const CExtensionConstant& c : file.s_constants) DefineGameConstant(c.s_name, c.s_value);

  for (const CExtensionPackage& package : packages)
    for (const CExtensionFile& file : package.s_includes)
      for (const CExtensionFunction& f : file.s_functions) {
        // Ids are unique over all packages; should two share one, the first is the one called.
        if (!CallableExtensionId(f.s_id) || g_prepared.count(f.s_id)) continue;
        RPrepared entry;
        entry.name = f.s_name;
        if (file.s_kind == kExtLibrary) {
          BindLibraryFunction(package, file, f, entry);
        } else if (file.s_kind == kExtScript) {
          if (!CompileScriptFunction(package, f, entry)) return false;
        }
        g_prepared.emplace(f.s_id, std::move(entry));
      }
  return true;
}

bool InitializeExtensions() {
  g_initialized = RunFileFunctions(true);
  return g_initialized;
}

bool FinalizeExtensions() {
  if (!g_initialized) return true;
  g_initialized = false;
  return RunFileFunctions(false);
}

void ResetExtensions() {
  g_initialized = false;
  g_prepared.clear();
  ExternalFunctionTable().Clear();
}

bool CallExtensionFunction(int32_t id, CInstance* self, CInstance* other, int32_t argc, const RValue* args,
                           RValue& result) {
  auto it = g_prepared.find(id);
  if (it == g_prepared.end()) {
    SetCallError("Unknown extension function.");
    return false;
  }
  if (RunState().secureMode) {
    SetCallError(kExtensionSecureMessage);
    return false;
  }
  const RPrepared& f = it->second;
  if (!f.code) {
    const std::string error = ExternalFunctionTable().Call(f.externalId, argc, args, result);
    if (error.empty()) return true;
    SetCallError(error);
    return false;
  }
  // The code stays alive for the call even if the table is reset inside it.
  const std::shared_ptr<CCode> code = f.code;
  const std::string name = f.name;
  result = RValue();
  EnterNamedArguments(name, args, argc);
  // As with scripts, an error pending from the caller's run is the one kept.
  const bool pendingBefore = CodeErrorPending();
  CodeErrorState before;
  if (pendingBefore) before = SaveCodeError();
  const bool ok = ExecuteCode(self, other, *code, result);
  if (!ok) {
    // Once, even when it failed deep inside its own recursion.
    const std::string prefix = "In extension function " + name + ":\r";
    if (PendingCodeError().compare(0, prefix.size(), prefix) != 0) SetPendingCodeError(prefix + PendingCodeError());
  }
  LeaveArguments();
  if (pendingBefore) RestoreCodeError(std::move(before));
  return ok;
}

}  // namespace kestro
