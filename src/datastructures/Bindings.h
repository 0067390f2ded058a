// The binding tables of the data structures; the program installs them where it is composed
// (SetBuiltinBindings).
#pragma once

#include "script/builtins/FunctionRegistry.h"

namespace kestro {

RBindingTable DataStructureFunctions();  // ds_* of stacks, queues, lists, maps, priority queues, grids

}  // namespace kestro
