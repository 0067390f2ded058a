// Every resource of a game, by kind. The run-time has one process-wide set (the accessors below);
// the builder fills a set of its own from a project and writes it.
#pragma once

#include <string>
#include <vector>

#include "resources/Background.h"
#include "resources/Constant.h"
#include "resources/Extension.h"
#include "resources/Font.h"
#include "resources/GameInformation.h"
#include "resources/IncludedFile.h"
#include "resources/LibraryCode.h"
#include "resources/Object.h"
#include "resources/Path.h"
#include "resources/ResourceBlocks.h"
#include "resources/Room.h"
#include "resources/Script.h"
#include "resources/Sound.h"
#include "resources/Sprite.h"
#include "resources/TimeLine.h"
#include "resources/Trigger.h"

namespace kestro {

struct CGameResources {
  std::vector<CExtensionPackage> extensions;
  CResourceList<CTrigger> triggers;
  CConstants constants;
  CResourceList<CSound> sounds;
  CResourceList<CSprite> sprites;
  CResourceList<CBackground> backgrounds;
  CResourceList<CPath> paths;
  CResourceList<CScript> scripts;
  CResourceList<CFont> fonts;
  CResourceList<CTimeLine> timelines;
  CResourceList<CObject> objects;
  CRoomBlock rooms;
  std::vector<CDataFile> includedFiles;
  CGameInformation gameInformation;
  CLibraryCode libraryCode;
  std::vector<int> roomOrder;

  void Clear() { *this = CGameResources(); }
};

// The run's resources; the block loaders fill them.
CGameResources& GameResources();
inline CResourceList<CSprite>& Sprites() { return GameResources().sprites; }
inline CResourceList<CBackground>& Backgrounds() { return GameResources().backgrounds; }
inline CResourceList<CSound>& Sounds() { return GameResources().sounds; }
inline CResourceList<CPath>& Paths() { return GameResources().paths; }
inline CResourceList<CScript>& Scripts() { return GameResources().scripts; }
inline CResourceList<CFont>& Fonts() { return GameResources().fonts; }
inline CResourceList<CTimeLine>& TimeLines() { return GameResources().timelines; }
inline CResourceList<CObject>& Objects() { return GameResources().objects; }
inline CResourceList<CRoom>& Rooms() { return GameResources().rooms.rooms; }
inline CResourceList<CTrigger>& Triggers() { return GameResources().triggers; }
inline CConstants& Constants() { return GameResources().constants; }
inline std::vector<CExtensionPackage>& ExtensionPackages() { return GameResources().extensions; }
inline std::vector<CDataFile>& IncludedFiles() { return GameResources().includedFiles; }
inline CGameInformation& GameInformation() { return GameResources().gameInformation; }
inline CLibraryCode& LibraryCode() { return GameResources().libraryCode; }
inline std::vector<int>& RoomOrder() { return GameResources().roomOrder; }

// Reads one block into `res`; extension files are written under `tempFolder` when not empty.
bool LoadResourceBlock(ResourceKind kind, CStream& s, CGameResources& res, const std::string& tempFolder);
void SaveResourceBlock(ResourceKind kind, CStream& s, const CGameResources& res);
int ResourceCount(ResourceKind kind, const CGameResources& res);
// The slot names of a kind, for listings: one per slot or entry ("" for an empty slot).
std::vector<std::string> ResourceNames(ResourceKind kind, const CGameResources& res);

// What a listing needs of a game without loading it: the names of every kind, as ResourceNames
// gives them (so the counts are their sizes).
struct RResourceSummary {
  std::vector<std::string> names[kResourceKindCount];
};
// Reads one block into the summary, inflating only names and passing over contents (pictures,
// sounds, included files, extension files, code) by their stored lengths. False (or EStreamError)
// when the block is damaged as far as it is read.
bool SkimResourceBlock(ResourceKind kind, CStream& s, RResourceSummary& summary);

}  // namespace kestro
