// The debug window of a debug run on the desktop: a second SDL window beside the game, and one
// more for each information window, each drawn with Dear ImGui through SDL's software renderer (so
// the game's OpenGL context and device state are never touched). Their events are taken from SDL's
// queue by window as they arrive and handled when the run pumps messages; the commands go to the
// model after each frame, never while one is being built.
#pragma once

#include <SDL.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "debug/DebugWindow.h"

struct ImFontAtlas;

namespace kestro::platform {

class SdlDebugWindow final : public debug::IDebugView {
 public:
  SdlDebugWindow();
  ~SdlDebugWindow() override;
  SdlDebugWindow(const SdlDebugWindow&) = delete;
  SdlDebugWindow& operator=(const SdlDebugWindow&) = delete;

  // debug::IDebugView
  void Open(debug::CDebugWindow& model) override;
  void Close() override;
  void Pump() override;
  bool WaitWhilePaused() override;
  void Message(const std::string& text) override;

  // Draws every shown window now (tests).
  void DrawNow();
  // The debug window itself; null when it could not be made.
  SDL_Window* Handle() const;
  SDL_Renderer* Renderer() const;
  // The captions of the windows shown, the debug window first (tests).
  std::vector<std::string> ShownCaptions() const;
  // The SDL window showing an information window, or null.
  SDL_Window* InfoHandle(const debug::RInfoWindow* info) const;

  struct RToolWindow;

 private:
  RToolWindow* Make(const std::string& caption, int x, int y, int w, int h, const debug::RInfoWindow* info);
  void Draw(RToolWindow& w);
  void BuildMain(RToolWindow& w);
  void BuildInfo(RToolWindow& w);
  void Sync();
  void Receive(const SDL_Event& e);
  static int EventWatch(void* self, SDL_Event* e);

  debug::CDebugWindow* model_ = nullptr;
  std::unique_ptr<ImFontAtlas> fonts_;
  std::vector<std::unique_ptr<RToolWindow>> windows_;  // [0] the debug window, then information windows
  std::mutex eventsLock_;
  bool watching_ = false;
  bool startedVideo_ = false;
  bool inPump_ = false;
  uint32_t lastTick_ = 0;
};

}  // namespace kestro::platform
