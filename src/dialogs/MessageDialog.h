// The message dialog games talk to the player with: a picture with a text, up to three picture
// buttons and an optional input line; its look and place set by the message_* functions for the
// rest of the run. The model here has no drawing and no window: the text rules, the layout rule,
// the buttons with their short keys, the keys and clicks and the result. DialogDraw draws it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "dialogs/ModalLoop.h"
#include "resources/Bitmap32.h"
#include "script/Value.h"

namespace kestro::dialogs {

// Every "#" becomes a line break, except one right after a backslash, which takes the backslash's
// place ("\#" shows "#").
std::string HashTreatment(std::string_view text);
// The text of a value in a message: its display form, then the "#" treatment.
std::string MessageText(const RValue& v);
// The short key of a button's text: the character after its first "&" (0 when there is none).
uint32_t ShortKeyOf(std::string_view text);
// A button's or menu item's text as shown: "&&" is "&", any other "&" is left out.
std::string ShownText(std::string_view text);

struct RDialogFont {
  std::string name = "Arial";
  int size = 8;
  int32_t colour = 0xFFFFFF;
  bool bold = false, italic = false;
  int charset = 1;
  // message_*_font: the name when not empty, the size when >= 0, the colour when >= 0, the style
  // 0..3 (normal, bold, italic, bold italic; other values keep it).
  void Change(const RValue& name, double size, double colour, double style);
  bool operator==(const RDialogFont&) const = default;
};

struct RRectI {
  int x = 0, y = 0, w = 0, h = 0;
  bool Contains(double px, double py) const { return px >= x && py >= y && px < x + w && py < y + h; }
  bool operator==(const RRectI&) const = default;
};

// The built-in look: picture 320 x 120, buttons 80 x 25.
inline constexpr int kBuiltinBackWidth = 320, kBuiltinBackHeight = 120;
inline constexpr int kButtonWidth = 80, kButtonHeight = 25;
// The frame and caption bar drawn around the dialog while message_caption asks for a border.
inline constexpr int kFrame = 2, kCaptionBar = 18;

// What the message_* functions set; it stays for the rest of the run.
struct RMessageSettings {
  TBitmap32 background;  // empty: the built-in picture
  bool transparent = false;
  uint32_t transparentColour = 0;         // 0xRRGGBB of the picture's bottom-left pixel
  std::array<TBitmap32, 3> buttonImages;  // empty: the built-in images
  bool buttonsMasked = false;
  int buttonW = kButtonWidth, buttonH = kButtonHeight;
  int alpha = 255;  // window opacity; blending only below 255
  RDialogFont textFont, buttonFont, inputFont;
  int32_t mouseColour = 0xFFFFFF;
  int32_t inputColour = 0x3C3C3C;
  int fixedLeft = -1, fixedTop = -1, fixedWidth = -1, fixedHeight = -1;
  bool border = false;
  std::string caption;
  int BackWidth() const { return background.Empty() ? kBuiltinBackWidth : background.Width(); }
  RMessageSettings() { buttonFont.bold = true; }
};
RMessageSettings& MessageSettings();
void ResetMessageSettings();

// Text sizes for the layout: the real fonts when drawing, a fixed measure in tests.
class ITextMetrics {
 public:
  virtual ~ITextMetrics() = default;
  // The height of `text` wrapped at `width` (line breaks kept).
  virtual int WrappedHeight(const RDialogFont& f, const std::string& text, int width) = 0;
  virtual int TextWidth(const RDialogFont& f, const std::string& text) = 0;
  virtual int LineHeight(const RDialogFont& f) = 0;
};
// The metrics of the fonts the dialog is drawn with (DialogDraw).
ITextMetrics& DrawingMetrics();

struct RDialogButton {
  std::string text;  // as given (with "&")
  bool visible = false;
  uint32_t shortKey = 0;
  bool inside = false, down = false;
  RRectI box;  // in the client area
};

class CMessageDialog final : public IModalView {
 public:
  // ShowMessageDialog: button k gets text bk and shows when it is not empty; no input line.
  void SetMessage(const std::string& text, const std::string& b1, const std::string& b2, const std::string& b3);
  // ShowInputDialog: only button 2 ("OK"), the input line with the default text all selected.
  void SetInput(const std::string& text, const std::string& def);

  // The layout rule over a screen (the drawn region) of the given size.
  void Layout(ITextMetrics& metrics, int screenW, int screenH);

  // IModalView
  void Feed(const RInputEvent& e) override;
  bool Done() const override { return done_; }
  void Draw() override;
  void Answer(const std::string& answer) override;
  void Cancel() override { Close(0); }
  std::string Describe() const override;

  // 0 when closed without a button, else the button's number.
  int Result() const { return result_; }
  // The input line's text as the game reads it (converted back from the input font's set).
  std::string InputResult() const;

  // The laid-out dialog (region coordinates for the window, client ones for the parts).
  const std::string& LabelText() const { return label_; }
  const RDialogButton& Button(int k) const { return buttons_[size_t(k - 1)]; }
  bool InputVisible() const { return inputVisible_; }
  const std::string& InputText() const { return input_; }
  bool InputSelected() const { return selected_; }
  size_t Caret() const { return caret_; }
  RRectI Window() const { return window_; }
  RRectI Client() const { return client_; }
  RRectI LabelBox() const { return labelBox_; }
  RRectI InputBox() const { return inputBox_; }

 private:
  void Close(int result);
  void Key(int key);
  void Char(uint32_t c);
  void Pointer(double x, double y);
  // The first visible button, 0 when none.
  int FirstVisible() const;

  std::string label_;
  std::array<RDialogButton, 3> buttons_;
  bool inputVisible_ = false;
  std::string input_;  // UTF-8, as typed (in the input font's set)
  size_t caret_ = 0;   // byte position
  bool selected_ = false;
  bool ctrl_ = false;
  int result_ = 0;
  bool done_ = false;
  RRectI window_, client_, labelBox_, inputBox_;
};

// The two ways of showing it, modally: the button number (0: closed otherwise), and the input
// line's text whichever way it was closed.
int ShowMessageDialog(const std::string& text, const std::string& b1, const std::string& b2, const std::string& b3);
std::string ShowInputDialog(const std::string& text, const std::string& def);

}  // namespace kestro::dialogs
