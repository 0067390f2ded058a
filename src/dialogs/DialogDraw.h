// Drawing the dialogs in the game window through the drawing layer: the game's last frame stays
// behind them, the message dialog (picture, text, input line, picture buttons) and the pop-up
// menu are drawn over it, and the drawing state the game had is back afterwards. Also the
// built-in picture and button images and the fonts the dialog is drawn with.
#pragma once

#include <array>

#include "dialogs/MessageDialog.h"
#include "dialogs/PopupMenu.h"
#include "graphics/GraphicsDevice.h"
#include "resources/Bitmap32.h"

namespace kestro::dialogs {

class CMessageDialog;
class CPopupMenu;

// The built-in picture (320 x 120) and the three button states (80 x 25: normal, mouse inside,
// pressed), with transparent corners.
const TBitmap32& BuiltinBackground();
const std::array<TBitmap32, 3>& BuiltinButtons();

// While it lives, drawing goes to the screen over a copy of the game's last frame, and textures
// of the dialog's pictures exist; Show draws a view and presents it. The game's drawing state
// (target, view, colour, alpha, blending) is back when it goes.
class CModalFrame {
 public:
  CModalFrame();
  ~CModalFrame();
  CModalFrame(const CModalFrame&) = delete;
  CModalFrame& operator=(const CModalFrame&) = delete;
  void Show(IModalView& view);
  bool Drawing() const { return drawing_; }

 private:
  bool drawing_ = false;
  int backdrop_ = -1;
  int target_ = -1;
  int32_t colour_ = 0;
  double alpha_ = 1;
  RRenderState state_;
  bool mode3d_ = false, perspective_ = false;
  double depth_ = 0;
  struct RSaved;
  RSaved* saved_ = nullptr;
};

// The parts, drawn in the current frame (inside CModalFrame::Show).
void DrawMessageDialog(const CMessageDialog& d);
void DrawPopupMenu(const CPopupMenu& m);

// A filled rectangle and a line of text (no "#" treatment, no wrapping) in a dialog font, for the
// other modal views.
void FillRect(const RRectI& r, int32_t colour, double alpha);
void DrawTextLine(const RDialogFont& font, const std::string& text, double x, double y, int32_t colour, double alpha);

}  // namespace kestro::dialogs
