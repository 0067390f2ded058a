// The program's native calls: the external function table loads and calls libraries through the
// POSIX layer (dlopen and libffi).
#pragma once

namespace kestro::tools {

void InstallNativeCalls();

}  // namespace kestro::tools
