// The debug window of a debug run, free of drawing: the run controls (through the main loop), the
// watched expressions with their values, executing code, the room speed, the information windows
// (global values, one instance's variables, all instances, the debug messages) and the status
// bar. A view (IDebugView, the platform's windows) draws it and calls its commands; tests call
// them directly. Outside a debug run it is never shown and costs nothing.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace kestro {
class CMainLoop;
struct CLoopHooks;
}  // namespace kestro

namespace kestro::debug {

inline constexpr const char* kCaption = "Debug Information";

// The commands with their captions, hints and shortcuts.
enum ECommand {
  kRun,
  kPause,
  kStep,
  kRestart,
  kStop,
  kWatchAdd,
  kWatchChange,
  kWatchDelete,
  kWatchClear,
  kWatchLoad,
  kWatchSave,
  kExecute,
  kSpeed,
  kShowGlobal,
  kShowLocal,
  kShowInstances,
  kShowMessages,
  kCommandCount
};
struct RCommand {
  const char* name;      // Action_Run, ...
  const char* caption;   // "&Run": '&' marks the access key
  const char* hint;      // "" for none
  const char* shortcut;  // "" for none
};
const RCommand& Command(ECommand c);
// The menus in order, kSeparator between groups.
inline constexpr int kSeparator = -1;
struct RMenu {
  const char* caption;
  std::vector<int> items;
};
const std::vector<RMenu>& Menus();
// The toolbar: run controls, a separator, the watch list's Add, Change, Delete and Clear.
const std::vector<int>& ToolbarItems();

// What an input box asks.
struct RInputRequest {
  const char* caption;
  const char* prompt;
  std::string initial;
};
inline constexpr const char* kCompileError = "COMPILE ERROR";  // a watch that does not compile
inline constexpr const char* kRunError = "ERROR";              // a watch that fails running
// Watch lists and information texts: the choosers' filter and default extension.
inline constexpr const char* kFileFilter = "Text Files|*.txt|All Files|*.*";
inline constexpr const char* kDefaultExtension = "txt";
// The name with ".txt" when it has no extension.
std::string WithDefaultExtension(const std::string& name);

struct RWatch {
  std::string expression;
  std::string value;
};

// An information window: hidden when closed, never destroyed, so its text and target stay.
struct RInfoWindow {
  std::string caption;
  bool visible = false;
  std::string text;  // lines ended by CR LF
  // A local window's target: an instance id (-1 when asked by object name) and an object name
  // ("##########" when asked by id).
  int localvarid = -1;
  std::string localvarname;
};
inline constexpr int kMaxLocalWindows = 100;

// The debug messages kept: the oldest go first beyond these (a game that sends a message every
// step for hours must not fill the memory).
inline constexpr size_t kMaxMessageLines = 10000;
inline constexpr size_t kMaxMessageBytes = size_t(4) << 20;

class CDebugWindow;

// The windows that show the model (the platform's); the model tells it what changed.
class IDebugView {
 public:
  virtual ~IDebugView() = default;
  virtual void Open(CDebugWindow& model) = 0;  // the debug window appears
  virtual void Close() = 0;                    // every window goes (the run is over)
  // Messages are handled and the windows drawn: called wherever the run pumps messages.
  virtual void Pump() = 0;
  // While paused: waits for the next message a little; false when no window can take a command.
  virtual bool WaitWhilePaused() = 0;
  // A message box over the debug window ("COMPILE ERROR" of Execute Code, file errors).
  virtual void Message(const std::string& text) = 0;
};

class CDebugWindow {
 public:
  CDebugWindow();

  // --- the run ---
  // A debug run: shown (the view opens its window when one is given) and active until the run
  // ends. Only an active window refreshes, takes messages and answers commands.
  void Show(IDebugView* view);
  void End();
  bool Active() const { return active_; }
  bool Shown() const { return shown_; }
  // The main loop the run controls act on; the hooks it is made with get the refresh at the end
  // of each step and the wait while paused.
  void WireLoop(CLoopHooks& hooks);
  void SetLoop(CMainLoop* loop) { loop_ = loop; }
  // Closing the debug window: a paused game stops, a running one goes on and the window hides.
  void Close();

  // --- run controls (command states as the timer brings them up to date) ---
  bool Enabled(ECommand c) const;
  void Run();
  void Pause();
  void Step();
  void Restart();
  void Stop();

  // --- watches: the grid is the header row, the watches, one empty row ---
  const std::vector<RWatch>& Watches() const { return watches_; }
  int RowCount() const { return int(watches_.size()) + 2; }
  static RInputRequest AddRequest();
  RInputRequest ChangeRequest(int row) const;
  void AddWatch(const std::string& expression);              // empty: nothing
  void ChangeWatch(int row, const std::string& expression);  // the last row: as Add
  void DeleteWatch(int row);                                 // the last row: nothing
  void ClearWatches();
  // One watch per line (empty lines too) after the existing ones; false with `error` set.
  bool LoadWatches(const std::string& file, std::string& error);
  bool SaveWatches(const std::string& file, std::string& error) const;

  // --- tools ---
  RInputRequest ExecuteRequest() const;
  // Compiles and runs the code with a temporary instance as self and other; false (and
  // "COMPILE ERROR" in a message box) when it does not compile.
  bool ExecuteCode(const std::string& code);
  const std::string& LastCode() const { return lastCode_; }
  RInputRequest SpeedRequest() const;
  // The room speed from an integer text; other texts change nothing (false).
  bool SetSpeed(const std::string& text);
  void ShowGlobal();
  void ShowInstances();
  void ShowMessages();
  static RInputRequest LocalRequest();
  // The local window for an instance id or an object name; false when a 101st would be needed.
  bool ShowLocal(const std::string& text);
  // Information windows: closing hides; Save writes the text.
  RInfoWindow* GlobalWindow() { return global_.get(); }
  RInfoWindow* InstancesWindow() { return instances_.get(); }
  std::vector<std::unique_ptr<RInfoWindow>>& LocalWindows() { return locals_; }
  bool SaveInfo(const RInfoWindow& window, const std::string& file, std::string& error) const;

  // --- messages ---
  void AddMessage(const std::string& text);
  RInfoWindow* MessagesWindow() { return messagesWindow_.get(); }
  const std::deque<std::string>& Messages() const { return messages_; }
  uint64_t MessageCount() const { return messageCount_; }  // all ever added: the view follows new ones

  // --- refresh ---
  // The status bar, the watch values and the visible information windows (end of every step).
  void Refresh();
  // The mouse panel (the view's timer).
  void Tick();
  const std::string& Panel(int k) const { return panels_[k < 0 || k > 2 ? 0 : k]; }
  uint64_t Refreshes() const { return refreshes_; }

 private:
  void Message(const std::string& text);
  void EvaluateWatches();

  bool active_ = false;
  bool shown_ = false;
  IDebugView* view_ = nullptr;
  CMainLoop* loop_ = nullptr;
  std::vector<RWatch> watches_;
  std::string lastCode_;
  std::unique_ptr<RInfoWindow> global_, instances_, messagesWindow_;
  std::vector<std::unique_ptr<RInfoWindow>> locals_;
  std::deque<std::string> messages_;
  size_t messageBytes_ = 0;
  uint64_t messageCount_ = 0;
  std::string panels_[3];
  uint64_t refreshes_ = 0;
};

// The run's debug window.
CDebugWindow& DebugWindow();

}  // namespace kestro::debug
