#include "resources/Action.h"

#include "io/Messages.h"
#include "io/Stream.h"
#include "script/Code.h"
#include "script/NameLookup.h"

namespace kestro {

// The version of an action's stored form.
constexpr int32_t kActionVersion = 440;

namespace {
bool g_reportMissing = false;
}

void SetReportMissingActionFunctions(bool on) { g_reportMissing = on; }

void CAction::CreateCode(const std::string& text) {
  Clear();
  act_kind = kActCode;
  act_exetype = kExeCode;
  act_argstring[0] = text;
}

bool CAction::LoadFromStream(CStream& s) {
  Clear();
  if (s.ReadInteger() != kActionVersion) return true;
  act_libid = s.ReadInteger();
  act_id = s.ReadInteger();
  act_kind = s.ReadInteger();
  act_userelative = s.ReadBoolean();
  act_isquestion = s.ReadBoolean();
  act_useapplyto = s.ReadBoolean();
  act_exetype = s.ReadInteger();
  act_funcname = s.ReadString();
  act_codestring = s.ReadString();
  act_argumentcount = s.ReadInteger();
  int32_t k = s.ReadInteger();
  if (k < 0 || k > kMaxActionArgs) return false;
  storedArgTypes = k;
  for (int i = 0; i < k; ++i) act_argtype[size_t(i)] = s.ReadInteger();
  act_who = s.ReadInteger();
  act_relative = s.ReadBoolean();
  int32_t m = s.ReadInteger();
  if (m < 0 || m > kMaxActionArgs) return false;
  storedArgStrings = m;
  for (int i = 0; i < m; ++i) act_argstring[size_t(i)] = s.ReadString();
  act_isnot = s.ReadBoolean();
  if (act_argumentcount < 0 || act_argumentcount > kMaxActionArgs) return false;
  ResolveFunction(ScriptNames());
  return true;
}

void CAction::ResolveFunction(const IScriptNames& names) {
  std::optional<int32_t> id = names.FindFunction(act_funcname);
  act_functionid = id ? *id : -1;
  if (!id && act_exetype == kExeFunction && g_reportMissing)
    ShowMessage("Failed to locate action function " + act_funcname);
}

bool CAction::Compile(const IScriptNames* names, int* failedArgument) {
  if (prepared) return true;
  if (act_kind == kActVariable) {
    act_codestring = act_argstring[0] + (act_relative ? " += " : " = ") + act_argstring[1];
    act_kind = kActNormal;
    act_argumentcount = 0;
  } else if (act_kind == kActCode) {
    act_codestring = act_argstring[0];
    act_kind = kActNormal;
    act_argumentcount = 0;
  }
  act_codecode.reset();
  if (act_exetype == kExeCode) {
    auto code = std::make_shared<CCode>(act_codestring, CodeKind::kProgram);
    if (!code->Compile(names)) {
      if (failedArgument) *failedArgument = -1;
      return false;
    }
    act_codecode = std::move(code);
  }
  act_codestring.clear();
  for (auto& c : act_argcode) c.reset();
  for (int i = 0; i < act_argumentcount; ++i) {
    const size_t k = size_t(i);
    std::string& text = act_argstring[k];
    int& kind = act_argtype[k];
    if (kind == 2) kind = !text.empty() && (text[0] == '\'' || text[0] == '"') ? 0 : 1;
    if (kind == 1 || kind == 15) {
      act_argvalue[k] = RValue::String(RString(text));
      kind = -1;
    } else {
      auto code = std::make_shared<CCode>(text, CodeKind::kExpression);
      if (!code->Compile(names)) {
        if (failedArgument) *failedArgument = i;
        return false;
      }
      if (code->i_kind == CodeKind::kConstantExpression) {
        act_argvalue[k] = code->i_value;
        kind = -1;
      } else {
        kind = 0;
        act_argcode[k] = std::move(code);
      }
    }
    text.clear();
  }
  prepared = true;
  return true;
}

void CAction::SaveToStream(CStream& s) const {
  s.WriteInteger(kActionVersion);
  s.WriteInteger(act_libid);
  s.WriteInteger(act_id);
  s.WriteInteger(act_kind);
  s.WriteBoolean(act_userelative);
  s.WriteBoolean(act_isquestion);
  s.WriteBoolean(act_useapplyto);
  s.WriteInteger(act_exetype);
  s.WriteString(act_funcname);
  s.WriteString(act_codestring);
  s.WriteInteger(act_argumentcount);
  s.WriteInteger(storedArgTypes);
  for (int i = 0; i < storedArgTypes; ++i) s.WriteInteger(act_argtype[size_t(i)]);
  s.WriteInteger(act_who);
  s.WriteBoolean(act_relative);
  s.WriteInteger(storedArgStrings);
  for (int i = 0; i < storedArgStrings; ++i) s.WriteString(act_argstring[size_t(i)]);
  s.WriteBoolean(act_isnot);
}

}  // namespace kestro
