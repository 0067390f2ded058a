// The window and display functions of game code: display modes and the screen's pointer, the game
// window's style, caption, cursor, colour and geometry, the region and its scale, the pointer in
// region and room coordinates, and the vertical-blank synchronisation. They call the window model
// one to one; flags are true from 0.5.
#include <algorithm>
#include <cstdint>

#include "graphics/Bindings.h"
#include "graphics/Display.h"
#include "graphics/GameWindow.h"
#include "graphics/Graphics.h"
#include "resources/GameSettings.h"
#include "script/builtins/BuiltinArgs.h"

namespace kestro {

namespace {

// Without a game window (code run outside a game) a window of the model answers, its client
// area the region so that positions convert as they are.
CGameWindow& W() {
  if (CGameWindow* w = GameWindow()) return *w;
  static CGameWindow* model = [] {
    auto* m = new CGameWindow;
    m->State().clientW = m->State().regionW;
    m->State().clientH = m->State().regionH;
    return m;
  }();
  return *model;
}
const CWindowState& S() { return W().State(); }

int Int(const RValue& v) { return int(std::clamp<int64_t>(ArgInt(v), INT32_MIN, INT32_MAX)); }
void SetReal(RValue& r, double v) { r = RValue::Real(v); }

// --- the display ---

// A chosen mode is shown at once by a full-screen window; the device starts again after it.
bool SetDisplayMode(const RDisplayMode& m) {
  if (!Display().SetMode(m)) return false;
  W().DisplayChanged();
  Graphics().ResetDevice();
  return true;
}

KESTRO_BUILTIN(DisplayGetWidth) {
  Display().Refresh();
  SetReal(r, Display().Width());
}
KESTRO_BUILTIN(DisplayGetHeight) {
  Display().Refresh();
  SetReal(r, Display().Height());
}
KESTRO_BUILTIN(DisplayGetColordepth) {
  Display().Refresh();
  SetReal(r, Display().Depth());
}
KESTRO_BUILTIN(DisplayGetFrequency) {
  Display().Refresh();
  SetReal(r, Display().Frequency());
}
KESTRO_BUILTIN(DisplaySetSize) { SetReal(r, SetDisplayMode({Int(a[0]), Int(a[1]), -1, -1})); }
KESTRO_BUILTIN(DisplaySetColordepth) { SetReal(r, SetDisplayMode({-1, -1, Int(a[0]), -1})); }
KESTRO_BUILTIN(DisplaySetFrequency) { SetReal(r, SetDisplayMode({-1, -1, -1, Int(a[0])})); }
// (w, h, frequency, coldepth)
KESTRO_BUILTIN(DisplaySetAll) { SetReal(r, SetDisplayMode({Int(a[0]), Int(a[1]), Int(a[3]), Int(a[2])})); }
KESTRO_BUILTIN(DisplayTestAll) { SetReal(r, Display().TestMode({Int(a[0]), Int(a[1]), Int(a[3]), Int(a[2])})); }
KESTRO_BUILTIN(DisplayReset) { Graphics().RequestDisplayReset(argc > 0 ? Int(a[0]) : 0); }
KESTRO_BUILTIN(DisplayMouseGetX) {
  int x, y;
  W().ScreenMouse(x, y);
  SetReal(r, x);
}
KESTRO_BUILTIN(DisplayMouseGetY) {
  int x, y;
  W().ScreenMouse(x, y);
  SetReal(r, y);
}
KESTRO_BUILTIN(DisplayMouseSet) { W().SetScreenMouse(Int(a[0]), Int(a[1])); }

// --- style and properties ---

KESTRO_BUILTIN(WindowSetVisible) { W().SetVisible(ArgBool(a[0])); }
KESTRO_BUILTIN(WindowGetVisible) { SetReal(r, S().visible); }
KESTRO_BUILTIN(WindowSetFullscreen) { W().SetFullScreen(ArgBool(a[0])); }
KESTRO_BUILTIN(WindowGetFullscreen) { SetReal(r, S().fullScreen); }
KESTRO_BUILTIN(WindowSetShowborder) { W().SetShowBorder(ArgBool(a[0])); }
KESTRO_BUILTIN(WindowGetShowborder) { SetReal(r, S().showBorder); }
KESTRO_BUILTIN(WindowSetShowicons) { W().SetShowIcons(ArgBool(a[0])); }
KESTRO_BUILTIN(WindowGetShowicons) { SetReal(r, S().showIcons); }
KESTRO_BUILTIN(WindowSetStayontop) { W().SetStayOnTop(ArgBool(a[0])); }
KESTRO_BUILTIN(WindowGetStayontop) { SetReal(r, S().stayOnTop); }
KESTRO_BUILTIN(WindowSetSizeable) { W().SetSizeable(ArgBool(a[0])); }
KESTRO_BUILTIN(WindowGetSizeable) { SetReal(r, S().sizeable); }
KESTRO_BUILTIN(WindowSetCaption) { W().SetCaption(ArgText(a[0])); }
KESTRO_BUILTIN(WindowGetCaption) { SetText(r, W().Caption()); }
KESTRO_BUILTIN(WindowSetCursor) {
  const int cursor = Int(a[0]);
  W().SetCursor(cursor);
  // A game start shows or hides the cursor as this left it.
  GameSettings().showCursor = cursor != -1;
}
KESTRO_BUILTIN(WindowGetCursor) { SetReal(r, W().Cursor()); }
KESTRO_BUILTIN(WindowSetColor) { W().SetColour(int32_t(ArgInt(a[0]) & 0xFFFFFF)); }
KESTRO_BUILTIN(WindowGetColor) { SetReal(r, S().colour); }

// --- geometry ---

KESTRO_BUILTIN(WindowSetPosition) { W().SetPosition(Int(a[0]), Int(a[1])); }
KESTRO_BUILTIN(WindowSetSize) { W().SetSize(Int(a[0]), Int(a[1])); }
KESTRO_BUILTIN(WindowSetRectangle) { W().SetRectangle(Int(a[0]), Int(a[1]), Int(a[2]), Int(a[3])); }
KESTRO_BUILTIN(WindowCenter) { W().Center(); }
KESTRO_BUILTIN(WindowDefault) { W().Default(); }
KESTRO_BUILTIN(WindowGetX) { SetReal(r, S().clientX); }
KESTRO_BUILTIN(WindowGetY) { SetReal(r, S().clientY); }
KESTRO_BUILTIN(WindowGetWidth) { SetReal(r, S().clientW); }
KESTRO_BUILTIN(WindowGetHeight) { SetReal(r, S().clientH); }

// --- the region ---

// What is drawn follows the region (cut to the screen), so that the picture and the pointer's
// region coordinates agree until the next room sizes both again.
void RegionChanged() {
  Graphics().SetDeviceRegion(std::min(S().regionW, Display().Width()), std::min(S().regionH, Display().Height()));
}
KESTRO_BUILTIN(WindowSetRegionSize) {
  W().SetRegionSize(Int(a[0]), Int(a[1]), ArgBool(a[2]));
  RegionChanged();
}
KESTRO_BUILTIN(WindowGetRegionWidth) { SetReal(r, S().regionW); }
KESTRO_BUILTIN(WindowGetRegionHeight) { SetReal(r, S().regionH); }
KESTRO_BUILTIN(WindowSetRegionScale) { W().SetRegionScale(a[0].val, ArgBool(a[1])); }
KESTRO_BUILTIN(WindowGetRegionScale) { SetReal(r, S().scale); }

// --- the pointer in the region and the room ---

KESTRO_BUILTIN(WindowMouseGetX) {
  int64_t x, y;
  W().RegionMouse(x, y);
  SetReal(r, double(x));
}
KESTRO_BUILTIN(WindowMouseGetY) {
  int64_t x, y;
  W().RegionMouse(x, y);
  SetReal(r, double(y));
}
KESTRO_BUILTIN(WindowMouseSet) { W().SetRegionMouse(a[0].val, a[1].val); }
KESTRO_BUILTIN(WindowViewMouseGetX) {
  int64_t x, y;
  W().ViewMouse(Int(a[0]), x, y);
  SetReal(r, double(x));
}
KESTRO_BUILTIN(WindowViewMouseGetY) {
  int64_t x, y;
  W().ViewMouse(Int(a[0]), x, y);
  SetReal(r, double(y));
}
KESTRO_BUILTIN(WindowViewMouseSet) { W().SetViewMouse(Int(a[0]), a[1].val, a[2].val); }
KESTRO_BUILTIN(WindowViewsMouseGetX) {
  int64_t x, y;
  W().ViewsMouse(x, y);
  SetReal(r, double(x));
}
KESTRO_BUILTIN(WindowViewsMouseGetY) {
  int64_t x, y;
  W().ViewsMouse(x, y);
  SetReal(r, double(y));
}
KESTRO_BUILTIN(WindowViewsMouseSet) { W().SetViewsMouse(a[0].val, a[1].val); }

// --- synchronisation ---

KESTRO_BUILTIN(SetSynchronization) { Graphics().SetSynchronisation(ArgBool(a[0])); }
KESTRO_BUILTIN(ScreenWaitVsync) { Graphics().WaitVerticalBlank(); }

constexpr RBinding kWindowFunctions[] = {
    {"display_get_width", DisplayGetWidth},
    {"display_get_height", DisplayGetHeight},
    {"display_get_colordepth", DisplayGetColordepth},
    {"display_get_frequency", DisplayGetFrequency},
    {"display_set_size", DisplaySetSize},
    {"display_set_colordepth", DisplaySetColordepth},
    {"display_set_frequency", DisplaySetFrequency},
    {"display_set_all", DisplaySetAll},
    {"display_test_all", DisplayTestAll},
    {"display_reset", DisplayReset},
    {"display_mouse_get_x", DisplayMouseGetX},
    {"display_mouse_get_y", DisplayMouseGetY},
    {"display_mouse_set", DisplayMouseSet},
    {"window_set_visible", WindowSetVisible},
    {"window_get_visible", WindowGetVisible},
    {"window_set_fullscreen", WindowSetFullscreen},
    {"window_get_fullscreen", WindowGetFullscreen},
    {"window_set_showborder", WindowSetShowborder},
    {"window_get_showborder", WindowGetShowborder},
    {"window_set_showicons", WindowSetShowicons},
    {"window_get_showicons", WindowGetShowicons},
    {"window_set_stayontop", WindowSetStayontop},
    {"window_get_stayontop", WindowGetStayontop},
    {"window_set_sizeable", WindowSetSizeable},
    {"window_get_sizeable", WindowGetSizeable},
    {"window_set_caption", WindowSetCaption},
    {"window_get_caption", WindowGetCaption},
    {"window_set_cursor", WindowSetCursor},
    {"window_get_cursor", WindowGetCursor},
    {"window_set_color", WindowSetColor},
    {"window_get_color", WindowGetColor},
    {"window_set_position", WindowSetPosition},
    {"window_set_size", WindowSetSize},
    {"window_set_rectangle", WindowSetRectangle},
    {"window_center", WindowCenter},
    {"window_default", WindowDefault},
    {"window_get_x", WindowGetX},
    {"window_get_y", WindowGetY},
    {"window_get_width", WindowGetWidth},
    {"window_get_height", WindowGetHeight},
    {"window_set_region_size", WindowSetRegionSize},
    {"window_get_region_width", WindowGetRegionWidth},
    {"window_get_region_height", WindowGetRegionHeight},
    {"window_set_region_scale", WindowSetRegionScale},
    {"window_get_region_scale", WindowGetRegionScale},
    {"window_mouse_get_x", WindowMouseGetX},
    {"window_mouse_get_y", WindowMouseGetY},
    {"window_mouse_set", WindowMouseSet},
    {"window_view_mouse_get_x", WindowViewMouseGetX},
    {"window_view_mouse_get_y", WindowViewMouseGetY},
    {"window_view_mouse_set", WindowViewMouseSet},
    {"window_views_mouse_get_x", WindowViewsMouseGetX},
    {"window_views_mouse_get_y", WindowViewsMouseGetY},
    {"window_views_mouse_set", WindowViewsMouseSet},
    {"set_synchronization", SetSynchronization},
    {"screen_wait_vsync", ScreenWaitVsync},
};

}  // namespace

RBindingTable WindowFunctions() { return kWindowFunctions; }

}  // namespace kestro
