#include "resources/IncludedFile.h"

#include <fstream>

#include "resources/ResourceList.h"

namespace kestro {

// The version of an included file's stored form.
constexpr int32_t kDataFileVersion = 800;
// The version of the included-files block.
constexpr int32_t kIncludedFileBlockVersion = 800;

namespace fs = std::filesystem;

bool CDataFile::LoadFromStream(CStream& s) {
  Clear();
  if (s.ReadInteger() != kDataFileVersion) return false;
  s_filename = s.ReadString();
  s_origname = s.ReadString();
  s_exists = s.ReadBoolean();
  s_size = s.ReadInteger();
  s_store = s.ReadBoolean();
  if (s_exists && s_store) s_data = std::move(s.ReadStream()->Buffer());
  s_exportaction = s.ReadInteger();
  s_exportdir = s.ReadString();
  s_overwrite = s.ReadBoolean();
  s_freedata = s.ReadBoolean();
  s_removeend = s.ReadBoolean();
  return true;
}

void CDataFile::SaveToStream(CStream& s) const {
  s.WriteInteger(kDataFileVersion);
  s.WriteString(s_filename);
  s.WriteString(s_origname);
  s.WriteBoolean(s_exists);
  s.WriteInteger(s_size);
  s.WriteBoolean(s_store);
  if (s_exists && s_store) {
    s.WriteInteger(int32_t(s_data.size()));
    s.WriteBytes(s_data.data(), s_data.size());
  }
  s.WriteInteger(s_exportaction);
  s.WriteString(s_exportdir);
  s.WriteBoolean(s_overwrite);
  s.WriteBoolean(s_freedata);
  s.WriteBoolean(s_removeend);
}

bool CDataFile::ExportIt(const fs::path& file) const {
  if (!s_exists || !s_store) return false;
  std::error_code ec;
  if (!s_overwrite && fs::exists(file, ec)) return false;
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  return out && out.write(reinterpret_cast<const char*>(s_data.data()), std::streamsize(s_data.size()));
}

fs::path CDataFile::ExportPath(const fs::path& tempFolder, const fs::path& workingFolder) const {
  fs::path name = SafeRelativePath(s_filename);
  if (name.empty()) return {};
  switch (s_exportaction) {
    case 1: return tempFolder.empty() ? fs::path() : tempFolder / name;
    case 2: return workingFolder / name;
    case 3: return s_exportdir.empty() ? fs::path() : fs::path(s_exportdir) / name;
    default: return {};
  }
}

bool CDataFile::Prepare(const fs::path& tempFolder, const fs::path& workingFolder) {
  if (!s_exists || !s_store) return false;
  if (s_exportaction == 0) return true;
  fs::path file = ExportPath(tempFolder, workingFolder);
  if (file.empty()) return false;
  std::error_code ec;
  fs::create_directories(file.parent_path(), ec);
  bool ok = ExportIt(file);
  if (s_freedata) Discard();
  return ok;
}

bool CDataFile::Remove(const fs::path& tempFolder, const fs::path& workingFolder) const {
  if (!s_removeend) return false;
  fs::path file = ExportPath(tempFolder, workingFolder);
  std::error_code ec;
  return !file.empty() && fs::remove(file, ec);
}

fs::path SafeRelativePath(const std::string& name) {
  std::string text = name;
  for (char& c : text)
    if (c == '\\') c = '/';  // game data names folders the other platform's way
  fs::path out;
  for (const fs::path& part : fs::path(text)) {
    std::string p = part.string();
    if (p.empty() || p == "/" || p == "." || p == ".." || p.find(':') != std::string::npos) continue;
    out /= p;
  }
  return out;
}

bool LoadIncludedFileBlock(CStream& s, std::vector<CDataFile>& files) {
  files.clear();
  int32_t n = 0;
  if (!ReadBlockCount(s, kIncludedFileBlockVersion, 4, n)) return false;
  files.resize(size_t(n));
  for (CDataFile& f : files) {
    std::unique_ptr<CStream> item = s.ReadStreamC();
    if (!f.LoadFromStream(*item)) {
      files.clear();
      return false;
    }
  }
  return true;
}

bool SkimIncludedFileBlock(CStream& s, std::vector<std::string>& names) {
  names.clear();
  int32_t n = 0;
  if (!ReadBlockCount(s, kIncludedFileBlockVersion, 4, n)) return false;
  for (int32_t i = 0; i < n; ++i) {
    std::unique_ptr<CStream> item = s.ReadStreamC();
    if (item->ReadInteger() != kDataFileVersion) return false;
    names.push_back(item->ReadString());
  }
  return true;
}

void SaveIncludedFileBlock(CStream& s, const std::vector<CDataFile>& files) {
  s.WriteInteger(kIncludedFileBlockVersion);
  s.WriteInteger(int32_t(files.size()));
  for (const CDataFile& f : files) {
    CStream item;
    f.SaveToStream(item);
    s.WriteStreamC(item);
  }
}

}  // namespace kestro
