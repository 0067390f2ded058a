// The high-score table of game code: its window, its look, the entries and their drawing.
#include <algorithm>
#include <climits>
#include <cmath>

#include "dialogs/Bindings.h"
#include "dialogs/HighScores.h"
#include "dialogs/MessageDialog.h"
#include "graphics/Input.h"
#include "graphics/Text.h"
#include "script/builtins/BuiltinArgs.h"
#include "world/GameState.h"

namespace kestro {

namespace {

using namespace dialogs;

int32_t ScoreArg(const RValue& v) { return int32_t(std::clamp<int64_t>(ArgInt(v), INT32_MIN, INT32_MAX)); }
int IntArg(const RValue& v) { return int(std::clamp<int64_t>(ArgInt(v), INT_MIN, INT_MAX)); }

void SetFont(RHighScoreLook& look, const RValue& name, const RValue& size) {
  look.fontName = ArgText(name);
  look.fontSize = int(std::clamp<int64_t>(ArgInt(size), 0, 256));
}

KESTRO_BUILTIN(F_HighscoreShow) { ShowHighScores(ScoreArg(a[0])); }

KESTRO_BUILTIN(F_HighscoreShowExt) {
  RHighScoreLook& look = HighScoreLook();
  look.background = IntArg(a[1]);
  look.border = ArgBool(a[2]);
  look.newColour = int32_t(ArgInt(a[3]) & 0xFFFFFF);
  look.otherColour = int32_t(ArgInt(a[4]) & 0xFFFFFF);
  SetFont(look, a[5], a[6]);
  ShowHighScores(ScoreArg(a[0]));
}

KESTRO_BUILTIN(F_HighscoreSetBackground) { HighScoreLook().background = IntArg(a[0]); }
KESTRO_BUILTIN(F_HighscoreSetBorder) { HighScoreLook().border = ArgBool(a[0]); }

KESTRO_BUILTIN(F_HighscoreSetFont) {
  SetFont(HighScoreLook(), a[0], a[1]);
  const int64_t style = ArgInt(a[2]);
  if (style >= 0 && style <= 3) HighScoreLook().fontStyle = int(style);
}

KESTRO_BUILTIN(F_HighscoreSetStrings) {
  HighScoreLook().caption = ArgText(a[0]);
  HighScoreLook().nobody = ArgText(a[1]);
  HighScoreLook().escape = ArgText(a[2]);
}

KESTRO_BUILTIN(F_HighscoreSetColors) {
  HighScoreLook().windowColour = int32_t(ArgInt(a[0]) & 0xFFFFFF);
  HighScoreLook().newColour = int32_t(ArgInt(a[1]) & 0xFFFFFF);
  HighScoreLook().otherColour = int32_t(ArgInt(a[2]) & 0xFFFFFF);
}

KESTRO_BUILTIN(F_HighscoreClear) { ClearScores(); }
KESTRO_BUILTIN(F_HighscoreAdd) { AddScore(ArgText(a[0]), ScoreArg(a[1])); }

KESTRO_BUILTIN(F_HighscoreAddCurrent) {
  const int32_t score = GameState().score;
  if (score < ReadScore(kScoreRanks).score) return;
  const std::string name =
      ShowInputDialog("You reached a place in the highscore table.\rPlease provide your name.", "player");
  AddScore(name, score);
  Input().Clear();
}

KESTRO_BUILTIN(F_HighscoreValue) { r.SetReal(ReadScore(ArgInt(a[0])).score); }
KESTRO_BUILTIN(F_HighscoreName) { SetText(r, ReadScore(ArgInt(a[0])).name); }

KESTRO_BUILTIN(F_DrawHighscore) {
  auto rounded = [](double v) { return double(RoundToInt64(std::clamp(v, -1e15, 1e15))); };
  const double h = rounded((a[3].val - a[1].val) / 10), w = rounded(a[2].val - a[0].val);
  const double x = rounded(a[0].val), y1 = rounded(a[1].val);
  for (int i = 1; i <= kScoreRanks; ++i) {
    const RScoreEntry e = ReadScore(i);
    const double y = y1 + (i - 1) * h;
    DrawText(x, y, e.name, -1, -1, nullptr);
    const std::string score = std::to_string(e.score);
    DrawText(x + w - double(TextWidth(score, -1, -1)), y, score, -1, -1, nullptr);
  }
}

}  // namespace

RBindingTable HighScoreFunctions() {
  static const RBinding kBindings[] = {
      {"highscore_show", F_HighscoreShow},
      {"highscore_show_ext", F_HighscoreShowExt},
      {"highscore_set_background", F_HighscoreSetBackground},
      {"highscore_set_border", F_HighscoreSetBorder},
      {"highscore_set_font", F_HighscoreSetFont},
      {"highscore_set_strings", F_HighscoreSetStrings},
      {"highscore_set_colors", F_HighscoreSetColors},
      {"highscore_clear", F_HighscoreClear},
      {"highscore_add", F_HighscoreAdd},
      {"highscore_add_current", F_HighscoreAddCurrent},
      {"highscore_value", F_HighscoreValue},
      {"highscore_name", F_HighscoreName},
      {"draw_highscore", F_DrawHighscore},
  };
  return kBindings;
}

}  // namespace kestro
