#include "platform/posix/NativeLibrary.h"

#include <dlfcn.h>
#include <ffi.h>

#include <cstdint>

namespace kestro::os {

void* OpenNativeLibrary(const std::string& path, std::string& error) {
  dlerror();
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* why = dlerror();
    error = why ? why : path + ": cannot be loaded";
  }
  return handle;
}

void* NativeSymbol(void* library, const std::string& name) {
  if (library == nullptr || name.empty()) return nullptr;
  return dlsym(library, name.c_str());
}

void CloseNativeLibrary(void* library) {
  if (library) dlclose(library);
}

bool CallNative(void* function, const RNativeArgument* args, size_t count, bool textResult, double& real,
                const char*& text) {
  if (function == nullptr || count > kMaxNativeArguments) return false;
  ffi_type* types[kMaxNativeArguments];
  void* values[kMaxNativeArguments];
  for (size_t i = 0; i < count; ++i) {
    types[i] = args[i].isText ? &ffi_type_pointer : &ffi_type_double;
    // libffi reads each argument from the address given; it never writes through it.
    values[i] = args[i].isText ? const_cast<void*>(static_cast<const void*>(&args[i].text))
                               : const_cast<void*>(static_cast<const void*>(&args[i].real));
  }
  ffi_cif cif;
  if (ffi_prep_cif(&cif, FFI_DEFAULT_ABI, unsigned(count), textResult ? &ffi_type_pointer : &ffi_type_double,
                   types) != FFI_OK)
    return false;
  auto entry = reinterpret_cast<void (*)()>(function);
  if (textResult) {
    // A pointer result is returned in a full register-sized slot.
    ffi_arg slot = 0;
    ffi_call(&cif, entry, &slot, values);
    text = reinterpret_cast<const char*>(static_cast<uintptr_t>(slot));
  } else {
    double value = 0;
    ffi_call(&cif, entry, &value, values);
    real = value;
  }
  return true;
}

}  // namespace kestro::os
