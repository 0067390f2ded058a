// Files and folders as game code uses them: open files with an own position, the attribute bits
// games test, folder listings, copying, moving and the size of the file system. Names here are
// names of this system (see GameNames.h for the translation of the names games write).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestro::os {

// An open file read and written at explicit positions; every write reaches the file at once.
class CHostFile {
 public:
  enum class Access { kRead, kWrite, kReadWrite };
  enum class Open {
    kExisting,     // the file must exist
    kCreate,       // created empty when missing, the content kept otherwise
    kCreateEmpty,  // created, or emptied when it exists
  };

  CHostFile() = default;
  ~CHostFile() { Close(); }
  CHostFile(const CHostFile&) = delete;
  CHostFile& operator=(const CHostFile&) = delete;
  CHostFile(CHostFile&& o) noexcept : fd_(o.fd_) { o.fd_ = -1; }
  CHostFile& operator=(CHostFile&& o) noexcept;

  // False (and closed) when the file cannot be opened or is not a plain file (a folder, a pipe,
  // a device).
  bool OpenFile(const std::string& path, Access access, Open how);
  bool IsOpen() const { return fd_ >= 0; }
  // False when closing reported an error; the file is closed in any case.
  bool Close();

  // Bytes read at `pos` into `out` (at most `size`); -1 on an error.
  int64_t ReadAt(int64_t pos, void* out, size_t size) const;
  // True when all `size` bytes were written at `pos`.
  bool WriteAt(int64_t pos, const void* data, size_t size);
  // -1 on an error.
  int64_t Size() const;
  bool Truncate(int64_t size);

 private:
  int fd_ = -1;
};

// The attribute bits of game code: read-only 1, hidden 2, system 4, volume 8, folder 16, archive 32.
inline constexpr int kAttrReadOnly = 1;
inline constexpr int kAttrHidden = 2;
inline constexpr int kAttrSystem = 4;
inline constexpr int kAttrVolume = 8;
inline constexpr int kAttrFolder = 16;
inline constexpr int kAttrArchive = 32;

// The bits of an entry (links followed), or -1 when nothing of that name exists. Here: read-only
// when this user may not write it, hidden when the name begins with "." (not "." and ".."), system
// for devices, pipes and sockets, folder for folders, archive for plain files.
int FileAttributes(const std::string& path);

bool IsFile(const std::string& path);    // exists and is not a folder
bool IsFolder(const std::string& path);  // exists and is a folder

struct RFolderEntry {
  std::string name;
  int attributes = 0;
};
// The entries of a folder with their attributes, "." and ".." first, then the others by name
// without regard to letter case. Empty when the folder cannot be read.
std::vector<RFolderEntry> ListFolder(const std::string& folder);

// Deletes a file (never a folder). False when refused.
bool DeleteFile(const std::string& path);
// Renames or moves; refused when `to` exists. Across file systems a file is copied, then deleted.
bool MoveFile(const std::string& from, const std::string& to);
// Copies the content and permissions, replacing `to`; `to` is written under a temporary name and
// renamed, so a failed copy leaves an existing `to` as it was.
bool CopyFile(const std::string& from, const std::string& to);
// Creates the folder and its missing parents; true when it exists afterwards.
bool CreateFolders(const std::string& path);

// Writes `bytes` as `path` atomically: a temporary file in the same folder, flushed, then renamed
// over `path`. On failure `path` is left as it was and the temporary file is removed.
bool WriteFileAtomically(const std::string& path, const std::string& bytes);

// The file system holding `path`: bytes available to this user, and its total size; -1 when it
// cannot be asked.
double FreeBytes(const std::string& path);
double TotalBytes(const std::string& path);

}  // namespace kestro::os
