// Every test program of the model and the platform runs with the program's built-in functions, as
// the `kestro` program does.
#include <gtest/gtest.h>

#include "tools/Bindings.h"

int main(int argc, char** argv) {
  kestro::tools::InstallGameBindings();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
