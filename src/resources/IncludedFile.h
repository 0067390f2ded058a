// CDataFile: a file the game carries and writes to disk when it starts.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kestro {

class CStream;

class CDataFile {
 public:
  std::string s_filename;  // may contain folders
  std::string s_origname;
  bool s_exists = false;
  int s_size = 0;
  bool s_store = false;
  std::vector<uint8_t> s_data;
  int s_exportaction = 2;  // 0 none, 1 temporary folder, 2 working folder, 3 s_exportdir
  std::string s_exportdir;
  bool s_overwrite = false;
  bool s_freedata = true;
  bool s_removeend = true;

  void Create() { Clear(); }
  void Clear() { *this = CDataFile(); }
  void Assign(const CDataFile& o) { *this = o; }
  void Destroy() { Clear(); }
  bool LoadFromStream(CStream& s);
  void SaveToStream(CStream& s) const;
  // Drops the content.
  void Discard() {
    s_data.clear();
    s_exists = false;
  }
  // Saves the content as `file` when there is content and no such file or overwriting is on.
  bool ExportIt(const std::filesystem::path& file) const;
  // Where the export action puts the file: the temporary folder, the working folder or the
  // export folder, with the stored name kept inside it. Empty for action 0, other actions and
  // names with nothing usable left.
  std::filesystem::path ExportPath(const std::filesystem::path& tempFolder,
                                   const std::filesystem::path& workingFolder) const;
  // Exports as the export action says, then drops the content when asked.
  bool Prepare(const std::filesystem::path& tempFolder, const std::filesystem::path& workingFolder);
  // Deletes the exported file at the end of the run when asked, whether or not this run wrote it.
  bool Remove(const std::filesystem::path& tempFolder, const std::filesystem::path& workingFolder) const;
};

// A file name from game data made safe for use under `folder`: relative, without "..", drive or
// root parts. Empty when nothing usable is left.
std::filesystem::path SafeRelativePath(const std::string& name);

// int 800, int count, count packed blocks each holding one file's stored form.
bool LoadIncludedFileBlock(CStream& s, std::vector<CDataFile>& files);
// The file names, each file's packed block inflated only as far as its name.
bool SkimIncludedFileBlock(CStream& s, std::vector<std::string>& names);
void SaveIncludedFileBlock(CStream& s, const std::vector<CDataFile>& files);

}  // namespace kestro
