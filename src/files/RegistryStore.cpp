#include "files/RegistryStore.h"

#include <pwd.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace kestro::files {

namespace fs = std::filesystem;

namespace {

constexpr const char* kFileName = "registry.db";
constexpr int kBusyWaitMs = 2000;

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS reg_keys("
    "  root INTEGER NOT NULL, path TEXT NOT NULL COLLATE NOCASE,"
    "  PRIMARY KEY(root, path)) WITHOUT ROWID;"
    "CREATE TABLE IF NOT EXISTS reg_values("
    "  root INTEGER NOT NULL, path TEXT NOT NULL COLLATE NOCASE, name TEXT NOT NULL COLLATE NOCASE,"
    "  type INTEGER NOT NULL, data BLOB NOT NULL,"
    "  PRIMARY KEY(root, path, name)) WITHOUT ROWID;";

// One prepared statement, finalized when it goes.
class CStatement {
 public:
  CStatement(sqlite3* db, const char* sql) {
    if (db && sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) stmt_ = nullptr;
  }
  ~CStatement() { sqlite3_finalize(stmt_); }
  CStatement(const CStatement&) = delete;
  CStatement& operator=(const CStatement&) = delete;
  explicit operator bool() const { return stmt_ != nullptr; }
  void Bind(int i, int64_t v) { sqlite3_bind_int64(stmt_, i, v); }
  void Bind(int i, std::string_view s) { sqlite3_bind_text(stmt_, i, s.data(), int(s.size()), SQLITE_TRANSIENT); }
  void BindBlob(int i, std::string_view s) {
    sqlite3_bind_blob(stmt_, i, s.empty() ? "" : s.data(), int(s.size()), SQLITE_TRANSIENT);
  }
  int Step() { return stmt_ ? sqlite3_step(stmt_) : SQLITE_ERROR; }
  sqlite3_stmt* get() const { return stmt_; }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

bool Exec(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

// Every key on the way to `key`: "A", "A\B", "A\B\C".
std::vector<std::string> KeyAndParents(const std::string& key) {
  std::vector<std::string> keys;
  size_t pos = 0;
  while (!key.empty()) {
    pos = key.find('\\', pos);
    if (pos == std::string::npos) {
      keys.push_back(key);
      break;
    }
    keys.push_back(key.substr(0, pos));
    ++pos;
  }
  return keys;
}

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return {};
}

}  // namespace

std::string NormalKey(std::string_view key) {
  std::string out;
  size_t start = 0;
  while (start <= key.size()) {
    size_t end = key.find('\\', start);
    if (end == std::string_view::npos) end = key.size();
    if (end > start) {
      if (!out.empty()) out += '\\';
      out.append(key.substr(start, end - start));
    }
    start = end + 1;
  }
  return out;
}

CRegistryStore::~CRegistryStore() { Close(); }

std::string CRegistryStore::DefaultFolder() {
  if (const char* dir = std::getenv("KESTRO_REGISTRY_DIR"); dir && *dir) return dir;
  // A relative XDG_DATA_HOME is to be ignored.
  if (const char* data = std::getenv("XDG_DATA_HOME"); data && data[0] == '/') return std::string(data) + "/kestro";
  const std::string home = HomeFolder();
  return home.empty() ? std::string() : home + "/.local/share/kestro";
}

void CRegistryStore::UseFolder(std::string folder) {
  Close();
  folder_ = std::move(folder);
  folderChosen_ = true;
}

void CRegistryStore::Close() {
  if (db_) sqlite3_close(db_);
  db_ = nullptr;
  readOnly_ = false;
}

bool CRegistryStore::Open(bool create) {
  if (db_ && (!create || !readOnly_)) return true;
  Close();
  const std::string folder = folderChosen_ ? folder_ : DefaultFolder();
  if (folder.empty()) return false;
  const std::string path = folder + "/" + kFileName;
  std::error_code ec;
  const bool stored = fs::exists(path, ec);
  if (!stored && !create) return false;
  if (create && !fs::is_directory(folder, ec)) {
    fs::create_directories(folder, ec);
    ::chmod(folder.c_str(), 0700);
  }
  int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
  if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
    sqlite3_close(db_);
    db_ = nullptr;
    if (create) return false;
    // Someone else's store, or one on a read-only disk: still readable.
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
      sqlite3_close(db_);
      db_ = nullptr;
      return false;
    }
    readOnly_ = true;
  }
  sqlite3_busy_timeout(db_, kBusyWaitMs);
  if (!readOnly_) {
    // The write-ahead log keeps every commit whole when the process dies, without a flush to disk
    // per value written.
    Exec(db_, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;");
    if (!Exec(db_, kSchema)) {
      std::fprintf(stderr, "kestro: the registry store %s cannot be used: %s\n", path.c_str(), sqlite3_errmsg(db_));
      Close();
      return false;
    }
  }
  return true;
}

bool CRegistryStore::KeyExists(ERegistryRoot root, std::string_view key) {
  const std::string k = NormalKey(key);
  if (k.empty()) return true;  // a root always exists
  if (!Open(false)) return false;
  CStatement q(db_, "SELECT 1 FROM reg_keys WHERE root = ?1 AND path = ?2");
  if (!q) return false;
  q.Bind(1, int64_t(root));
  q.Bind(2, k);
  return q.Step() == SQLITE_ROW;
}

namespace {
bool InsertKeys(sqlite3* db, ERegistryRoot root, const std::string& key) {
  for (const std::string& k : KeyAndParents(key)) {
    CStatement ins(db, "INSERT OR IGNORE INTO reg_keys(root, path) VALUES (?1, ?2)");
    if (!ins) return false;
    ins.Bind(1, int64_t(root));
    ins.Bind(2, k);
    if (ins.Step() != SQLITE_DONE) return false;
  }
  return true;
}
}  // namespace

bool CRegistryStore::CreateKey(ERegistryRoot root, std::string_view key) {
  const std::string k = NormalKey(key);
  if (!Open(true) || readOnly_) return false;
  if (k.empty()) return true;
  if (!Exec(db_, "BEGIN IMMEDIATE")) return false;
  if (!InsertKeys(db_, root, k) || !Exec(db_, "COMMIT")) {
    Exec(db_, "ROLLBACK");
    return false;
  }
  return true;
}

std::optional<RRegistryValue> CRegistryStore::Read(ERegistryRoot root, std::string_view key, std::string_view name) {
  if (!Open(false)) return std::nullopt;
  CStatement q(db_, "SELECT type, data FROM reg_values WHERE root = ?1 AND path = ?2 AND name = ?3");
  if (!q) return std::nullopt;
  q.Bind(1, int64_t(root));
  q.Bind(2, NormalKey(key));
  q.Bind(3, name);
  if (q.Step() != SQLITE_ROW) return std::nullopt;
  RRegistryValue v;
  v.type = sqlite3_column_int(q.get(), 0);
  const void* data = sqlite3_column_blob(q.get(), 1);
  const int size = sqlite3_column_bytes(q.get(), 1);
  if (data && size > 0) v.data.assign(static_cast<const char*>(data), size_t(size));
  return v;
}

std::optional<RRegistryValue> CRegistryStore::ReadIfStored(ERegistryRoot root, std::string_view key,
                                                           std::string_view name) {
  return Read(root, key, name);
}

bool CRegistryStore::Write(ERegistryRoot root, std::string_view key, std::string_view name,
                           const RRegistryValue& value) {
  const std::string k = NormalKey(key);
  if (!Open(true) || readOnly_) return false;
  if (!Exec(db_, "BEGIN IMMEDIATE")) return false;
  bool ok = InsertKeys(db_, root, k);
  if (ok) {
    CStatement put(db_, "INSERT OR REPLACE INTO reg_values(root, path, name, type, data) VALUES (?1, ?2, ?3, ?4, ?5)");
    ok = bool(put);
    if (ok) {
      put.Bind(1, int64_t(root));
      put.Bind(2, k);
      put.Bind(3, name);
      put.Bind(4, int64_t(value.type));
      put.BindBlob(5, value.data);
      ok = put.Step() == SQLITE_DONE;
    }
  }
  if (!ok || !Exec(db_, "COMMIT")) {
    Exec(db_, "ROLLBACK");
    return false;
  }
  return true;
}

CRegistryStore& Registry() {
  static CRegistryStore store;
  return store;
}

bool SecureModeFromRegistry(CRegistryStore& store) {
  constexpr const char* kKey = "Software\\Kestro\\Version 8.1\\Preferences";
  auto asBool = [](const std::optional<RRegistryValue>& v, bool& out) {
    if (!v || v->type != kRegDword || v->data.size() != 4) return false;
    out = v->data != std::string(4, '\0');
    return true;
  };
  bool secure = false;
  bool warning = false;
  if (asBool(store.ReadIfStored(ERegistryRoot::kCurrentUser, kKey, "Warning"), warning)) secure = warning;
  bool maker = false;
  if (asBool(store.ReadIfStored(ERegistryRoot::kCurrentUser, kKey, "MakerRunning"), maker)) secure = secure && maker;
  return secure;
}

}  // namespace kestro::files
