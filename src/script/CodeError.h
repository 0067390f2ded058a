// The pending code error: the first error of one run of code (or of one compilation), with the
// line and column worked out from the code's text. Callers that show it put their own header in
// front. Process-wide, like the run-time's single thread of execution.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kestro {

class CCode;

// The pending state; saved and restored around work that must not disturb it.
struct CodeErrorState {
  bool pending = false;
  std::string message;
};

namespace code_error_detail {
extern CodeErrorState g_state;
}

// Records the message unless an error is already pending (the first error of a run is kept).
void ReportCodeError(const CCode* code, int32_t position, std::string_view message);

// The text ReportCodeError records, without touching the pending state. Line breaks inside the
// message are CR characters, as the error window splits them.
std::string FormatCodeError(const CCode* code, int32_t position, std::string_view message);

// Asked at every script call, so read inline.
inline bool CodeErrorPending() { return code_error_detail::g_state.pending; }
const std::string& PendingCodeError();
void ClearCodeError();
// Replaces the pending message and sets the flag (used to add prefixes such as the script name).
void SetPendingCodeError(std::string message);

// Saves and restores the pending state around work that must not disturb it.
CodeErrorState SaveCodeError();
void RestoreCodeError(CodeErrorState state);

}  // namespace kestro
