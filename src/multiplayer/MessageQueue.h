// The received messages of game code: at most 4000, each with a taken flag, in arrival order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "multiplayer/Wire.h"

namespace kestro::mplay {

class CMessageQueue {
 public:
  static constexpr size_t kCapacity = 4000;

  // Adds a received message. A full queue first drops its taken messages; when it is still full
  // the new one is dropped (false).
  bool Add(TMess m);
  // Takes the first untaken message from `player` (0: anyone) into `out`.
  bool Take(uint32_t player, TMess& out);
  // The number of untaken messages from `player` (0: anyone).
  size_t Count(uint32_t player) const;
  // Marks every untaken message from `player` (0: every one) as taken and removes the taken ones.
  void Clear(uint32_t player);
  size_t Size() const { return items_.size(); }
  size_t Dropped() const { return dropped_; }
  void Reset();

 private:
  struct RItem {
    TMess mess;
    bool taken = false;
  };
  void RemoveTaken();
  void AdvanceFirst();

  std::vector<RItem> items_;
  size_t first_ = 0;  // no untaken message before this position
  size_t dropped_ = 0;
};

}  // namespace kestro::mplay
