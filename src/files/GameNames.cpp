#include "files/GameNames.h"

#include <unistd.h>

#include <cerrno>

#include "io/RunState.h"
#include "platform/posix/GameNames.h"

namespace kestro::files {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/' || c == ':'; }
bool IsSlash(char c) { return c == '\\' || c == '/'; }

// The position after the last separator ("\", "/" or ":"), 0 when there is none.
size_t NameStart(std::string_view name) {
  for (size_t i = name.size(); i > 0; --i)
    if (IsSeparator(name[i - 1])) return i;
  return 0;
}

}  // namespace

std::string GamePath(std::string_view name) { return os::HostPath(name); }

bool HasFolderPart(std::string_view name) { return name.find_first_of("\\/") != std::string_view::npos; }

bool SecureMode() { return RunState().secureMode; }

bool SecureRefuses(std::string_view name) {
  if (!SecureMode()) return false;
  if (HasFolderPart(name)) return true;
  return LeadsOutsideGame(GamePath(name));
}

bool LeadsOutsideGame(const std::string& path) {
  if (path.empty()) return false;
  return !os::ResolvesInside(path, ProgramDirectory()) && !os::ResolvesInside(path, WorkingDirectory());
}

std::string FileNameName(std::string_view name) { return std::string(name.substr(NameStart(name))); }

std::string FileNamePath(std::string_view name) { return std::string(name.substr(0, NameStart(name))); }

std::string FileNameDir(std::string_view name) {
  std::string path = FileNamePath(name);
  // The closing backslash goes, unless it is the first character or follows ":" or another one:
  // then it is the root of a drive or of the tree.
  if (path.size() >= 1 && IsSlash(path.back())) {
    const bool keep = path.size() == 1 || path[path.size() - 2] == ':' || IsSlash(path[path.size() - 2]);
    if (!keep) path.pop_back();
  }
  return path;
}

std::string FileNameDrive(std::string_view name) {
  if (name.size() >= 2 && name[1] == ':') return std::string(name.substr(0, 2));
  if (name.size() >= 2 && name[0] == '\\' && name[1] == '\\') {
    // \\server\share: up to the backslash that ends the share name.
    const size_t server = name.find('\\', 2);
    if (server == std::string_view::npos) return std::string(name);
    const size_t share = name.find('\\', server + 1);
    return std::string(name.substr(0, share));
  }
  return {};
}

std::string FileNameExt(std::string_view name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot < NameStart(name)) return {};
  return std::string(name.substr(dot));
}

std::string FileNameChangeExt(std::string_view name, std::string_view ext) {
  const std::string old = FileNameExt(name);
  std::string result(name.substr(0, name.size() - old.size()));
  result += ext;
  return result;
}

std::string ProgramDirectory() {
  std::string folder = RunState().gameFolder;
  while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
  return folder.empty() ? std::string(".") : folder;
}

std::string WorkingDirectory() {
  std::string buf(4096, '\0');
  for (int i = 0; i < 6; ++i) {
    if (::getcwd(buf.data(), buf.size())) return std::string(buf.c_str());
    if (errno != ERANGE) return {};
    buf.resize(buf.size() * 2);
  }
  return {};
}

}  // namespace kestro::files
