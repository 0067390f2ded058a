// Wires the subsystems into the start-up sequence: each preparation step and the run itself.
#pragma once

#include <string>
#include <vector>

#include "runner/Runner.h"

namespace kestro::tools {

CRunHooks MakeRunHooks();

int RunGameFile(const std::string& gameFile, const std::vector<std::string>& parameters, bool verbose);

}  // namespace kestro::tools
