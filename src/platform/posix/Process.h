// Process-level services: the program's own file, priorities.
#pragma once

#include <string>

namespace kestro::os {

// The path of the running program's own file.
std::string SelfExecutablePath();

// 0 normal, 1 above normal, 2 high; other values change nothing. False when refused.
bool SetProcessPriority(int level);

}  // namespace kestro::os
