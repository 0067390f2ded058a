// The `kestro` program: the run-time and its tools in one file. A copy with a game container
// appended is a standalone game and runs its own data.
#include <cstdio>
#include <string>

#include "tools/Commands.h"

int main(int argc, char** argv) {
  using namespace kestro::tools;
  Args rest(argv + (argc > 1 ? 2 : 1), argv + argc);
  if (argc > 1) {
    if (const Command* c = FindCommand(argv[1])) return c->run(rest);
  }
  std::fprintf(stderr, "usage: kestro <command> [options]\n");
  for (const Command& c : AllCommands()) std::fprintf(stderr, "  %-8s %s\n", c.name, c.summary);
  return 2;
}
