// What the process functions ask of the desktop: the clipboard's text, the application's title as
// the system shows it, the scheduling priority and the game window's handle. The platform installs
// the real desktop; without one (tests, tools with no display) an in-process stand-in keeps the
// clipboard's text and the settings, so game code behaves the same.
#pragma once

#include <string>

namespace kestro {

class IDesktop {
 public:
  virtual ~IDesktop() = default;
  virtual bool ClipboardHasText() = 0;
  // The empty string when the clipboard holds no text.
  virtual std::string ClipboardText() = 0;
  virtual void SetClipboardText(const std::string& text) = 0;
  virtual void SetApplicationTitle(const std::string& title) = 0;
  // -3 idle, -2 lowest, -1 below normal, 0 normal, 1 above normal, 2 high, 3 real-time.
  virtual void SetProgramPriority(int level) = 0;
  // The system's handle of the game window; 0 when there is none.
  virtual double WindowHandle() = 0;
};

// The stand-in: a clipboard inside the process, the title and priority kept and nothing more.
class CProcessDesktop final : public IDesktop {
 public:
  bool ClipboardHasText() override { return hasText; }
  std::string ClipboardText() override { return clipboard; }
  void SetClipboardText(const std::string& text) override {
    clipboard = text;
    hasText = true;
  }
  void SetApplicationTitle(const std::string& t) override { title = t; }
  void SetProgramPriority(int level) override { priority = level; }
  double WindowHandle() override { return 0; }

  std::string clipboard;
  bool hasText = false;
  std::string title;
  int priority = 0;
};

// The installed desktop, or the stand-in.
IDesktop& Desktop();
// nullptr: back to the stand-in.
void SetDesktop(IDesktop* desktop);
CProcessDesktop& ProcessDesktop();

}  // namespace kestro
