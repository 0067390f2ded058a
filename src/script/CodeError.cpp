#include "script/CodeError.h"

#include "script/Code.h"

namespace kestro {

namespace code_error_detail {
CodeErrorState g_state;
}
using code_error_detail::g_state;

std::string FormatCodeError(const CCode* code, int32_t position, std::string_view message) {
  if (code == nullptr) return std::string(message);
  const std::u16string& text = code->GetText();
  const int64_t len = static_cast<int64_t>(text.size());
  int64_t pos = position;
  if (pos > len) pos = len;
  if (pos < 1) pos = 1;
  const int64_t upto = pos <= len ? pos : 0;  // an empty text has no character to walk to

  int64_t line = 1, column = 0;
  for (int64_t i = 0; i < upto; ++i) {
    char16_t c = text[static_cast<size_t>(i)];
    if (c == u'\r' || (c == u'\n' && (i == 0 || text[static_cast<size_t>(i - 1)] != u'\r'))) {
      ++line;
      column = 0;
    } else {
      ++column;
    }
  }

  std::string out;
  if (code->i_kind == CodeKind::kProgram) {
    // The line is bounded by CR or LF on either side, so text with bare LF line ends (usual on
    // this platform) shows one line, and CR LF text shows the same as before.
    auto isBreak = [&](int64_t i) {
      char16_t c = text[static_cast<size_t>(i)];
      return c == u'\r' || c == u'\n';
    };
    int64_t start = upto > 0 ? upto - 1 : 0;  // index of the character at the position
    while (start > 0 && !isBreak(start - 1)) --start;
    int64_t end = start;
    while (end < len && !isBreak(end)) ++end;
    std::string lineText = Utf16ToUtf8(std::u16string_view(text).substr(static_cast<size_t>(start),
                                                                        static_cast<size_t>(end - start)));
    out = "Error in code at line " + std::to_string(line) + ":\r   " + lineText + "\r";
    out.append(static_cast<size_t>(column + 1), ' ');
    out += "^\rat position " + std::to_string(column) + ": ";
    out += message;
  } else {
    out = "Error in expression:" + Utf16ToUtf8(text) + "\r position " + std::to_string(column) + ": ";
    out += message;
  }
  return out;
}

void ReportCodeError(const CCode* code, int32_t position, std::string_view message) {
  if (g_state.pending) return;
  g_state.pending = true;
  g_state.message = FormatCodeError(code, position, message);
}

const std::string& PendingCodeError() { return g_state.message; }
void ClearCodeError() {
  g_state.pending = false;
  g_state.message.clear();
}
void SetPendingCodeError(std::string message) {
  g_state.pending = true;
  g_state.message = std::move(message);
}
CodeErrorState SaveCodeError() { return g_state; }
void RestoreCodeError(CodeErrorState state) { g_state = std::move(state); }

}  // namespace kestro
