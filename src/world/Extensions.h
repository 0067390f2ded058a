// Extension packages at run time: preparing them (their constants defined, library functions bound
// through the external function table, script functions compiled), calling their functions by
// id for code and actions, and the initialization and finalization calls at game start and end.
#pragma once

#include <cstdint>

#include "script/Value.h"

namespace kestro {

class CInstance;

inline constexpr const char* kExtensionSecureMessage = "In secure mode you cannot use extension packages.";

// The preparation step: defines every constant of every file (a bad one shows its message and is
// skipped), binds every library function (one that cannot be bound stays uncallable; a verbose
// run says why) and compiles every script function. False after a compile error, reported as a
// fatal error naming the package. Installs the calls as the language's extension functions.
bool PrepareExtensions();
// The initialization (finalization) function of every file of every package, in order, each
// called with a temporary instance and no arguments. Secure mode, a function the file does not
// have and a call that fails are fatal errors and stop the sequence: false. Only a game whose
// start initialized every package finalizes them at its end (a library whose start failed is
// never asked to clean up).
bool InitializeExtensions();
bool FinalizeExtensions();
// No function prepared and no library loaded: the end of a run.
void ResetExtensions();

// Runs the function with id `id` (its s_id). A library function goes through the external
// function table, a script function runs its code with the arguments as argument0 ... and its
// name as the running script's. False, with the error pending, when the id names no prepared
// function, in secure mode, or when the call fails.
bool CallExtensionFunction(int32_t id, CInstance* self, CInstance* other, int32_t argc, const RValue* args,
                           RValue& result);

}  // namespace kestro
