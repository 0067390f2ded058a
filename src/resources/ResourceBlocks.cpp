#include "resources/ResourceBlocks.h"

#include "resources/GameResources.h"
#include "io/RunState.h"

namespace kestro {

namespace {
CGameResources g_resources;  // at namespace scope: no guard on the script-call path
}
CGameResources& GameResources() { return g_resources; }

const char* ResourceKindName(ResourceKind kind) {
  static const char* names[] = {"extension packages", "triggers", "constants", "sounds", "sprites",
                                "backgrounds", "paths", "scripts", "fonts", "time lines", "objects",
                                "rooms", "included files", "game information", "library init code",
                                "room order"};
  int k = int(kind);
  return k >= 0 && k < kResourceKindCount ? names[k] : "?";
}

bool LoadResourceBlock(ResourceKind kind, CStream& s, CGameResources& r, const std::string& tempFolder) {
  switch (kind) {
    case ResourceKind::Extension: return LoadExtensionBlock(s, r.extensions, tempFolder);
    case ResourceKind::Trigger: return LoadTriggerBlock(s, r.triggers);
    case ResourceKind::Constant: return r.constants.LoadFromStream(s);
    case ResourceKind::Sound: return LoadSoundBlock(s, r.sounds);
    case ResourceKind::Sprite: return LoadSpriteBlock(s, r.sprites);
    case ResourceKind::Background: return LoadBackgroundBlock(s, r.backgrounds);
    case ResourceKind::Path: return LoadPathBlock(s, r.paths);
    case ResourceKind::Script: return LoadScriptBlock(s, r.scripts);
    case ResourceKind::Font: return LoadFontBlock(s, r.fonts);
    case ResourceKind::TimeLine: return LoadTimeLineBlock(s, r.timelines);
    case ResourceKind::Object: return LoadObjectBlock(s, r.objects);
    case ResourceKind::Room: return LoadRoomBlock(s, r.rooms, r.backgrounds);
    case ResourceKind::IncludedFile: return LoadIncludedFileBlock(s, r.includedFiles);
    case ResourceKind::GameInformation: return r.gameInformation.LoadFromStream(s);
    case ResourceKind::LibraryInitCode: return r.libraryCode.LoadFromStream(s);
    case ResourceKind::RoomOrder: return LoadRoomOrderBlock(s, r.roomOrder);
    default: return false;
  }
}

void SaveResourceBlock(ResourceKind kind, CStream& s, const CGameResources& r) {
  switch (kind) {
    case ResourceKind::Extension: return SaveExtensionBlock(s, r.extensions);
    case ResourceKind::Trigger: return SaveTriggerBlock(s, r.triggers);
    case ResourceKind::Constant: return r.constants.SaveToStream(s);
    case ResourceKind::Sound: return SaveSoundBlock(s, r.sounds);
    case ResourceKind::Sprite: return SaveSpriteBlock(s, r.sprites);
    case ResourceKind::Background: return SaveBackgroundBlock(s, r.backgrounds);
    case ResourceKind::Path: return SavePathBlock(s, r.paths);
    case ResourceKind::Script: return SaveScriptBlock(s, r.scripts);
    case ResourceKind::Font: return SaveFontBlock(s, r.fonts);
    case ResourceKind::TimeLine: return SaveTimeLineBlock(s, r.timelines);
    case ResourceKind::Object: return SaveObjectBlock(s, r.objects);
    case ResourceKind::Room: return SaveRoomBlock(s, r.rooms);
    case ResourceKind::IncludedFile: return SaveIncludedFileBlock(s, r.includedFiles);
    case ResourceKind::GameInformation: return r.gameInformation.SaveToStream(s);
    case ResourceKind::LibraryInitCode: return r.libraryCode.SaveToStream(s);
    case ResourceKind::RoomOrder: return SaveRoomOrderBlock(s, r.roomOrder);
    default: return;
  }
}

int ResourceCount(ResourceKind kind, const CGameResources& r) {
  switch (kind) {
    case ResourceKind::Extension: return int(r.extensions.size());
    case ResourceKind::Trigger: return r.triggers.Count();
    case ResourceKind::Constant: return r.constants.Count();
    case ResourceKind::Sound: return r.sounds.Count();
    case ResourceKind::Sprite: return r.sprites.Count();
    case ResourceKind::Background: return r.backgrounds.Count();
    case ResourceKind::Path: return r.paths.Count();
    case ResourceKind::Script: return r.scripts.Count();
    case ResourceKind::Font: return r.fonts.Count();
    case ResourceKind::TimeLine: return r.timelines.Count();
    case ResourceKind::Object: return r.objects.Count();
    case ResourceKind::Room: return r.rooms.rooms.Count();
    case ResourceKind::IncludedFile: return int(r.includedFiles.size());
    case ResourceKind::GameInformation: return 1;
    case ResourceKind::LibraryInitCode: return int(r.libraryCode.pieces.size());
    case ResourceKind::RoomOrder: return int(r.roomOrder.size());
    default: return 0;
  }
}

namespace {
template <typename T>
std::vector<std::string> SlotNames(const CResourceList<T>& list) {
  std::vector<std::string> out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(list.Exists(i) ? list.Name(i) : std::string());
  return out;
}
}  // namespace

std::vector<std::string> ResourceNames(ResourceKind kind, const CGameResources& r) {
  std::vector<std::string> out;
  switch (kind) {
    case ResourceKind::Extension:
      for (const CExtensionPackage& p : r.extensions) out.push_back(p.s_name);
      return out;
    case ResourceKind::Trigger:
      for (int i = 0; i < r.triggers.Count(); ++i)
        out.push_back(r.triggers.Exists(i) ? r.triggers.Get(i)->i_name : std::string());
      return out;
    case ResourceKind::Constant: return r.constants.names;
    case ResourceKind::Sound: return SlotNames(r.sounds);
    case ResourceKind::Sprite: return SlotNames(r.sprites);
    case ResourceKind::Background: return SlotNames(r.backgrounds);
    case ResourceKind::Path: return SlotNames(r.paths);
    case ResourceKind::Script: return SlotNames(r.scripts);
    case ResourceKind::Font: return SlotNames(r.fonts);
    case ResourceKind::TimeLine: return SlotNames(r.timelines);
    case ResourceKind::Object: return SlotNames(r.objects);
    case ResourceKind::Room: return SlotNames(r.rooms.rooms);
    case ResourceKind::IncludedFile:
      for (const CDataFile& f : r.includedFiles) out.push_back(f.s_filename);
      return out;
    case ResourceKind::GameInformation: return {r.gameInformation.caption};
    case ResourceKind::LibraryInitCode:
      for (size_t i = 0; i < r.libraryCode.pieces.size(); ++i) out.push_back("piece " + std::to_string(i));
      return out;
    case ResourceKind::RoomOrder:
      for (int room : r.roomOrder) out.push_back(r.rooms.rooms.Name(room));
      return out;
    default: return out;
  }
}

bool SkimResourceBlock(ResourceKind kind, CStream& s, RResourceSummary& summary) {
  std::vector<std::string>& names = summary.names[int(kind)];
  names.clear();
  auto unnamed = [](CStream&, std::string&) { return false; };
  switch (kind) {
    case ResourceKind::Extension: return SkimExtensionBlock(s, names);
    case ResourceKind::Trigger:
      return SkimListBlock(s, kListBlockVersion, names, false, [](CStream& item, std::string& name) {
        if (item.ReadInteger() != kTriggerVersion) return false;
        name = item.ReadString();
        return true;
      });
    case ResourceKind::Sound:
    case ResourceKind::Sprite:
    case ResourceKind::Background:
    case ResourceKind::Path:
    case ResourceKind::Script:
    case ResourceKind::Font:
    case ResourceKind::TimeLine:
    case ResourceKind::Object: return SkimListBlock(s, kListBlockVersion, names, true, unnamed);
    case ResourceKind::Room:
      if (!SkimListBlock(s, kListBlockVersion, names, true, unnamed)) return false;
      s.ReadInteger();  // the last instance id
      s.ReadInteger();  // the last tile id
      return true;
    case ResourceKind::IncludedFile: return SkimIncludedFileBlock(s, names);
    case ResourceKind::GameInformation: {
      std::string caption;
      if (!CGameInformation::SkimCaption(s, caption)) return false;
      names.push_back(caption);
      return true;
    }
    case ResourceKind::Constant:
    case ResourceKind::LibraryInitCode:
    case ResourceKind::RoomOrder: {
      // Plain and small: read whole. Room order names come from the rooms read before it.
      CGameResources r;
      for (const std::string& room : summary.names[int(ResourceKind::Room)])
        r.rooms.rooms.Add(room.empty() ? nullptr : std::make_unique<CRoom>(), room);
      if (!LoadResourceBlock(kind, s, r, "")) return false;
      names = ResourceNames(kind, r);
      return true;
    }
    default: return false;
  }
}

bool LoadResourceBlock(ResourceKind kind, CStream& s) {
  return LoadResourceBlock(kind, s, GameResources(), RunState().tempFolder);
}

int ResourceCount(ResourceKind kind) { return ResourceCount(kind, GameResources()); }

void ClearResources() { GameResources().Clear(); }

}  // namespace kestro
