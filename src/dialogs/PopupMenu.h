// The pop-up menu of show_menu and show_menu_pos: the text cut at every "|" into items, "-" a
// separator without a number, the others numbered from 0; it opens at a point of the drawn region
// and gives the number of the clicked item, or the default when it is closed without a choice.
#pragma once

#include <string>
#include <vector>

#include "dialogs/MessageDialog.h"
#include "dialogs/ModalLoop.h"

namespace kestro::dialogs {

struct RMenuItem {
  std::string text;  // as given
  int number = -1;   // -1: a separator
  RRectI box;        // in the region, once laid out
};

std::vector<RMenuItem> ParseMenu(const std::string& text);

class CPopupMenu final : public IModalView {
 public:
  static constexpr int kItemHeight = 20, kSeparatorHeight = 9, kPadding = 22, kMinWidth = 60;

  CPopupMenu(const std::string& text, int def) : items_(ParseMenu(text)), result_(def) {}
  // Places the menu with its top-left corner at (x, y), moved to stay inside the screen.
  void Layout(ITextMetrics& metrics, double x, double y, int screenW, int screenH);

  void Feed(const RInputEvent& e) override;
  bool Done() const override { return done_; }
  void Draw() override;
  void Answer(const std::string& answer) override;
  void Cancel() override { done_ = true; }
  std::string Describe() const override;

  int Result() const { return result_; }
  const std::vector<RMenuItem>& Items() const { return items_; }
  RRectI Box() const { return box_; }
  int Highlighted() const { return hot_; }  // index into Items(), -1 none

 private:
  void Choose(int index);
  void Move(int direction);

  std::vector<RMenuItem> items_;
  int result_;
  bool done_ = false;
  int hot_ = -1;
  bool pressed_ = false;
  double x_ = -1e9, y_ = -1e9;
  RRectI box_;
};

// Shows the menu at a point of the drawn region; the chosen number or `def`.
int ShowMenu(const std::string& text, int def, double x, double y);

}  // namespace kestro::dialogs
