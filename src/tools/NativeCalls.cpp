#include "tools/NativeCalls.h"

#include <array>

#include "platform/posix/NativeLibrary.h"
#include "resources/ExternalFunctions.h"

namespace kestro::tools {

namespace {

class CPosixNativeCalls final : public INativeCalls {
 public:
  void* Open(const std::string& path, std::string& error) override { return os::OpenNativeLibrary(path, error); }
  void* Symbol(void* library, const std::string& name) override { return os::NativeSymbol(library, name); }
  void Close(void* library) override { os::CloseNativeLibrary(library); }
  // The convention is not passed on: this platform has one C calling convention.
  bool Call(void* function, ECallConvention, std::span<const RNativeArgument> args, EExternalKind resultKind,
            double& real, std::string& text) override {
    if (args.size() > os::kMaxNativeArguments) return false;
    std::array<os::RNativeArgument, os::kMaxNativeArguments> native;
    for (size_t i = 0; i < args.size(); ++i)
      native[i] = {args[i].kind == EExternalKind::kString, args[i].real, args[i].text};
    const char* result = nullptr;
    if (!os::CallNative(function, native.data(), args.size(), resultKind == EExternalKind::kString, real, result))
      return false;
    // The bytes belong to the library and may change with its next call: copied at once.
    text = result ? result : "";
    return true;
  }
};

}  // namespace

void InstallNativeCalls() {
  static CPosixNativeCalls calls;
  SetNativeCalls(&calls);
}

}  // namespace kestro::tools
