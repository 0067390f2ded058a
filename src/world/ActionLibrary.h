// What the two halves of the action library share (world/ActionFunctions.cpp for the world,
// graphics/ActionDrawFunctions.cpp for drawing and input).
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "script/Value.h"

namespace kestro {

class CInstance;

// Calls the built-in function `name` with the given arguments and returns its result: actions that
// wrap a function of another family behave exactly as that function does, whichever layer it is in.
// A name the registry does not hold gives real 0.
RValue CallBuiltin(std::string_view name, CInstance* self, CInstance* other, std::initializer_list<RValue> args);

// The comparison argument of the question actions: 1 smaller than, 2 larger than, anything else
// equal (an exact comparison of the reals).
bool CompareForAction(double value, double with, double op);

// A message of an action: "#" is a line break, "\#" a "#".
std::string ActionMessageText(std::string_view text);

// A value drawn by an action: a string as it is, an integral real without decimals, any other real
// with two.
std::string ActionValueText(const RValue& v);

// The particle actions' own system and their type and emitter slots forgotten (the particle
// store was emptied: the ids they held may now name what game code makes).
void ResetActionParticles();

}  // namespace kestro
