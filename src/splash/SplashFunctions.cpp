// The splash_* functions, show_image, show_video, show_text, show_info and load_info.
#include <algorithm>

#include "script/builtins/BuiltinArgs.h"
#include "splash/Bindings.h"
#include "splash/Splash.h"

namespace kestro {

namespace {

using splash::SplashSettings;

// Settings take a truth from the rounded argument.
bool Flag(const RValue& v) { return ArgInt(v) >= 1; }
int Int(const RValue& v) { return int(std::clamp<int64_t>(ArgInt(v), INT32_MIN, INT32_MAX)); }

KESTRO_BUILTIN(SplashSetMain) { SplashSettings().main = Flag(a[0]); }
KESTRO_BUILTIN(SplashSetFullscreen) { SplashSettings().fullScreen = Flag(a[0]); }
KESTRO_BUILTIN(SplashSetBorder) { SplashSettings().border = Flag(a[0]); }
KESTRO_BUILTIN(SplashSetCaption) { SplashSettings().caption = ArgText(a[0]); }
KESTRO_BUILTIN(SplashSetSize) {
  SplashSettings().width = Int(a[0]);
  SplashSettings().height = Int(a[1]);
}
KESTRO_BUILTIN(SplashSetPosition) {
  SplashSettings().left = Int(a[0]);
  SplashSettings().top = Int(a[1]);
}
KESTRO_BUILTIN(SplashSetAdapt) { SplashSettings().adapt = Flag(a[0]); }
KESTRO_BUILTIN(SplashSetTop) { SplashSettings().stayOnTop = Flag(a[0]); }
KESTRO_BUILTIN(SplashSetColor) { SplashSettings().colour = int32_t(ArgInt(a[0]) & 0xFFFFFF); }
KESTRO_BUILTIN(SplashSetScale) { SplashSettings().scale = a[0].val; }
KESTRO_BUILTIN(SplashSetCursor) { SplashSettings().cursor = Flag(a[0]); }
KESTRO_BUILTIN(SplashSetInterrupt) { SplashSettings().interrupt = Flag(a[0]); }
KESTRO_BUILTIN(SplashSetStopKey) { SplashSettings().stopKey = Flag(a[0]); }
KESTRO_BUILTIN(SplashSetStopMouse) { SplashSettings().stopMouse = Flag(a[0]); }
KESTRO_BUILTIN(SplashSetCloseButton) { SplashSettings().closeButton = Flag(a[0]); }

KESTRO_BUILTIN(SplashShowVideo) { splash::ShowVideo(ArgText(a[0]), IsTrue(a[1])); }
KESTRO_BUILTIN(SplashShowImage) { splash::ShowImage(ArgText(a[0]), a[1].val); }
KESTRO_BUILTIN(SplashShowText) { splash::ShowText(ArgText(a[0]), a[1].val); }
KESTRO_BUILTIN(SplashShowWeb) { splash::ShowWeb(ArgText(a[0]), a[1].val); }

// The show_* forms: full screen in a window of its own, or inside the game window; the settings
// stay for later splashes.
void SetFull(const RValue& full) {
  SplashSettings().fullScreen = ArgInt(full) != 0;
  SplashSettings().main = !SplashSettings().fullScreen;
}
KESTRO_BUILTIN(ShowImage) {
  SetFull(a[1]);
  splash::ShowImage(ArgText(a[0]), a[2].val);
}
KESTRO_BUILTIN(ShowVideo) {
  SetFull(a[1]);
  splash::ShowVideo(ArgText(a[0]), IsTrue(a[2]));
}
KESTRO_BUILTIN(ShowText) {
  SetFull(a[1]);
  SplashSettings().colour = int32_t(ArgInt(a[2]) & 0xFFFFFF);
  splash::ShowText(ArgText(a[0]), a[3].val, SplashSettings().colour);
}
KESTRO_BUILTIN(ShowInfo) { splash::ShowGameInformation(); }
KESTRO_BUILTIN(LoadInfo) { r = RValue::Real(splash::LoadGameInformation(ArgText(a[0])) ? 1 : 0); }

const RBinding kSplashFunctions[] = {
    {"splash_set_caption", SplashSetCaption},
    {"splash_set_fullscreen", SplashSetFullscreen},
    {"splash_set_border", SplashSetBorder},
    {"splash_set_size", SplashSetSize},
    {"splash_set_position", SplashSetPosition},
    {"splash_set_adapt", SplashSetAdapt},
    {"splash_set_top", SplashSetTop},
    {"splash_set_color", SplashSetColor},
    {"splash_set_main", SplashSetMain},
    {"splash_set_scale", SplashSetScale},
    {"splash_set_cursor", SplashSetCursor},
    {"splash_set_interrupt", SplashSetInterrupt},
    {"splash_set_stop_key", SplashSetStopKey},
    {"splash_set_close_button", SplashSetCloseButton},
    {"splash_set_stop_mouse", SplashSetStopMouse},
    {"splash_show_video", SplashShowVideo},
    {"splash_show_image", SplashShowImage},
    {"splash_show_text", SplashShowText},
    {"splash_show_web", SplashShowWeb},
    {"show_image", ShowImage},
    {"show_video", ShowVideo},
    {"show_text", ShowText},
    {"show_info", ShowInfo},
    {"load_info", LoadInfo},
};

}  // namespace

RBindingTable SplashFunctions() { return kSplashFunctions; }

}  // namespace kestro
