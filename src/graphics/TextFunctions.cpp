// Text drawing and measuring, and the font functions (adding fonts from typefaces and sprites,
// replacing and deleting them, their properties).
#include <algorithm>

#include "graphics/Bindings.h"
#include "graphics/Text.h"
#include "resources/GameResources.h"
#include "script/builtins/BuiltinArgs.h"

namespace kestro {

namespace {

double D(const RValue& v) { return v.val; }
int32_t Col(const RValue& v) { return int32_t(ArgInt(v)); }
int Int(const RValue& v) { return int(std::clamp<int64_t>(ArgInt(v), INT32_MIN, INT32_MAX)); }
void SetReal(RValue& r, double v) { r = RValue::Real(v); }

// --- text ---

KESTRO_BUILTIN(DrawSetFont) { TextState().font = Int(a[0]); }
int Align(const RValue& v) {
  int64_t i = ArgInt(v);
  return i == 1 || i == 2 ? int(i) : 0;
}
KESTRO_BUILTIN(DrawSetHalign) { TextState().halign = Align(a[0]); }
KESTRO_BUILTIN(DrawSetValign) { TextState().valign = Align(a[0]); }
KESTRO_BUILTIN(StringWidth) { SetReal(r, double(TextWidth(ArgText(a[0]), -1, -1))); }
KESTRO_BUILTIN(StringHeight) { SetReal(r, double(TextHeight(ArgText(a[0]), -1, -1))); }
KESTRO_BUILTIN(StringWidthExt) { SetReal(r, double(TextWidth(ArgText(a[0]), D(a[1]), D(a[2])))); }
KESTRO_BUILTIN(StringHeightExt) { SetReal(r, double(TextHeight(ArgText(a[0]), D(a[1]), D(a[2])))); }

RTextColours Colours(const RValue* c, const RValue& alpha) {
  return RTextColours{{Col(c[0]), Col(c[1]), Col(c[2]), Col(c[3])}, D(alpha)};
}
KESTRO_BUILTIN(DrawTextFn) { DrawText(D(a[0]), D(a[1]), ArgText(a[2]), -1, -1, nullptr); }
KESTRO_BUILTIN(DrawTextExt) { DrawText(D(a[0]), D(a[1]), ArgText(a[2]), D(a[3]), D(a[4]), nullptr); }
KESTRO_BUILTIN(DrawTextTransformedFn) {
  DrawTextTransformed(D(a[0]), D(a[1]), ArgText(a[2]), -1, -1, D(a[3]), D(a[4]), D(a[5]), nullptr);
}
KESTRO_BUILTIN(DrawTextExtTransformed) {
  DrawTextTransformed(D(a[0]), D(a[1]), ArgText(a[2]), D(a[3]), D(a[4]), D(a[5]), D(a[6]), D(a[7]), nullptr);
}
KESTRO_BUILTIN(DrawTextColor) {
  RTextColours c = Colours(a + 3, a[7]);
  DrawText(D(a[0]), D(a[1]), ArgText(a[2]), -1, -1, &c);
}
KESTRO_BUILTIN(DrawTextTransformedColor) {
  RTextColours c = Colours(a + 6, a[10]);
  DrawTextTransformed(D(a[0]), D(a[1]), ArgText(a[2]), -1, -1, D(a[3]), D(a[4]), D(a[5]), &c);
}
KESTRO_BUILTIN(DrawTextExtColor) {
  RTextColours c = Colours(a + 5, a[9]);
  DrawText(D(a[0]), D(a[1]), ArgText(a[2]), D(a[3]), D(a[4]), &c);
}
KESTRO_BUILTIN(DrawTextExtTransformedColor) {
  RTextColours c = Colours(a + 8, a[12]);
  DrawTextTransformed(D(a[0]), D(a[1]), ArgText(a[2]), D(a[3]), D(a[4]), D(a[5]), D(a[6]), D(a[7]), &c);
}

// --- fonts ---

CFont* FontArg(const RValue& v) { return Fonts().Get(Int(v)); }
KESTRO_BUILTIN(FontExists) { SetReal(r, FontArg(a[0]) ? 1 : 0); }
KESTRO_BUILTIN(FontGetName) { SetText(r, Fonts().Name(Int(a[0]))); }
KESTRO_BUILTIN(FontGetFontname) {
  const CFont* f = FontArg(a[0]);
  SetText(r, f ? f->s_name : std::string());
}
#define KESTRO_FONT_FIELD(fn, expr)      \
  KESTRO_BUILTIN(fn) {                   \
    const CFont* f = FontArg(a[0]);      \
    SetReal(r, f ? double(expr) : -1.0); \
  }
KESTRO_FONT_FIELD(FontGetSize, f->s_size)
KESTRO_FONT_FIELD(FontGetBold, f->s_bold ? 1 : 0)
KESTRO_FONT_FIELD(FontGetItalic, f->s_italic ? 1 : 0)
KESTRO_FONT_FIELD(FontGetFirst, f->s_first)
KESTRO_FONT_FIELD(FontGetLast, f->s_last)
#undef KESTRO_FONT_FIELD

std::unique_ptr<CFont> TypefaceFont(const RValue* a) {
  auto f = std::make_unique<CFont>();
  f->CreateFont(ArgText(a[0]), Int(a[1]), ArgBool(a[2]), ArgBool(a[3]), Int(a[4]), Int(a[5]));
  f->InitTexture();
  return f;
}
std::unique_ptr<CFont> SpriteFont(const RValue* a) {
  auto f = std::make_unique<CFont>();
  f->CreateFromSprite(Int(a[0]), Int(a[1]), ArgBool(a[2]), Int(a[3]));
  return f;
}
KESTRO_BUILTIN(FontAdd) {
  int index = Fonts().Count();
  Fonts().Add(TypefaceFont(a), "__newfont" + std::to_string(index));
  SetReal(r, index);
}
KESTRO_BUILTIN(FontAddSprite) {
  if (!Sprites().Exists(Int(a[0]))) {
    ReportBuiltinError("Trying to create font from non-existing sprite.");
    return;
  }
  int index = Fonts().Count();
  Fonts().Add(SpriteFont(a), "__newfont" + std::to_string(index));
  SetReal(r, index);
}
// The new font takes the slot's place; the slot keeps its name.
void Replace(int index, std::unique_ptr<CFont> f) {
  if (CFont* old = Fonts().Get(index)) old->Clear();
  std::string name = Fonts().Name(index);
  Fonts().Put(index, std::move(f), name);
}
KESTRO_BUILTIN(FontReplace) {
  if (!FontArg(a[0])) {
    ReportBuiltinError("Trying to replace non-existing font.");
    return;
  }
  Replace(Int(a[0]), TypefaceFont(a + 1));
  SetReal(r, 1);
}
KESTRO_BUILTIN(FontReplaceSprite) {
  if (!FontArg(a[0])) {
    ReportBuiltinError("Trying to replace non-existing font.");
    return;
  }
  if (!Sprites().Exists(Int(a[1]))) {
    ReportBuiltinError("Trying to replace font from non-existing sprite.");
    return;
  }
  Replace(Int(a[0]), SpriteFont(a + 1));
  SetReal(r, 1);
}
KESTRO_BUILTIN(FontDelete) {
  CFont* f = FontArg(a[0]);
  if (!f) {
    ReportBuiltinError("Trying to delete non-existing font.");
    return;
  }
  f->Clear();
  Fonts().Delete(Int(a[0]));
  SetReal(r, 1);
}

const RBinding kTextFunctions[] = {
    {"draw_set_font", DrawSetFont},
    {"draw_set_halign", DrawSetHalign},
    {"draw_set_valign", DrawSetValign},
    {"string_width", StringWidth},
    {"string_height", StringHeight},
    {"string_width_ext", StringWidthExt},
    {"string_height_ext", StringHeightExt},
    {"draw_text", DrawTextFn},
    {"draw_text_ext", DrawTextExt},
    {"draw_text_transformed", DrawTextTransformedFn},
    {"draw_text_ext_transformed", DrawTextExtTransformed},
    {"draw_text_color", DrawTextColor},
    {"draw_text_transformed_color", DrawTextTransformedColor},
    {"draw_text_ext_color", DrawTextExtColor},
    {"draw_text_ext_transformed_color", DrawTextExtTransformedColor},
    {"font_exists", FontExists},
    {"font_name", FontGetName},
    {"font_get_name", FontGetName},
    {"font_get_fontname", FontGetFontname},
    {"font_get_size", FontGetSize},
    {"font_get_bold", FontGetBold},
    {"font_get_italic", FontGetItalic},
    {"font_get_first", FontGetFirst},
    {"font_get_last", FontGetLast},
    {"font_add", FontAdd},
    {"font_add_sprite", FontAddSprite},
    {"font_replace", FontReplace},
    {"font_replace_sprite", FontReplaceSprite},
    {"font_delete", FontDelete},
};

}  // namespace

RBindingTable TextFunctions() { return kTextFunctions; }

}  // namespace kestro
