// Error reporting of a run: every error in game code and every error a built-in function finds
// ends here. A message gets the header of the action that was running (or a caller's own
// header), then, as the game's settings say, is shown in the error window (ignore or abort),
// appended to "game_errors.log" and remembered for `error_last` and `error_occurred`. A fatal
// error ends the game; once it has, later errors are dropped.
//
// Three layers: the pending code error (CodeError.h), the action header (ReportActionError) and
// the final handling (HandleError).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kestro {

// ---------------------------------------------------------------------------------------------
// What was running: set by the event dispatcher before each action, read by the action header.

// The event type of a time line moment.
inline constexpr int32_t kTimeLineEventType = 100000;

struct REventContext {
  int32_t objectIndex = -1;  // defining object, or the time line of a moment
  int32_t eventType = 0;     // event type, or kTimeLineEventType
  int32_t eventNumber = 0;   // event number, or the moment's step
  int32_t actionIndex = 0;   // 0-based place of the action in its event
};

// The process-wide context; the dispatcher writes it.
REventContext& EventContext();

// Sets the context for the lifetime of the scope and puts the previous one back afterwards
// (events that run inside other events' actions).
class CEventContextScope {
 public:
  explicit CEventContextScope(const REventContext& context) : saved_(EventContext()) {
    EventContext() = context;
  }
  ~CEventContextScope() { EventContext() = saved_; }
  CEventContextScope(const CEventContextScope&) = delete;
  CEventContextScope& operator=(const CEventContextScope&) = delete;

 private:
  REventContext saved_;
};

// ---------------------------------------------------------------------------------------------
// The error window.

namespace errwin {
inline constexpr const char* kCaption = "Error Messages";
inline constexpr int kClientWidth = 499, kClientHeight = 361;
inline constexpr const char* kAbort = "&Abort";
inline constexpr const char* kAbortHint = "Abort the execution of the game";
inline constexpr const char* kIgnore = "&Ignore";
inline constexpr const char* kIgnoreHint = "Ignore the error and continue the game";
inline constexpr const char* kCopy = "&Copy";
inline constexpr const char* kCopyHint = "Copy the error messages to the clipboard";
inline constexpr const char* kClear = "C&lear";
inline constexpr const char* kClearHint = "Clear the list of error messages";
inline constexpr int kSeparatorLength = 43;  // underscores above each error
}  // namespace errwin

// The window's list: every error shown during the process, one below the other. The oldest
// errors are dropped beyond kMaxLines, so a game that errs every step in a long unattended run
// does not grow without end.
class CErrorMemo {
 public:
  // An empty line, the separator of underscores, then the text split at each CR (LF dropped).
  // Returns the index of the first added line.
  size_t AddError(std::string_view text);
  void Clear() {  // the Clear button
    lines_.clear();
    starts_.clear();
  }
  const std::vector<std::string>& Lines() const { return lines_; }
  // The whole list as text (the Copy button): lines joined by line feeds.
  std::string Text() const;

  static constexpr size_t kMaxLines = 10000;

 private:
  std::vector<std::string> lines_;
  std::vector<size_t> starts_;  // first line of each error still kept
};
CErrorMemo& ErrorMemo();

// How the player closed the window. Anything but Ignore (Abort, the system menu) counts as Abort.
enum class EErrorChoice { kIgnore, kAbort };

// Shown modally by the platform layer once the game window exists.
class IErrorWindow {
 public:
  virtual ~IErrorWindow() = default;
  // The memo has just received the error's lines from `firstNew` on; show it scrolled to its
  // end, with the Ignore button only when `canIgnore`.
  virtual EErrorChoice Show(const CErrorMemo& memo, size_t firstNew, bool canIgnore) = 0;
};

// nullptr: the default, which writes the new lines to standard error and never waits (Ignore
// for a non-fatal error), so headless runs are never blocked.
void SetErrorWindow(IErrorWindow* window);

// ---------------------------------------------------------------------------------------------
// Run-wide state.

struct CErrorState {
  bool errorOccurred = false;  // `error_occurred`
  std::string errorLast;       // `error_last`
  bool logNotWritten = true;   // the first log write of the run replaces the file
  bool terminating = false;    // set by a fatal error; later errors are dropped
};
CErrorState& ErrorState();
inline bool ErrorTerminating() { return ErrorState().terminating; }

// Calls into subsystems that come later; empty ones do nothing.
struct CErrorHooks {
  std::function<void()> resetInput;  // forget held keys and buttons after the window
  std::function<void()> abortGame;   // pending change -400 and ask the application to end
};
void SetErrorHooks(CErrorHooks hooks);
// Receives the text of every error the settings do not display (a run prints it on standard
// error, so no error goes unseen). Empty: nothing.
void SetUndisplayedErrorSink(std::function<void(std::string_view text)> sink);

// Back to the state of a fresh process: error state, memo, window, hooks, event context and
// debug message receiver.
void ResetErrorReporting();

// ---------------------------------------------------------------------------------------------
// Reporting.

inline constexpr const char* kErrorLogName = "game_errors.log";
// The log file: in the game's folder, or the current directory when no game is loaded.
std::string ErrorLogPath();

// Shows, logs and records a complete text (the final layer).
void HandleError(std::string_view text, bool fatal);

// The text of an action error: the header naming the action, event and object (or the moment
// and time line) of the current event context, then the message.
std::string ActionErrorText(std::string_view message, bool fatal);
// Builds the action text around the message and handles it.
void ReportActionError(std::string_view message, bool fatal);

// Hands the pending code error to HandleError behind `header` and clears it. Nothing when no
// error is pending. For the callers that build their own header (the texts below).
void HandlePendingCodeError(std::string_view header, bool fatal);
// The same, inside the action header (failed code actions and argument compilation).
void ReportPendingCodeErrorAsAction(std::string_view header, bool fatal);

// Routes built-in function errors (ReportBuiltinError) through ReportActionError.
void InstallErrorReporting();

// Headers put in front of the pending code error by callers that handle errors directly.
namespace errhdr {
std::string ScriptCompile(std::string_view scriptName);          // fatal
inline constexpr const char* kCodeActionCompile = "COMPILATION ERROR in code action\r";  // in action header, fatal
std::string ArgumentCompile(int32_t argument);                   // in action header, fatal; from 0
std::string TriggerCompile(std::string_view triggerName);        // fatal
inline constexpr const char* kLibraryCompile = "COMPILATION ERROR in library initialization code\r";  // fatal
std::string TriggerRun(std::string_view triggerName);            // not fatal
std::string InstanceCreation(bool compiling, int32_t id, std::string_view roomName);  // not fatal
std::string RoomCreation(bool compiling, std::string_view roomName);                 // not fatal
inline constexpr const char* kExecuteString = "COMPILATION ERROR in string to be executed\r";  // not fatal
inline constexpr const char* kExecuteFile = "COMPILATION ERROR in file to be executed\r";      // not fatal
}  // namespace errhdr

// ---------------------------------------------------------------------------------------------
// Debug messages (`show_debug_message`): the debug window installs its own receiver; without
// one the text goes to standard output, a line each.
using DebugMessageSink = std::function<void(const std::string& text)>;
void SetDebugMessageSink(DebugMessageSink sink);  // empty: standard output
void AddDebugMessage(const std::string& text);

}  // namespace kestro
