// The binding tables of the file families; the program installs them where it is composed
// (SetBuiltinBindings, SetVariableBindings).
#pragma once

#include "script/builtins/BuiltinVariables.h"
#include "script/builtins/FunctionRegistry.h"

namespace kestro {

RBindingTable FileFunctions();      // file_bin_*, file_text_*, file_*, directory_*, filename_*, execute_*, ...
RBindingTable RegistryFunctions();  // registry_*
RBindingTable IniFunctions();       // ini_*

RVariableBindingTable FileVariables();  // working_directory, program_directory, temp_directory, secure_mode

}  // namespace kestro
