#include "resources/ResourceBlocks.h"

#include <array>
#include <memory>

#include "runner/Stream.h"

namespace kestro {

namespace {

// Slot counts of the lists read so far; the per-kind models replace this as they land.
std::array<int, kResourceKindCount> g_counts{};

// A resource list: version, count, then one packed block per slot.
bool SkipPackedList(CStream& s, int version, int& count) {
  if (s.ReadInteger() != version) return false;
  count = s.ReadInteger();
  if (count < 0) return false;
  for (int i = 0; i < count; ++i) {
    int32_t n = s.ReadInteger();
    if (n > 0) s.Skip(size_t(n));
  }
  return true;
}

}  // namespace

const char* ResourceKindName(ResourceKind kind) {
  static const char* names[] = {"extension packages", "triggers", "constants", "sounds", "sprites",
                                "backgrounds", "paths", "scripts", "fonts", "time lines", "objects",
                                "rooms", "included files", "game information", "library init code",
                                "room order"};
  return names[int(kind)];
}

bool LoadResourceBlock(ResourceKind kind, CStream& s) {
  int& count = g_counts[int(kind)];
  count = 0;
  switch (kind) {
    case ResourceKind::Extension: {
      if (s.ReadInteger() != 700) return false;
      count = s.ReadInteger();
      return count == 0;  // packages are read by the extension model
    }
    case ResourceKind::Constant: {
      if (s.ReadInteger() != 800) return false;
      count = s.ReadInteger();
      if (count < 0) return false;
      for (int i = 0; i < count; ++i) {
        s.ReadString();
        s.ReadString();
      }
      return true;
    }
    case ResourceKind::GameInformation: {
      if (s.ReadInteger() != 800) return false;
      s.ReadStreamC();
      count = 1;
      return true;
    }
    case ResourceKind::LibraryInitCode: {
      if (s.ReadInteger() != 500) return false;
      count = s.ReadInteger();
      if (count < 0) return false;
      for (int i = 0; i < count; ++i) s.ReadString();
      return true;
    }
    case ResourceKind::RoomOrder: {
      if (s.ReadInteger() != 700) return false;
      count = s.ReadInteger();
      if (count <= 0) return false;  // a game needs at least one room
      s.Skip(size_t(count) * 4);
      return true;
    }
    default:
      return SkipPackedList(s, 800, count);
  }
}

int ResourceCount(ResourceKind kind) { return g_counts[int(kind)]; }

void ClearResources() { g_counts.fill(0); }

}  // namespace kestro
