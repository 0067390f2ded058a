// The state of a chooser while it shows: what kind, the folder being looked at with its entries,
// the filter, the name being typed, the colour being mixed, and the result. ChooserDraw draws it
// (and takes its events) frame by frame.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "dialogs/Choosers.h"
#include "dialogs/ModalLoop.h"

namespace kestro::dialogs {

struct RFolderEntry {
  std::string name;
  bool folder = false;
};

class CChooserView final : public IModalView {
 public:
  enum EKind { kColour, kOpen, kSave, kFolder };

  explicit CChooserView(EKind kind) : kind_(kind) {}
  EKind Kind() const { return kind_; }

  // --- the state the drawing shows and changes ---
  std::string caption;
  int colour = 0;  // a game colour
  std::vector<RFileFilter> filters;
  int filter = 0;
  std::string folder;  // the folder looked at (absolute)
  std::string name;    // the name typed or picked
  std::vector<RFolderEntry> entries;
  // Reads the folder's entries: folders, then the files the chosen filter matches, by name.
  void ReadFolder();
  // Goes into a sub-folder (".." goes up) and reads it.
  void Enter(const std::string& sub);
  // The chooser's answer: the name (relative names are in the folder looked at), the folder, or
  // the colour; closes it.
  void Accept();

  // --- IModalView ---
  void Feed(const RInputEvent& e) override { pending_.push_back(e); }
  bool Done() const override { return done_; }
  // The first frames give the name line the keyboard before any event is taken.
  bool Busy() const override { return !pending_.empty() || frames < kWarmUpFrames; }
  static constexpr int kWarmUpFrames = 3;
  void Update() override;
  void Draw() override;
  void Answer(const std::string& answer) override;
  void Cancel() override;
  std::string Describe() const override;

  // The events not yet given to the drawing (it takes them one frame at a time).
  std::deque<RInputEvent>& Pending() { return pending_; }

  // The drawing's own per-view state (ChooserDraw.cpp).
  int frames = 0;
  bool nameReset = false;  // the name line must drop what it holds and take the keyboard again
  int selected = -1;
  bool heldDown[256] = {};

  int ColourResult() const { return colourResult_; }
  const std::string& NameResult() const { return nameResult_; }

 private:
  EKind kind_;
  std::deque<RInputEvent> pending_;
  bool done_ = false;
  int colourResult_ = -1;
  std::string nameResult_;
};

}  // namespace kestro::dialogs
