// transition_define and transition_exists: the kinds of screen transition a game defines itself.
#include "graphics/Bindings.h"
#include "graphics/Transition.h"
#include "script/Numeric.h"
#include "script/builtins/BuiltinArgs.h"

namespace kestro {

namespace {

int Kind(const RValue& v) { return int(std::clamp<int64_t>(RoundToInt64(v.val), INT32_MIN, INT32_MAX)); }

KESTRO_BUILTIN(TransitionDefine) { r = RValue::Real(Transitions().Define(Kind(a[0]), ArgText(a[1])) ? 1 : 0); }
KESTRO_BUILTIN(TransitionExists) { r = RValue::Real(Transitions().Exists(Kind(a[0])) ? 1 : 0); }

const RBinding kTransitionFunctions[] = {
    {"transition_define", TransitionDefine},
    {"transition_exists", TransitionExists},
};

}  // namespace

RBindingTable TransitionFunctions() { return kTransitionFunctions; }

}  // namespace kestro
