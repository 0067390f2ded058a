#include "tools/Commands.h"
namespace kestro::tools {
int RunCommand(const Args&) { return 1; }
int BuildCommand(const Args&) { return 1; }
int InfoCommand(const Args&) { return 1; }
}
