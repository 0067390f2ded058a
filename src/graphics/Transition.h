// Screen transitions: when a room change has a transition kind set, the room being left and the
// first frame of the room being entered are drawn into two surfaces, and the change is shown as a
// short animation mixing the two, one frame per display refresh (not per step). 21 built-in
// kinds, and kinds the game defines with a script (or an extension function).
#pragma once

#include <string>
#include <vector>

namespace kestro {

inline constexpr int kTransitionBuiltinKinds = 21;
inline constexpr int kTransitionMaxUserKind = 999999;

class CTransitions {
 public:
  // User kinds: kind -> function id and name; the table grows in blocks of this many entries.
  static constexpr size_t kBlock = 1000;
  struct RUserKind {
    int id = -1;
    std::string name;
  };

  // transition_define: the name as a script, an extension function or a built-in function
  // (function ids); true when found. Only kinds 1..999999 are stored; others are ignored.
  bool Define(int kind, const std::string& name);
  // A built-in kind (1..21) or a user kind whose entry is set.
  bool Exists(int kind) const;
  const RUserKind* UserKind(int kind) const;
  size_t TableSize() const { return user_.size(); }

  // Before the room end event of the room being left: remembers the kind; when it exists, draws
  // the current room into the old picture and makes the new picture the drawing target, so the
  // new room's first drawing goes there. A surface that cannot be made drops the transition.
  void Capture(int kind);
  // After the new room's start and first drawing: plays the animation on the screen and frees
  // both pictures; without a captured transition only presents the frame.
  void Play();
  // A capture whose play will not come (another room change asked for during the new room's
  // start, automatic drawing off, the game ending): the screen is the target again and the
  // pictures are freed.
  void Drop();
  bool Captured() const { return oldPicture_ >= 0 && newPicture_ >= 0; }
  int OldPicture() const { return oldPicture_; }
  int NewPicture() const { return newPicture_; }
  int PendingKind() const { return kind_; }

  // The run's start: no user kinds, nothing captured.
  void Reset();

 private:
  std::vector<RUserKind> user_;
  int kind_ = 0;
  int oldPicture_ = -1, newPicture_ = -1;
  int width_ = 0, height_ = 0;
};

CTransitions& Transitions();

// One frame of a kind at progress p (0..1) from surface `a` (old) to surface `b` (new), both
// w x h, drawn on the current target; `steps` is what the interlaced kinds divide by. User kinds
// run their function; kinds that do not exist draw nothing.
void DrawTransitionFrame(int kind, double p, int a, int b, int w, int h, int steps);

}  // namespace kestro
