#include "script/Code.h"

#include "script/CodeError.h"
#include "script/Lexer.h"
#include "script/Lowering.h"
#include "script/NameLookup.h"
#include "script/Parser.h"

namespace kestro {

namespace {

class EmptyNames final : public IScriptNames {
 public:
  std::optional<int32_t> FindFunction(std::string_view) const override { return std::nullopt; }
  int32_t FunctionArgCount(int32_t) const override { return kUnknownFunction; }
  std::optional<RValue> FindConstant(std::string_view) const override { return std::nullopt; }
  std::string FunctionName(int32_t) const override { return ""; }
};

const EmptyNames g_emptyNames;
const IScriptNames* g_names = &g_emptyNames;

}  // namespace

const IScriptNames& ScriptNames() { return *g_names; }
void SetScriptNames(const IScriptNames* names) { g_names = names ? names : &g_emptyNames; }

void CCode::Create(std::string_view text, CodeKind kind) {
  Destroy();
  i_str = Utf8ToUtf16(text);
  i_kind = kind == CodeKind::kProgram ? CodeKind::kProgram : CodeKind::kExpression;
}

CCode::CCode() = default;
CCode::CCode(std::string_view text, CodeKind kind) { Create(text, kind); }
CCode::~CCode() = default;

void CCode::Destroy() {
  lowered_.reset();
  nodes_.clear();
  nodes_.shrink_to_fit();
  children_.clear();
  children_.shrink_to_fit();
  values_.clear();
  values_.shrink_to_fit();
  localIds_.clear();
  root_ = 0;
  i_compiled = false;
  i_value = RValue();
  i_Args = 0;
  i_ArgArray = false;
  compileError_.clear();
}

bool CCode::Compile(const IScriptNames* names) {
  const IScriptNames& lookup = names ? *names : ScriptNames();
  // A compile reports its own first error even when an earlier one is pending; on success the
  // earlier one is left pending as it was.
  CodeErrorState saved = SaveCodeError();
  ClearCodeError();
  compileError_.clear();
  auto fail = [&] {
    compileError_ = PendingCodeError();
    return false;
  };
  if (i_compiled) {
    ReportCodeError(this, 0, "Internal Error: Recompiling compiled code.");
    return fail();
  }
  const bool expression = i_kind != CodeKind::kProgram;
  RArgumentUse args;
  std::vector<RToken> toks;
  std::vector<RValue> constants;
  {
    const std::u16string text = ScanText(i_str);
    std::vector<RRawToken> raw;
    if (!LexFirstPass(this, text, raw)) return fail();
    if (!LexSecondPass(this, text, raw, lookup, args, toks, constants)) return fail();
  }
  if (!ParseTokens(*this, toks, constants, lookup, expression, root_)) {
    localIds_.clear();
    nodes_.clear();
    children_.clear();
    values_.clear();
    return fail();
  }
  if (expression && nodes_[root_].kind == tk_constant) {
    i_value = values_[nodes_[root_].value];
    i_kind = CodeKind::kConstantExpression;
  }
  i_compiled = true;
  i_Args = args.highest + 1;
  i_ArgArray = args.array;
  // The tokens go before the tree is trimmed to its size, so the two never add up.
  std::vector<RToken>().swap(toks);
  std::vector<RValue>().swap(constants);
  nodes_.shrink_to_fit();
  children_.shrink_to_fit();
  RestoreCodeError(std::move(saved));
  return true;
}

}  // namespace kestro
