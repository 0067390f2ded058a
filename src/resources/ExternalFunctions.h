// Functions of native libraries that game code calls: the table `external_define` and the
// extension packages fill, one entry per defined function, and the calls through it. Loading and
// calling native code is the platform's (INativeCalls); the table decides what may be defined,
// where a library is looked for, and what a call passes and returns.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "script/Value.h"

namespace kestro {

// Argument and result kinds as game code names them (`ty_real`, `ty_string`).
enum class EExternalKind : int32_t { kReal = 0, kString = 1 };
// Calling conventions as game code names them (`dll_cdecl`, `dll_stdcall`). This platform has one C
// convention: the choice is kept with the function and otherwise ignored.
enum class ECallConvention : int32_t { kCdecl = 0, kStdcall = 1 };

inline constexpr int32_t kMaxExternalArguments = 16;
// Beyond this many arguments every argument is a real.
inline constexpr int32_t kMaxMixedExternalArguments = 4;

// One argument as handed to native code: a double, or zero-terminated UTF-8 bytes.
struct RNativeArgument {
  EExternalKind kind = EExternalKind::kReal;
  double real = 0;
  const char* text = "";
};

// The platform's side: libraries and calls. Handles are the platform's.
class INativeCalls {
 public:
  virtual ~INativeCalls() = default;
  // A file path, or a bare name the system's loader searches. Null when it cannot be loaded,
  // with the reason in `error`.
  virtual void* Open(const std::string& path, std::string& error) = 0;
  virtual void* Symbol(void* library, const std::string& name) = 0;
  virtual void Close(void* library) = 0;
  // Calls `function`; a string result is copied into `text` before this returns (a null pointer
  // reads as ""). False when the call could not be made.
  virtual bool Call(void* function, ECallConvention convention, std::span<const RNativeArgument> args,
                    EExternalKind resultKind, double& real, std::string& text) = 0;
};
// Installs the platform's calls (null: none, and no library loads). The object must outlive its use.
void SetNativeCalls(INativeCalls* calls);

// The messages of the calls, exactly as game code sees them.
namespace extmsg {
inline constexpr const char* kNoFunction = "Unable to find DLL function with id=";  // + the id
inline constexpr const char* kWrongCount = "Calling DLL function with wrong number of arguments.";
inline constexpr const char* kUnloaded = "Calling DLL function - unable to load DLL";
}  // namespace extmsg

struct RExternalFunction {
  int32_t library = -1;  // index into the table's libraries
  std::string name;
  void* address = nullptr;
  ECallConvention convention = ECallConvention::kCdecl;
  int32_t argCount = 0;
  EExternalKind argKinds[kMaxExternalArguments] = {};
  EExternalKind resultKind = EExternalKind::kReal;
};

class CExternalFunctions {
 public:
  // Defines a function of `library` (a file name as game code gives it, see
  // NativeLibraryCandidates) by its exact export name. -1 when refused (more than 16 arguments, a
  // string argument among more than 4, a negative count) or when the library or the export
  // cannot be found; `why` then says which. Otherwise the new id, counting from 0.
  int32_t Define(const std::string& library, const std::string& name, ECallConvention convention,
                 EExternalKind resultKind, int32_t argCount, std::span<const EExternalKind> argKinds,
                 std::string* why = nullptr);
  // Calls function `id` with `argc` arguments: a real argument passes the value's number, a
  // string argument its text (a real's string part: ""). On failure the result is real 0 and
  // the error text is returned; "" on success.
  std::string Call(int64_t id, int32_t argc, const RValue* args, RValue& result);
  // Frees the library loaded under that file name (compared without regard to case); its
  // functions stay defined but fail to call. False when no such library is loaded.
  bool Free(const std::string& library);
  // Frees every library and forgets every function (the end of a run; a table going away
  // without it leaves its libraries to the process's end).
  void Clear();
  int32_t Count() const { return int32_t(functions_.size()); }
  const RExternalFunction* Get(int32_t id) const {
    return id >= 0 && id < Count() ? &functions_[size_t(id)] : nullptr;
  }

 private:
  struct RLibrary {
    std::string key;  // the file name as given, in lower case
    void* handle = nullptr;  // null once freed
  };
  int32_t LoadLibrary(const std::string& library, std::string* why);

  std::vector<RLibrary> libraries_;
  std::vector<RExternalFunction> functions_;
};
// The run's table, shared by `external_define` and the extension packages.
CExternalFunctions& ExternalFunctionTable();

// Where a library file name of game code is looked for, in order. Games name libraries the
// other platform's way ("Tools.dll", folders with "\"); here:
// - "\" separates folders;
// - the file name itself, then for a name ending in ".dll" (any case) the same base name with
//   ".so" and with "lib" in front ("Tools.so", "libTools.so"), for a name without any extension
//   the name with ".so" and "lib" + name + ".so"; each also in lower case when that differs;
// - an absolute name is looked for in its own folder only; a relative one (with or without a
//   folder part) under each of `folders` in order (the game's folder, the working directory, the
//   temporary folder), the first existing file winning;
// - a name without a folder part is then handed to the system's loader as it is (so "libm.so.6"
//   and the like are found on the system's library path).
// Existing files come first (as paths), then the bare names for the system's search.
std::vector<std::string> NativeLibraryCandidates(const std::string& library, const std::vector<std::string>& folders);

}  // namespace kestro
