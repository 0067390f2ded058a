// The scheduling priority game code asks for with set_program_priority.
#pragma once

namespace kestro::os {

// -3 idle (the idle scheduling class), -2 lowest, -1 below normal, 0 normal, 1 above normal,
// 2 high, 3 real-time (the highest the system allows a normal user). Raising the priority needs
// privileges on Linux; a refusal leaves the priority as it was and gives false.
bool SetProgramPriority(int level);

}  // namespace kestro::os
