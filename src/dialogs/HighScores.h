// The table of the ten best players of a game, kept in the current user's registry under
// "Software\Kestro\Scores\" + the game id, one value "Rank1" .. "Rank10" per rank, each entry
// encoded as capital letters "A" to "P" scrambled with the game id. Also the look of the
// high-score window, which stays for the run, and the window itself.
#pragma once

#include <cstdint>
#include <string>

#include "dialogs/ModalLoop.h"

namespace kestro::dialogs {

inline constexpr int kScoreRanks = 10;
// Names keep at most this many characters: what the reading of an entry can give back.
inline constexpr size_t kMaxScoreName = 240;

// An entry as the registry keeps it. Names keep the low byte of each UTF-16 unit of their
// characters; longer names than kMaxScoreName are cut there.
std::string EncodeScoreEntry(const std::string& name, int32_t score, int64_t gameId);
// Any text decodes to something (no error): a name of characters 0..255 and a score.
void DecodeScoreEntry(const std::string& text, int64_t gameId, std::string& name, int32_t& score);

struct RHighScoreLook {
  int background = -1;
  bool border = true;
  int32_t windowColour = 0xF0FBFF;
  int32_t newColour = 0x0000FF;
  int32_t otherColour = 0;
  std::string fontName = "Times New Roman";
  int fontSize = 12;
  int fontStyle = 0;
  std::string caption = "Top Ten Players";
  std::string nobody = "<nobody>";
  std::string escape = "press <Escape> to close";
};
RHighScoreLook& HighScoreLook();

// The run's game's table in the registry.
struct RScoreEntry {
  std::string name;
  int32_t score = 0;
};
// A rank outside 1..10, a missing key or value: the nobody text and 0. Reading creates nothing.
RScoreEntry ReadScore(int64_t rank);
void WriteScore(int64_t rank, const std::string& name, int32_t score);
// Inserts below every entry at least as good; the rank it got, -1 when none.
int AddScore(const std::string& name, int32_t score);
void ClearScores();

// The window: the table with the candidate `score` (its name typed by the player when it gets a
// place), shown modally.
void ShowHighScores(int32_t score);

// The window's state while it shows.
class CHighScoreView final : public IModalView {
 public:
  CHighScoreView(int newRank, int windowLeft, int windowTop) : newRank_(newRank), left_(windowLeft), top_(windowTop) {}
  static constexpr int kClientW = 360, kClientH = 400;

  void Feed(const RInputEvent& e) override;
  bool Done() const override { return done_; }
  void Draw() override;
  void Answer(const std::string& answer) override;
  void Cancel() override { done_ = true; }
  std::string Describe() const override;

  int NewRank() const { return newRank_; }
  const std::string& Typed() const { return typed_; }

 private:
  int newRank_;
  int left_, top_;
  std::string typed_;
  bool done_ = false;
};

}  // namespace kestro::dialogs
