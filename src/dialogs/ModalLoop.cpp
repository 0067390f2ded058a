#include "dialogs/ModalLoop.h"

#include "dialogs/DialogDraw.h"
#include "graphics/GameWindow.h"
#include "graphics/Graphics.h"
#include "graphics/Window.h"

namespace kestro::dialogs {

namespace {
IDialogEvents* g_events = nullptr;
std::deque<std::string> g_answers;
std::function<void(const std::string&)> g_notice;
// How long one wait for the desktop's events lasts.
constexpr int kPollMilliseconds = 20;
}  // namespace

bool CDesktopDialogEvents::Poll(std::vector<RInputEvent>& out) {
  IInputDevice* device = InputDevice();
  if (!device || !device->HasEventSource()) return false;
  SetModalInputReceiver([&out](const RInputEvent& e) { out.push_back(e); });
  device->WaitForEvents(kPollMilliseconds);
  device->ProcessMessages();
  SetModalInputReceiver({});
  return true;
}

bool CQueuedDialogEvents::Poll(std::vector<RInputEvent>& out) {
  if (events_.empty()) return false;
  out.insert(out.end(), events_.begin(), events_.end());
  events_.clear();
  return true;
}

void SetDialogEvents(IDialogEvents* events) { g_events = events; }

IDialogEvents& DialogEvents() {
  static CDesktopDialogEvents desktop;
  return g_events ? *g_events : desktop;
}

void AddScriptedAnswer(const std::string& answer) { g_answers.push_back(answer); }
void ClearScriptedAnswers() { g_answers.clear(); }
void SetDialogNotice(std::function<void(const std::string&)> notice) { g_notice = std::move(notice); }

void ClientToRegionPoint(double cx, double cy, double& rx, double& ry) {
  const CGameWindow* window = GameWindow();
  if (!window) {
    rx = cx;
    ry = cy;
    return;
  }
  const CWindowState& s = window->State();
  int64_t x = 0, y = 0;
  ClientToRegion(cx, cy, s.clientW, s.clientH, s.regionW, s.regionH, s.scale, x, y);
  rx = double(x);
  ry = double(y);
}

void RunModal(IModalView& view) {
  {
    CModalFrame frame;
    view.Update();
    frame.Show(view);
    std::vector<RInputEvent> events;
    while (!view.Done()) {
      if (!view.Busy()) {
        events.clear();
        if (!DialogEvents().Poll(events)) {
          // Nobody can answer: the next scripted answer, or closed as by Escape.
          if (!g_answers.empty()) {
            view.Answer(g_answers.front());
            g_answers.pop_front();
          } else {
            view.Cancel();
          }
          if (g_notice) g_notice(view.Describe());
          break;
        }
        for (RInputEvent e : events) {
          if (view.Done()) break;
          if (e.kind == RInputEvent::kMouse) {
            // The pointer stays known to the game after the dialog.
            Input().MouseMove(e.x, e.y);
            ClientToRegionPoint(e.x, e.y, e.x, e.y);
          }
          view.Feed(e);
        }
        if (events.empty()) continue;
      }
      view.Update();
      if (!view.Done()) frame.Show(view);
    }
  }
  // Keys used in the dialog never reach the game.
  Input().Clear();
}

}  // namespace kestro::dialogs
