// The script resource functions: which scripts exist, their names and code texts. Scripts are
// only asked about: their code is compiled with the game.
#include <string>

#include "resources/Bindings.h"
#include "resources/GameResources.h"
#include "resources/ResourceArgs.h"

namespace kestro {

namespace {

KESTRO_BUILTIN(F_script_exists) { r.SetReal(Scripts().Exists(ArgIndex(a[0])) ? 1 : 0); }
KESTRO_BUILTIN(F_script_get_name) { SetText(r, Scripts().Name(ArgIndex(a[0]))); }
KESTRO_BUILTIN(F_script_get_text) {
  if (const CScript* s = Scripts().Get(ArgIndex(a[0])))
    SetText(r, s->s_text);
  else
    SetText(r, "");
}

constexpr RBinding kScriptResourceFunctions[] = {
    {"script_name", F_script_get_name},
    {"script_exists", F_script_exists},
    {"script_get_name", F_script_get_name},
    {"script_get_text", F_script_get_text},
};

}  // namespace

RBindingTable ScriptResourceFunctions() { return kScriptResourceFunctions; }

}  // namespace kestro
