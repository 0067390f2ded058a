#include "debug/DebugWindow.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "debug/DebugText.h"
#include "io/Messages.h"
#include "runner/MainLoop.h"
#include "script/Code.h"
#include "script/CodeError.h"
#include "script/Executor.h"
#include "world/GameState.h"
#include "world/Instance.h"
#include "world/World.h"

namespace kestro::debug {

namespace {

constexpr RCommand kCommands[kCommandCount] = {
    {"Action_Run", "&Run", "Run or resume the game", "Ctrl+Alt+R"},
    {"Action_Pause", "&Pause", "Pause the game", "Ctrl+Alt+P"},
    {"Action_Step", "&Step", "Take a single step", "Ctrl+Alt+S"},
    {"Action_Restart", "R&estart", "Restart the game", "Ctrl+Alt+N"},
    {"Action_Stop", "Stop", "Ends the game", "Alt+F4"},
    {"Action_Watch_Add", "&Add", "Add an expression to watch", "Ctrl+A"},
    {"Action_Watch_Change", "C&hange", "Change the selected watch expression", "Ctrl+H"},
    {"Action_Watch_Delete", "&Delete", "Delete the selected watch expression", "Del"},
    {"Action_Watch_Clear", "&Clear", "Clear all watch expressions", "Ctrl+C"},
    {"Action_Watch_Load", "&Load ...", "Load the watch expressions from a file", "Ctrl+L"},
    {"Action_Watch_Save", "Sa&ve ...", "Save the watched expressions to a file", "Ctrl+S"},
    {"Action_Execute", "&Execute Code ...", "Execute a piece of code", "Ctrl+E"},
    {"Action_Speed", "&Set Speed ...", "Set the speed of the game", ""},
    {"Action_Show_Global", "Show &Global Variables", "Show the most important global variables", ""},
    {"Action_Show_Local", "Show &Local Variables", "Show the variables local to an instance", ""},
    {"Action_Show_Instances", "Show &Instances", "Shows all the instances", ""},
    {"Action_Show_Messages", "Show &Messages", "", ""},
};

// A temporary instance (id 0, object 0, at (0, 0), in no room) is self and other; the error the
// code leaves pending is dropped, and one pending before stays.
bool RunCode(const CCode& code, RValue& result) {
  CInstance temp;
  temp.Create(0, 0, 0, 0);
  return ExecuteCodeValue(&temp, &temp, code, result);
}

// The whole text of an integer (an optional sign and decimal digits, spaces around), in range.
bool ParseInteger(const std::string& text, int& out) {
  const char* s = text.c_str();
  while (*s == ' ' || *s == '\t') ++s;
  if (*s == '\0') return false;
  char* end = nullptr;
  errno = 0;
  const long long n = std::strtoll(s, &end, 10);
  if (end == s || errno != 0 || n < INT_MIN || n > INT_MAX) return false;
  while (*end == ' ' || *end == '\t') ++end;
  if (*end != '\0') return false;
  out = int(n);
  return true;
}

}  // namespace

const RCommand& Command(ECommand c) { return kCommands[c < 0 || c >= kCommandCount ? 0 : c]; }

const std::vector<RMenu>& Menus() {
  static const std::vector<RMenu> menus = {
      {"&Run", {kRun, kPause, kStep, kSeparator, kRestart, kStop}},
      {"&Watch", {kWatchAdd, kWatchChange, kWatchDelete, kWatchClear, kSeparator, kWatchLoad, kWatchSave}},
      {"&Tools", {kExecute, kSpeed, kSeparator, kShowGlobal, kShowLocal, kShowInstances, kShowMessages}},
  };
  return menus;
}

const std::vector<int>& ToolbarItems() {
  static const std::vector<int> items = {kRun,       kPause,    kStep,        kRestart,     kStop,
                                         kSeparator, kWatchAdd, kWatchChange, kWatchDelete, kWatchClear};
  return items;
}

std::string WithDefaultExtension(const std::string& name) {
  if (name.empty() || std::filesystem::path(name).has_extension()) return name;
  return name + "." + kDefaultExtension;
}

CDebugWindow::CDebugWindow() { panels_[2] = "mouse id: "; }

CDebugWindow& DebugWindow() {
  static CDebugWindow window;
  return window;
}

// --- the run ---

void CDebugWindow::Show(IDebugView* view) {
  active_ = true;
  shown_ = true;
  view_ = view;
  if (view_) view_->Open(*this);
}

void CDebugWindow::End() {
  if (view_) view_->Close();
  view_ = nullptr;
  loop_ = nullptr;
  active_ = shown_ = false;
}

void CDebugWindow::WireLoop(CLoopHooks& hooks) {
  hooks.endOfStep = [this, then = hooks.endOfStep] {
    if (then) then();
    Refresh();
  };
  hooks.pumpMessages = [this, then = hooks.pumpMessages] {
    if (then) then();
    if (view_) view_->Pump();
  };
  hooks.whilePaused = [this] { return view_ && shown_ && view_->WaitWhilePaused(); };
}

void CDebugWindow::Close() {
  if (loop_ && loop_->Running() && loop_->Paused()) {
    loop_->Stop();
    return;
  }
  shown_ = false;
}

// --- run controls ---

bool CDebugWindow::Enabled(ECommand c) const {
  const bool running = active_ && loop_ && loop_->Running();
  const bool paused = running && loop_->Paused();
  switch (c) {
    case kRun:
    case kStep: return paused;
    case kPause: return running && !paused;
    case kRestart:
    case kStop: return running;
    default: return active_;
  }
}

void CDebugWindow::Run() {
  if (Enabled(kRun)) loop_->Resume();
}

void CDebugWindow::Pause() {
  if (Enabled(kPause)) loop_->Pause();
}

void CDebugWindow::Step() {
  if (Enabled(kStep)) loop_->StepOnce();
}

void CDebugWindow::Restart() {
  if (Enabled(kRestart)) loop_->Restart();
}

void CDebugWindow::Stop() {
  if (Enabled(kStop)) loop_->Stop();
}

// --- watches ---

RInputRequest CDebugWindow::AddRequest() { return {"Provide an expression.", "Please type in the expression", ""}; }

RInputRequest CDebugWindow::ChangeRequest(int row) const {
  RInputRequest r = AddRequest();
  if (row >= 1 && row <= int(watches_.size())) r.initial = watches_[size_t(row - 1)].expression;
  return r;
}

void CDebugWindow::AddWatch(const std::string& expression) {
  if (expression.empty()) return;
  watches_.push_back({expression, ""});
  Refresh();
}

void CDebugWindow::ChangeWatch(int row, const std::string& expression) {
  if (row == RowCount() - 1) return AddWatch(expression);
  if (row < 1 || row > int(watches_.size())) return;
  watches_[size_t(row - 1)].expression = expression;
  Refresh();
}

void CDebugWindow::DeleteWatch(int row) {
  if (row < 1 || row > int(watches_.size())) return;
  watches_.erase(watches_.begin() + (row - 1));
}

void CDebugWindow::ClearWatches() { watches_.clear(); }

bool CDebugWindow::LoadWatches(const std::string& file, std::string& error) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    error = "Cannot open file \"" + file + "\".";
    return false;
  }
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    watches_.push_back({line, ""});
  }
  Refresh();
  return true;
}

bool CDebugWindow::SaveWatches(const std::string& file, std::string& error) const {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  for (const RWatch& w : watches_) out << w.expression << "\r\n";
  out.flush();
  if (!out) {
    error = "Cannot create file \"" + file + "\".";
    return false;
  }
  return true;
}

void CDebugWindow::EvaluateWatches() {
  const CodeErrorState before = SaveCodeError();
  for (RWatch& w : watches_) {
    ClearCodeError();
    CCode code(w.expression, CodeKind::kExpression);
    if (!code.Compile()) {
      w.value = kCompileError;
      continue;
    }
    RValue result;
    w.value = RunCode(code, result) ? ValueText(result) : kRunError;
  }
  RestoreCodeError(before);
}

// --- tools ---

RInputRequest CDebugWindow::ExecuteRequest() const {
  return {"Execute some code.", "Please type in the code", lastCode_};
}

bool CDebugWindow::ExecuteCode(const std::string& code) {
  lastCode_ = code;
  if (code.empty()) return true;
  const CodeErrorState before = SaveCodeError();
  ClearCodeError();
  CCode program(code, CodeKind::kProgram);
  bool ok = program.Compile();
  if (ok) {
    RValue result;
    RunCode(program, result);
  }
  RestoreCodeError(before);
  if (!ok) Message(kCompileError);
  return ok;
}

RInputRequest CDebugWindow::SpeedRequest() const {
  return {"Changing Game Speed.", "Please provide the new speed", std::to_string(World().Room().r_speed)};
}

bool CDebugWindow::SetSpeed(const std::string& text) {
  int speed = 0;
  if (!ParseInteger(text, speed)) return false;
  World().Room().r_speed = speed;
  return true;
}

namespace {
RInfoWindow& Made(std::unique_ptr<RInfoWindow>& w, const char* caption) {
  if (!w) {
    w = std::make_unique<RInfoWindow>();
    w->caption = caption;
  }
  return *w;
}
}  // namespace

void CDebugWindow::ShowGlobal() {
  Made(global_, "Global Variables").visible = true;
  Refresh();
}

void CDebugWindow::ShowInstances() {
  Made(instances_, "All Instances").visible = true;
  Refresh();
}

void CDebugWindow::ShowMessages() {
  Made(messagesWindow_, "Messages").visible = true;
  Refresh();
}

RInputRequest CDebugWindow::LocalRequest() {
  return {"Showing Local Variables.", "Please provide the instance id or object name.", ""};
}

bool CDebugWindow::ShowLocal(const std::string& text) {
  RInfoWindow* w = nullptr;
  for (auto& local : locals_)
    if (!local->visible) {
      w = local.get();
      break;
    }
  if (!w) {
    if (int(locals_.size()) >= kMaxLocalWindows) return false;
    locals_.push_back(std::make_unique<RInfoWindow>());
    w = locals_.back().get();
  }
  int id = 0;
  if (ParseInteger(text, id)) {
    w->localvarid = id;
    w->localvarname = "##########";
  } else {
    w->localvarid = -1;
    w->localvarname = text;
  }
  w->caption = "Local Variables for " + text;
  w->visible = true;
  Refresh();
  return true;
}

bool CDebugWindow::SaveInfo(const RInfoWindow& window, const std::string& file, std::string& error) const {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  if (&window == messagesWindow_.get()) {
    for (const std::string& line : messages_) out << line << "\r\n";
  } else {
    out << window.text;
  }
  out.flush();
  if (!out) {
    error = "Cannot create file \"" + file + "\".";
    return false;
  }
  return true;
}

// --- messages ---

void CDebugWindow::AddMessage(const std::string& text) {
  if (!active_) return;
  Made(messagesWindow_, "Messages");
  // One line per line of the text.
  size_t start = 0;
  for (;;) {
    size_t end = text.find('\n', start);
    std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    messageBytes_ += line.size();
    messages_.push_back(std::move(line));
    ++messageCount_;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  while (messages_.size() > 1 && (messages_.size() > kMaxMessageLines || messageBytes_ > kMaxMessageBytes)) {
    messageBytes_ -= messages_.front().size();
    messages_.pop_front();
  }
}

// --- refresh ---

void CDebugWindow::Refresh() {
  if (!active_) return;
  ++refreshes_;
  panels_[0] = FpsPanel(GameState().fps);
  panels_[1] = InstancePanel(World().Room().ActiveCount());
  panels_[2] = MousePanel();
  EvaluateWatches();
  if (global_ && global_->visible) global_->text = GlobalVariablesText();
  for (auto& local : locals_)
    if (local->visible) local->text = LocalVariablesText(local->localvarid, local->localvarname);
  if (instances_ && instances_->visible) instances_->text = InstancesText();
}

void CDebugWindow::Tick() {
  if (active_) panels_[2] = MousePanel();
}

void CDebugWindow::Message(const std::string& text) {
  if (view_)
    view_->Message(text);
  else
    ShowMessage(text);
}

}  // namespace kestro::debug
