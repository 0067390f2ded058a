// The sixteen blocks of the resource section, each read by the loader of its resource kind.
// A loader receives the section stream positioned at its block and leaves it after the block;
// false (or EStreamError) means the block is damaged.
#pragma once

#include <cstdint>
#include <string>

namespace kestro {

class CStream;

enum class ResourceKind {
  Extension, Trigger, Constant, Sound, Sprite, Background, Path, Script, Font, TimeLine, Object,
  Room, IncludedFile, GameInformation, LibraryInitCode, RoomOrder, Count
};
inline constexpr int kResourceKindCount = int(ResourceKind::Count);

const char* ResourceKindName(ResourceKind kind);  // "sprites", "room order", ...

// Reads the block of the given kind into its resource list (freeing what the list held).
bool LoadResourceBlock(ResourceKind kind, CStream& section);
// The number of slots (or entries) the list of that kind holds now.
int ResourceCount(ResourceKind kind);
// Empties every resource list.
void ClearResources();

}  // namespace kestro
