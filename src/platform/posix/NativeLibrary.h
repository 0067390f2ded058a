// Native code for game code: loading a shared library by path, looking up its exports, and calling
// an export with doubles and zero-terminated byte strings (libffi builds the call). The model
// reaches this through its own interface (resources/ExternalFunctions.h, INativeCalls); nothing
// else in the program loads code.
#pragma once

#include <cstddef>
#include <string>

namespace kestro::os {

// Loads the library now, with every symbol it needs bound at once: a library with a missing
// dependency fails here instead of ending the process at its first call. `path` with a "/" is a
// file; a bare name is searched the system's way. Null on failure, with the reason in `error`.
void* OpenNativeLibrary(const std::string& path, std::string& error);
// The export's address, or null.
void* NativeSymbol(void* library, const std::string& name);
void CloseNativeLibrary(void* library);

// One argument: a double, or a pointer to zero-terminated bytes.
struct RNativeArgument {
  bool isText = false;
  double real = 0;
  const char* text = nullptr;
};
inline constexpr size_t kMaxNativeArguments = 16;

// Calls `function` with the C calling convention of this platform and reads a double result, or
// a pointer result when `textResult` (null stays null). False, and nothing called, when the call
// cannot be built (no function, more than kMaxNativeArguments).
bool CallNative(void* function, const RNativeArgument* args, size_t count, bool textResult, double& real,
                const char*& text);

}  // namespace kestro::os
