#include "sound/SoundResource.h"

#include <filesystem>
#include <fstream>

#include "io/RunState.h"
#include "platform/posix/Files.h"
#include "platform/posix/TempFolder.h"
#include "sound/SoundLayer.h"

namespace kestro {

namespace fs = std::filesystem;

namespace {

// The largest sound file taken in: far beyond any game's sound, well below what memory allows.
constexpr uint64_t kMaxSoundFileBytes = uint64_t(1) << 28;

// Writes the bytes to a new file of the temporary folder; its name, or "" when it cannot.
std::string WriteTemporarySoundFile(const std::vector<uint8_t>& bytes, const std::string& extension) {
  const std::string& folder = RunState().tempFolder;
  if (folder.empty()) return {};
  // The extension comes from the game data: only a plain ".xyz" is kept in the name.
  std::string ext = extension;
  if (ext.size() > 16 || ext.find('/') != std::string::npos || ext.find('\0') != std::string::npos) ext.clear();
  std::string name = os::TempFileName(folder, ext);
  std::ofstream f(name, std::ios::binary | std::ios::trunc);
  if (!f || !f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()))) return {};
  return name;
}

}  // namespace

void SoundRestore(CSound& s) {
  if (s.s_soundid >= 0) SoundDiscard(s);
  CSoundLayer& layer = SoundLayer();
  if (s.s_kind >= kSoundNormal && s.s_kind <= kSoundThreeD && s.s_sound) {
    s.s_soundid = layer.CreateFromMemory(s.s_sound->data(), s.s_sound->size(), s.s_kind);
    if (s.s_soundid < 0) s.s_kind = kSoundMultimedia;
  }
  if (s.s_kind == kSoundMultimedia) {
    if (s.s_sound) {
      s.s_fname = WriteTemporarySoundFile(*s.s_sound, s.s_extension);
      s.s_sound.reset();
    }
    s.s_soundid = layer.CreateFromFile(s.s_fname, kSoundMultimedia);
  }
  if (s.s_soundid < 0) return;
  if (s.s_effects != 0) layer.SetEffects(s.s_soundid, s.s_effects);
  layer.SetVolume(s.s_soundid, s.s_volume, 0);
  layer.SetPan(s.s_soundid, s.s_pan);
}

void SoundPrepare(CSound& s) {
  if (s.s_preload) SoundRestore(s);
}

void SoundDiscard(CSound& s) {
  SoundLayer().Free(s.s_soundid);
  s.s_soundid = -1;
}

int GetSoundId(CSound& s) {
  if (s.s_soundid < 0) SoundRestore(s);
  return s.s_soundid;
}

bool SoundLoadFromFile(CSound& s, const std::string& fname, int kind, bool preload) {
  std::error_code ec;
  if (fname.empty() || !fs::is_regular_file(fname, ec)) return false;
  std::vector<uint8_t> bytes;
  if (!os::ReadFileBytes(fname, bytes, kMaxSoundFileBytes)) return false;
  SoundDiscard(s);
  s.s_sound = std::move(bytes);
  s.s_extension = fs::path(fname).extension().string();
  s.s_origname = fs::path(fname).filename().string();
  s.s_fname.clear();
  s.s_kind = kind;
  s.s_preload = preload;
  SoundPrepare(s);
  return true;
}

void PrepareGameSounds() {
  CResourceList<CSound>& sounds = Sounds();
  SoundLayer().Start(sounds.Count());
  for (int i = 0; i < sounds.Count(); ++i)
    if (CSound* s = sounds.Get(i)) SoundPrepare(*s);
}

void ShutdownGameSounds() {
  SoundLayer().Shutdown();
  CResourceList<CSound>& sounds = Sounds();
  for (int i = 0; i < sounds.Count(); ++i)
    if (CSound* s = sounds.Get(i)) s->s_soundid = -1;
}

}  // namespace kestro
