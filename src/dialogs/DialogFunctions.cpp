// The message dialog, the pop-up menu and the choosers for game code, and the message_* functions
// that restyle the dialog for the rest of the run.
#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>

#include "dialogs/Bindings.h"
#include "dialogs/Choosers.h"
#include "dialogs/MessageDialog.h"
#include "dialogs/ModalLoop.h"
#include "dialogs/PopupMenu.h"
#include "graphics/Input.h"
#include "resources/GameResources.h"
#include "script/builtins/BuiltinArgs.h"

namespace kestro {

namespace {

using namespace dialogs;

// A resource id argument as a slot number (values beyond any slot become -1).
int SlotArg(const RValue& v) {
  int64_t i = ArgInt(v);
  return i < 0 || i > INT_MAX ? -1 : int(i);
}

// A colour argument as a game colour.
int32_t ColourArg(const RValue& v) { return int32_t(ArgInt(v) & 0xFFFFFF); }

// get_integer's reading of the entry: optional blanks, an optional sign and decimal digits that
// fit a 32-bit integer; anything else is not an integer.
bool ReadInteger(const std::string& text, int64_t& out) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i >= text.size()) return false;
  int64_t n = 0;
  for (; i < text.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
    n = n * 10 + (text[i] - '0');
    if (n > int64_t(INT32_MAX) + 1) return false;
  }
  n = negative ? -n : n;
  if (n > INT32_MAX) return false;
  out = n;
  return true;
}

// The pointer in the drawn region (where show_menu opens).
void PointerInRegion(double& x, double& y) {
  ClientToRegionPoint(Input().MouseClientX(), Input().MouseClientY(), x, y);
}

KESTRO_BUILTIN(F_ShowMessage) { ShowMessageDialog(MessageText(a[0]), "", "OK", ""); }

KESTRO_BUILTIN(F_ShowQuestion) { r.SetReal(ShowMessageDialog(MessageText(a[0]), "Yes", "", "No") == 1 ? 1 : 0); }

KESTRO_BUILTIN(F_ShowMessageExt) {
  r.SetReal(ShowMessageDialog(MessageText(a[0]), ArgText(a[1]), ArgText(a[2]), ArgText(a[3])));
}

KESTRO_BUILTIN(F_GetString) { SetText(r, ShowInputDialog(HashTreatment(ArgText(a[0])), ArgText(a[1]))); }

KESTRO_BUILTIN(F_GetInteger) {
  const int64_t def = ArgInt(a[1]);
  int64_t value = def;
  if (!ReadInteger(ShowInputDialog(HashTreatment(ArgText(a[0])), std::to_string(def)), value)) value = def;
  r.SetReal(double(value));
}

KESTRO_BUILTIN(F_MessageBackground) {
  const CBackground* back = Backgrounds().Get(SlotArg(a[0]));
  if (!back) {
    ReportBuiltinError("Trying to set a non-existing message background");
    return;
  }
  RMessageSettings& s = MessageSettings();
  s.background = back->i_bitmap;
  s.transparent = false;
  if (!s.background.Empty()) {
    TColor32 corner = s.background.GetPixel(0, s.background.Height() - 1);
    s.transparent = corner.a == 0;
    s.transparentColour = corner.Value() & 0xFFFFFF;
  }
}

KESTRO_BUILTIN(F_MessageButton) {
  const CSprite* spr = Sprites().Get(SlotArg(a[0]));
  if (!spr) {
    ReportBuiltinError("Trying to set a non-existing message button");
    return;
  }
  // A sprite without images has nothing to give; the buttons stay as they are.
  if (spr->i_numb <= 0 || spr->i_bitmap.empty()) return;
  RMessageSettings& s = MessageSettings();
  const size_t n = std::min(spr->i_bitmap.size(), size_t(spr->i_numb));
  s.buttonImages[0] = spr->i_bitmap[0];
  s.buttonImages[1] = n > 1 ? spr->i_bitmap[1] : s.buttonImages[0];
  s.buttonImages[2] = n > 2 ? spr->i_bitmap[2] : s.buttonImages[1];
  const TBitmap32& first = s.buttonImages[0];
  s.buttonsMasked = !first.Empty() && first.GetPixel(0, first.Height() - 1).a == 0;
  s.buttonW = first.Width();
  s.buttonH = first.Height();
}

KESTRO_BUILTIN(F_MessageAlpha) {
  double v = std::isnan(a[0].val) ? 0 : a[0].val * 255;
  MessageSettings().alpha = int(std::clamp<int64_t>(RoundToInt64(std::clamp(v, -1e9, 1e9)), 0, 255));
}

KESTRO_BUILTIN(F_MessageTextFont) { MessageSettings().textFont.Change(a[0], a[1].val, a[2].val, a[3].val); }
KESTRO_BUILTIN(F_MessageButtonFont) { MessageSettings().buttonFont.Change(a[0], a[1].val, a[2].val, a[3].val); }
KESTRO_BUILTIN(F_MessageInputFont) { MessageSettings().inputFont.Change(a[0], a[1].val, a[2].val, a[3].val); }

KESTRO_BUILTIN(F_MessageTextCharset) {
  const int charset = int(std::clamp<int64_t>(ArgInt(a[1]), 0, 255));
  switch (ArgInt(a[0])) {
    case 0: MessageSettings().textFont.charset = charset; break;
    case 1: MessageSettings().buttonFont.charset = charset; break;
    case 2: MessageSettings().inputFont.charset = charset; break;
    default: break;
  }
}

KESTRO_BUILTIN(F_MessageMouseColor) { MessageSettings().mouseColour = ColourArg(a[0]); }
KESTRO_BUILTIN(F_MessageInputColor) { MessageSettings().inputColour = ColourArg(a[0]); }

int IntArg(const RValue& v) { return int(std::clamp<int64_t>(ArgInt(v), INT_MIN / 2, INT_MAX / 2)); }

KESTRO_BUILTIN(F_MessagePosition) {
  MessageSettings().fixedLeft = IntArg(a[0]);
  MessageSettings().fixedTop = IntArg(a[1]);
}

KESTRO_BUILTIN(F_MessageSize) {
  // Sizes beyond any screen are held at a size a picture may have.
  MessageSettings().fixedWidth = std::min(IntArg(a[0]), kMaxBitmapSide);
  MessageSettings().fixedHeight = std::min(IntArg(a[1]), kMaxBitmapSide);
}

KESTRO_BUILTIN(F_MessageCaption) {
  MessageSettings().border = ArgBool(a[0]);
  MessageSettings().caption = ArgText(a[1]);
}

KESTRO_BUILTIN(F_ShowMenu) {
  double x = 0, y = 0;
  PointerInRegion(x, y);
  r.SetReal(ShowMenu(ArgText(a[0]), IntArg(a[1]), x, y));
}

KESTRO_BUILTIN(F_ShowMenuPos) {
  r.SetReal(ShowMenu(ArgText(a[2]), IntArg(a[3]), double(IntArg(a[0])), double(IntArg(a[1]))));
}

KESTRO_BUILTIN(F_GetColor) { r.SetReal(ChooseColour(ColourArg(a[0]))); }
KESTRO_BUILTIN(F_GetOpenFilename) { SetText(r, ChooseFile(false, ArgText(a[0]), ArgText(a[1]))); }
KESTRO_BUILTIN(F_GetSaveFilename) { SetText(r, ChooseFile(true, ArgText(a[0]), ArgText(a[1]))); }
KESTRO_BUILTIN(F_GetDirectory) { SetText(r, ChooseFolder("", ArgText(a[0]))); }
KESTRO_BUILTIN(F_GetDirectoryAlt) { SetText(r, ChooseFolder(ArgText(a[0]), ArgText(a[1]))); }

}  // namespace

RBindingTable DialogFunctions() {
  static const RBinding kBindings[] = {
      {"show_message", F_ShowMessage},
      {"show_question", F_ShowQuestion},
      {"show_message_ext", F_ShowMessageExt},
      {"get_string", F_GetString},
      {"get_integer", F_GetInteger},
      {"message_background", F_MessageBackground},
      {"message_button", F_MessageButton},
      {"message_alpha", F_MessageAlpha},
      {"message_text_font", F_MessageTextFont},
      {"message_button_font", F_MessageButtonFont},
      {"message_input_font", F_MessageInputFont},
      {"message_text_charset", F_MessageTextCharset},
      {"message_mouse_color", F_MessageMouseColor},
      {"message_input_color", F_MessageInputColor},
      {"message_position", F_MessagePosition},
      {"message_size", F_MessageSize},
      {"message_caption", F_MessageCaption},
      {"show_menu", F_ShowMenu},
      {"show_menu_pos", F_ShowMenuPos},
      {"get_color", F_GetColor},
      {"get_open_filename", F_GetOpenFilename},
      {"get_save_filename", F_GetSaveFilename},
      {"get_directory", F_GetDirectory},
      {"get_directory_alt", F_GetDirectoryAlt},
  };
  return kBindings;
}

}  // namespace kestro
