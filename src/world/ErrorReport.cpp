#include "world/ErrorReport.h"

#include <cstdio>
#include <filesystem>
#include <utility>

#include "resources/Event.h"
#include "resources/GameResources.h"
#include "resources/GameSettings.h"
#include "io/RunState.h"
#include "script/CodeError.h"
#include "script/builtins/BuiltinError.h"

namespace kestro {

namespace {

IErrorWindow*& Window() {
  static IErrorWindow* window = nullptr;
  return window;
}

CErrorHooks& Hooks() {
  static CErrorHooks hooks;
  return hooks;
}

std::function<void(std::string_view)>& UndisplayedSink() {
  static std::function<void(std::string_view)> sink;
  return sink;
}

DebugMessageSink& DebugSink() {
  static DebugMessageSink sink;
  return sink;
}

// Until the game window exists the window is standard error: the same lines, and no wait.
EErrorChoice ShowOnStandardError(const CErrorMemo& memo, size_t firstNew, bool canIgnore) {
  const auto& lines = memo.Lines();
  for (size_t i = firstNew; i < lines.size(); ++i) std::fprintf(stderr, "%s\n", lines[i].c_str());
  std::fflush(stderr);
  return canIgnore ? EErrorChoice::kIgnore : EErrorChoice::kAbort;
}

// The text, then two empty lines. Failures are not shown: the log is a convenience, and an
// error about the error log would have nowhere to go.
void WriteLog(std::string_view text) {
  CErrorState& st = ErrorState();
  std::FILE* f = std::fopen(ErrorLogPath().c_str(), st.logNotWritten ? "wb" : "ab");
  if (!f) return;  // a later write still replaces the old file
  st.logNotWritten = false;
  std::fwrite(text.data(), 1, text.size(), f);
  std::fputs("\r\n\r\n\r\n", f);
  std::fclose(f);
}

std::string ObjectName(int32_t index) { return Objects().Name(index); }

std::string TriggerName(int32_t index) {
  return Triggers().Exists(index) ? Triggers().Name(index) : std::string("<Deleted>");
}

}  // namespace

REventContext& EventContext() {
  static REventContext context;
  return context;
}

size_t CErrorMemo::AddError(std::string_view text) {
  starts_.push_back(lines_.size());
  lines_.emplace_back();
  lines_.emplace_back(size_t(errwin::kSeparatorLength), '_');
  std::string line;
  for (char c : text) {
    if (c == '\r') {
      lines_.push_back(std::move(line));
      line.clear();
    } else if (c != '\n') {
      line.push_back(c);
    }
  }
  lines_.push_back(std::move(line));
  // Drop whole errors from the top while over the limit; the newest always stays.
  size_t dropped = 0;  // errors
  while (dropped + 1 < starts_.size() && lines_.size() - starts_[dropped] > kMaxLines) ++dropped;
  if (dropped > 0) {
    const size_t drop = starts_[dropped];  // lines
    lines_.erase(lines_.begin(), lines_.begin() + std::ptrdiff_t(drop));
    starts_.erase(starts_.begin(), starts_.begin() + std::ptrdiff_t(dropped));
    for (size_t& st : starts_) st -= drop;
  }
  return starts_.back();
}

std::string CErrorMemo::Text() const {
  std::string out;
  for (const std::string& l : lines_) {
    out += l;
    out += '\n';
  }
  return out;
}

CErrorMemo& ErrorMemo() {
  static CErrorMemo memo;
  return memo;
}

void SetErrorWindow(IErrorWindow* window) { Window() = window; }

CErrorState& ErrorState() {
  static CErrorState state;
  return state;
}

void SetErrorHooks(CErrorHooks hooks) { Hooks() = std::move(hooks); }

void SetUndisplayedErrorSink(std::function<void(std::string_view text)> sink) { UndisplayedSink() = std::move(sink); }

void ResetErrorReporting() {
  ErrorState() = CErrorState();
  ErrorMemo().Clear();
  Window() = nullptr;
  Hooks() = CErrorHooks();
  UndisplayedSink() = nullptr;
  EventContext() = REventContext();
  DebugSink() = nullptr;
}

std::string ErrorLogPath() {
  const std::string& folder = RunState().gameFolder;
  if (folder.empty()) return kErrorLogName;
  return (std::filesystem::path(folder) / kErrorLogName).string();
}

void HandleError(std::string_view text, bool fatal) {
  CErrorState& st = ErrorState();
  if (st.terminating) return;
  const CGameSettings& settings = GameSettings();
  if (settings.abortOnAllErrors) fatal = true;

  if (settings.displayErrors) {
    CErrorMemo& memo = ErrorMemo();
    size_t first = memo.AddError(text);
    EErrorChoice choice = Window() ? Window()->Show(memo, first, !fatal)
                                   : ShowOnStandardError(memo, first, !fatal);
    if (choice != EErrorChoice::kIgnore) fatal = true;
  } else if (UndisplayedSink()) {
    UndisplayedSink()(text);
  }
  // Keys held while the window was open must not stay pressed.
  if (Hooks().resetInput) Hooks().resetInput();
  if (settings.writeErrorLog) WriteLog(text);

  st.errorLast.assign(text);
  st.errorOccurred = true;
  if (fatal) {
    st.terminating = true;
    if (Hooks().abortGame) Hooks().abortGame();
  }
}

std::string ActionErrorText(std::string_view message, bool fatal) {
  const REventContext& ctx = EventContext();
  std::string t = fatal ? "FATAL ERROR in\r\n" : "ERROR in\r\n";
  t += "action number " + std::to_string(int64_t(ctx.actionIndex) + 1) + "\r\n";
  if (ctx.eventType == kTimeLineEventType) {
    t += "at time step " + std::to_string(ctx.eventNumber) + "\r\n";
    t += "of time line " + TimeLines().Name(ctx.objectIndex) + ":";
  } else {
    std::string other = ctx.eventType == kEvCollision ? ObjectName(ctx.eventNumber) : std::string();
    std::string trigger = ctx.eventType == kEvTrigger ? TriggerName(ctx.eventNumber) : std::string();
    t += "of " + EventName(ctx.eventType, ctx.eventNumber, other, trigger) + "\r\n";
    t += "for object " + ObjectName(ctx.objectIndex) + ":";
  }
  t += "\r\n\r\n";
  t += message;
  return t;
}

void ReportActionError(std::string_view message, bool fatal) {
  if (ErrorTerminating()) return;
  HandleError(ActionErrorText(message, fatal), fatal);
}

void HandlePendingCodeError(std::string_view header, bool fatal) {
  if (!CodeErrorPending()) return;
  std::string text(header);
  text += PendingCodeError();
  ClearCodeError();
  HandleError(text, fatal);
}

void ReportPendingCodeErrorAsAction(std::string_view header, bool fatal) {
  if (!CodeErrorPending()) return;
  std::string text(header);
  text += PendingCodeError();
  ClearCodeError();
  ReportActionError(text, fatal);
}

void InstallErrorReporting() {
  SetBuiltinErrorHandler([](std::string_view message, bool fatal) { ReportActionError(message, fatal); });
}

namespace errhdr {
std::string ScriptCompile(std::string_view scriptName) {
  return "COMPILATION ERROR in Script: " + std::string(scriptName) + "\r";
}
std::string ArgumentCompile(int32_t argument) {
  return "COMPILATION ERROR in argument " + std::to_string(argument) + "\r";
}
std::string TriggerCompile(std::string_view triggerName) {
  return "COMPILATION ERROR in condition of trigger " + std::string(triggerName) + "\r";
}
std::string TriggerRun(std::string_view triggerName) {
  return "ERROR in trigger " + std::string(triggerName) + "\r\n";
}
std::string InstanceCreation(bool compiling, int32_t id, std::string_view roomName) {
  return std::string(compiling ? "COMPILATION" : "EXECUTION") + " ERROR in creation code for instance " +
         std::to_string(id) + " in room " + std::string(roomName) + "\r";
}
std::string RoomCreation(bool compiling, std::string_view roomName) {
  return std::string(compiling ? "COMPILATION" : "EXECUTION") + " ERROR in creation code of room " +
         std::string(roomName) + "\r";
}
}  // namespace errhdr

void SetDebugMessageSink(DebugMessageSink sink) { DebugSink() = std::move(sink); }

void AddDebugMessage(const std::string& text) {
  if (DebugSink()) {
    DebugSink()(text);
    return;
  }
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

}  // namespace kestro
