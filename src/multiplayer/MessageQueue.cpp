#include "multiplayer/MessageQueue.h"

#include <algorithm>
#include <utility>

namespace kestro::mplay {

bool CMessageQueue::Add(TMess m) {
  if (items_.size() >= kCapacity) RemoveTaken();
  if (items_.size() >= kCapacity) {
    ++dropped_;
    return false;
  }
  items_.push_back({std::move(m), false});
  return true;
}

bool CMessageQueue::Take(uint32_t player, TMess& out) {
  for (size_t i = first_; i < items_.size(); ++i) {
    RItem& item = items_[i];
    if (item.taken || (player != 0 && item.mess.player != player)) continue;
    item.taken = true;
    out = item.mess;
    AdvanceFirst();
    return true;
  }
  return false;
}

size_t CMessageQueue::Count(uint32_t player) const {
  size_t n = 0;
  for (size_t i = first_; i < items_.size(); ++i)
    if (!items_[i].taken && (player == 0 || items_[i].mess.player == player)) ++n;
  return n;
}

void CMessageQueue::Clear(uint32_t player) {
  for (size_t i = first_; i < items_.size(); ++i)
    if (player == 0 || items_[i].mess.player == player) items_[i].taken = true;
  RemoveTaken();
}

void CMessageQueue::Reset() {
  items_.clear();
  first_ = 0;
}

void CMessageQueue::RemoveTaken() {
  std::erase_if(items_, [](const RItem& item) { return item.taken; });
  first_ = 0;
}

void CMessageQueue::AdvanceFirst() {
  while (first_ < items_.size() && items_[first_].taken) ++first_;
}

}  // namespace kestro::mplay
