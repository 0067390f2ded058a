// The registry of game code: a durable store of keys and typed values per user, kept in one
// SQLite database. Each root is its own namespace of keys; key and value names are compared
// without regard to letter case; every write is one transaction, so a process killed in the
// middle of a write leaves the old value whole.
//
// The database is "registry.db" in the folder named by KESTRO_REGISTRY_DIR, else
// $XDG_DATA_HOME/kestro, else ~/.local/share/kestro. It is opened on first use.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace kestro::files {

enum class ERegistryRoot : int { kCurrentUser = 0, kLocalMachine = 1, kClassesRoot = 2, kUsers = 3 };

// Value types, numbered as on the games' system.
inline constexpr int kRegString = 1;        // text
inline constexpr int kRegExpandString = 2;  // text, read like kRegString
inline constexpr int kRegBinary = 3;        // bytes
inline constexpr int kRegDword = 4;         // a 32-bit little-endian integer

struct RRegistryValue {
  int type = 0;
  std::string data;  // the bytes: text as it is, binary and integers little-endian
};

class CRegistryStore {
 public:
  CRegistryStore() = default;
  ~CRegistryStore();
  CRegistryStore(const CRegistryStore&) = delete;
  CRegistryStore& operator=(const CRegistryStore&) = delete;

  // The folder the database lives in (see above); empty when no home folder is known.
  static std::string DefaultFolder();

  // Uses the database in `folder` from now on (closing the one open). For tests and tools.
  void UseFolder(std::string folder);
  // Closes the database; the next use opens it again.
  void Close();

  // Keys are written "A\B\C" (a leading, closing or doubled "\" is ignored).
  bool KeyExists(ERegistryRoot root, std::string_view key);
  // Creates the key and its missing parents. False when the store cannot be written.
  bool CreateKey(ERegistryRoot root, std::string_view key);
  std::optional<RRegistryValue> Read(ERegistryRoot root, std::string_view key, std::string_view name);
  // Creates the key when missing and sets the value, in one transaction.
  bool Write(ERegistryRoot root, std::string_view key, std::string_view name, const RRegistryValue& value);

  // Only reads an existing database: never creates the folder or the file (start-up questions).
  std::optional<RRegistryValue> ReadIfStored(ERegistryRoot root, std::string_view key, std::string_view name);

 private:
  bool Open(bool create);
  std::string folder_;
  bool folderChosen_ = false;
  sqlite3* db_ = nullptr;
  bool readOnly_ = false;
};

CRegistryStore& Registry();

// "A\B\C" from any spelling of the key: "\" at the ends and doubled ones dropped.
std::string NormalKey(std::string_view key);

// The secure-mode question asked at start-up: on when the value "Warning" of
// "Software\Kestro\Version 8.1\Preferences" (current user) is a non-zero integer and the value
// "MakerRunning" is either missing or a non-zero integer as well.
bool SecureModeFromRegistry(CRegistryStore& store);

}  // namespace kestro::files
