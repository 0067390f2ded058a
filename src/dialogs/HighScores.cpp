#include "dialogs/HighScores.h"

#include <algorithm>
#include <vector>

#include "dialogs/DialogDraw.h"
#include "files/RegistryStore.h"
#include "graphics/Graphics.h"
#include "graphics/SpriteDraw.h"
#include "io/RunState.h"
#include "resources/GameResources.h"
#include "script/Value.h"

namespace kestro::dialogs {

namespace {

constexpr size_t kSlots = 1024;

std::string ScoreKey() { return "Software\\Kestro\\Scores\\" + std::to_string(RunState().gameId); }
std::string RankName(int64_t rank) { return "Rank" + std::to_string(rank); }

// The UTF-16 units of UTF-8 text (a byte that starts no character stands for itself).
std::vector<uint16_t> Utf16Units(const std::string& s) {
  std::vector<uint16_t> out;
  for (size_t i = 0; i < s.size();) {
    unsigned char b = static_cast<unsigned char>(s[i]);
    size_t len = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 1;
    if (i + len > s.size()) len = 1;
    uint32_t c = len == 1 ? b : len == 2 ? b & 0x1Fu : len == 3 ? b & 0x0Fu : b & 0x07u;
    for (size_t k = 1; k < len; ++k) c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3Fu);
    if (c >= 0x10000) {
      c -= 0x10000;
      out.push_back(uint16_t(0xD800 + (c >> 10)));
      out.push_back(uint16_t(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(uint16_t(c));
    }
    i += len;
  }
  return out;
}

}  // namespace

std::string EncodeScoreEntry(const std::string& name, int32_t score, int64_t gameId) {
  std::vector<uint16_t> units = Utf16Units(name);
  if (units.size() > kMaxScoreName) units.resize(kMaxScoreName);
  std::vector<int> slot(kSlots, 0);
  const uint32_t u = uint32_t(score);
  for (size_t k = 0; k < 4; ++k) slot[k] = int((u >> (8 * k)) & 0xFF);
  for (size_t k = 0; k < units.size(); ++k) slot[16 + k] = units[k];
  const int g = int(gameId & 0xFF);
  for (size_t i = 1; i <= kSlots; ++i) slot[i - 1] = (int(i) + slot[i - 1] + g) & 255;
  std::string out;
  for (size_t k = 0; k < units.size() + 16; ++k) {
    out += char('A' + slot[k] / 16);
    out += char('A' + slot[k] % 16);
  }
  return out;
}

void DecodeScoreEntry(const std::string& text, int64_t gameId, std::string& name, int32_t& score) {
  std::vector<int> slot(kSlots, 0);
  const size_t pairs = std::min(text.size() / 2, kSlots);
  for (size_t k = 0; k < pairs; ++k)
    slot[k] = 16 * static_cast<unsigned char>(text[2 * k]) + static_cast<unsigned char>(text[2 * k + 1]) - 1105;
  const int g = int(gameId & 0xFF);
  for (int j = 1; j <= 256; ++j) slot[size_t(j - 1)] = (slot[size_t(j - 1)] - j - g) & 255;
  score = int32_t(uint32_t(slot[0]) | uint32_t(slot[1]) << 8 | uint32_t(slot[2]) << 16 | uint32_t(slot[3]) << 24);
  name.clear();
  if (text.size() <= 33) return;
  // Only the first 256 slots are unscrambled: names read back at most 240 characters.
  const size_t count = std::min(text.size() / 2 - 16, kMaxScoreName);
  for (size_t k = 0; k < count; ++k) AppendUtf8(name, char32_t(slot[16 + k]));
}

RHighScoreLook& HighScoreLook() {
  static RHighScoreLook look;
  return look;
}

RScoreEntry ReadScore(int64_t rank) {
  RScoreEntry e{HighScoreLook().nobody, 0};
  if (rank < 1 || rank > kScoreRanks) return e;
  auto v = files::Registry().ReadIfStored(files::ERegistryRoot::kCurrentUser, ScoreKey(), RankName(rank));
  if (!v || (v->type != files::kRegString && v->type != files::kRegExpandString)) return e;
  DecodeScoreEntry(v->data, RunState().gameId, e.name, e.score);
  return e;
}

void WriteScore(int64_t rank, const std::string& name, int32_t score) {
  if (rank < 1 || rank > kScoreRanks) return;
  // Failures to write are not reported.
  files::Registry().Write(files::ERegistryRoot::kCurrentUser, ScoreKey(), RankName(rank),
                          {files::kRegString, EncodeScoreEntry(name, score, RunState().gameId)});
}

int AddScore(const std::string& name, int32_t score) {
  int place = -1;
  for (int i = 1; i <= kScoreRanks && place < 0; ++i)
    if (ReadScore(i).score < score) place = i;
  if (place < 0) return -1;
  for (int i = kScoreRanks - 1; i >= place; --i) {
    RScoreEntry e = ReadScore(i);
    WriteScore(i + 1, e.name, e.score);
  }
  WriteScore(place, name, score);
  return place;
}

void ClearScores() {
  for (int i = 1; i <= kScoreRanks; ++i) WriteScore(i, HighScoreLook().nobody, 0);
}

// ---- the window ----

void CHighScoreView::Feed(const RInputEvent& e) {
  if (done_) return;
  if (e.kind == RInputEvent::kClose) done_ = true;
  if (e.kind == RInputEvent::kKeyDown && (e.value == 27 || e.value == 13)) done_ = true;
  if (e.kind != RInputEvent::kChar || newRank_ < 0) return;
  if (e.value == 27 || e.value == 13) {
    done_ = true;
  } else if (e.value == 8) {
    if (!typed_.empty()) {
      size_t at = typed_.size() - 1;
      while (at > 0 && (static_cast<unsigned char>(typed_[at]) & 0xC0) == 0x80) --at;
      typed_.erase(at);
    }
  } else if (e.value >= 32 && e.value < 0x110000 && !(e.value >= 0xD800 && e.value <= 0xDFFF)) {
    AppendUtf8(typed_, char32_t(e.value));
  }
}

void CHighScoreView::Answer(const std::string& answer) {
  typed_ = answer;
  done_ = true;
}

std::string CHighScoreView::Describe() const {
  return "highscore rank " + std::to_string(newRank_) + " -> \"" + typed_ + "\"";
}

void CHighScoreView::Draw() {
  const RHighScoreLook& look = HighScoreLook();
  RDialogFont font;
  font.name = look.fontName;
  font.size = look.fontSize;
  font.bold = (look.fontStyle & 1) != 0;
  font.italic = (look.fontStyle & 2) != 0;
  const int frame = look.border ? kFrame : 0, bar = look.border ? kCaptionBar : 0;
  const RRectI window{left_, top_, kClientW + 2 * frame, kClientH + 2 * frame + bar};
  const int cx = left_ + frame, cy = top_ + frame + bar;
  if (look.border) {
    FillRect(window, 0xC0C0C0, 1);
    FillRect({left_ + frame, top_ + frame, kClientW, bar}, 0x6A2400, 1);
    RDialogFont captionFont;
    captionFont.bold = true;
    DrawTextLine(captionFont, look.caption, left_ + frame + 4, top_ + frame + 3, 0xFFFFFF, 1);
  }
  FillRect({cx, cy, kClientW, kClientH}, look.windowColour, 1);
  if (const CBackground* back = Backgrounds().Get(look.background); back && back->GetTexture() >= 0)
    DrawStretched(*back, 0xFFFFFF, 1, kClientW, kClientH, cx, cy);
  const int lineH = DrawingMetrics().LineHeight(font);
  for (int i = 1; i <= kScoreRanks; ++i) {
    RScoreEntry e = ReadScore(i);
    const bool isNew = i == newRank_;
    const int32_t colour = isNew ? look.newColour : look.otherColour;
    const int y = cy + 48 + 32 * (i - 1) + (25 - lineH) / 2;
    const std::string rank = std::to_string(i) + ".";
    DrawTextLine(font, rank, cx + 8 + 33 - DrawingMetrics().TextWidth(font, rank), y, colour, 1);
    DrawTextLine(font, isNew ? typed_ + "|" : e.name, cx + 48, y, colour, 1);
    const std::string score = std::to_string(e.score);
    DrawTextLine(font, score, cx + 264 + 73 - DrawingMetrics().TextWidth(font, score), y, colour, 1);
  }
  DrawTextLine(font, look.escape, cx + 112, cy + 376, look.otherColour, 1);
}

void ShowHighScores(int32_t score) {
  const int rank = AddScore("", score);
  const RHighScoreLook& look = HighScoreLook();
  const int frame = look.border ? kFrame : 0, bar = look.border ? kCaptionBar : 0;
  const int w = CHighScoreView::kClientW + 2 * frame, h = CHighScoreView::kClientH + 2 * frame + bar;
  CHighScoreView view(rank, (Graphics().RegionWidth() - w) / 2, (Graphics().RegionHeight() - h) / 2);
  RunModal(view);
  if (rank > 0) WriteScore(rank, view.Typed(), ReadScore(rank).score);
}

}  // namespace kestro::dialogs
