#include "platform/posix/GameNames.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <deque>
#include <vector>

namespace kestro::os {

namespace {

// Symbolic links followed while resolving one name before it counts as a loop (as the kernel).
constexpr int kMaxLinks = 40;

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
char FoldCase(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

std::string Join(const std::string& folder, const std::string& part) {
  if (folder.empty()) return part;
  if (folder.back() == '/') return folder + part;
  return folder + "/" + part;
}

std::vector<std::string> SplitParts(std::string_view path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) parts.emplace_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

// The entry of `folder` whose name equals `part` without regard to case; the first by byte order
// when several do, so the choice does not depend on the order of the listing.
bool FindIgnoringCase(const std::string& folder, const std::string& part, std::string& found) {
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return false;
  bool any = false;
  while (const dirent* e = ::readdir(dir)) {
    if (!SameNameIgnoringCase(e->d_name, part)) continue;
    if (!any || std::strcmp(e->d_name, found.c_str()) < 0) found = e->d_name;
    any = true;
  }
  ::closedir(dir);
  return any;
}

}  // namespace

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  return true;
}

std::string HostSpelling(std::string_view gameName) {
  std::string name(gameName);
  for (char& c : name)
    if (c == '\\') c = '/';
  if (name.size() >= 2 && IsAsciiLetter(name[0]) && name[1] == ':') name.erase(0, 2);
  return name;
}

std::string HostPath(std::string_view gameName) {
  std::string path = HostSpelling(gameName);
  if (path.empty() || Exists(path)) return path;
  const bool absolute = path.front() == '/';
  const bool folderEnd = path.back() == '/';
  std::string current = absolute ? "/" : "";
  bool matching = true;
  for (const std::string& part : SplitParts(path)) {
    std::string use = part;
    if (matching && part != "." && part != ".." && !Exists(Join(current, part))) {
      std::string found;
      if (FindIgnoringCase(current, part, found))
        use = std::move(found);
      else
        matching = false;  // a new name from here on: nothing further down can exist
    }
    if (!current.empty() && current.back() != '/') current += '/';
    current += use;
  }
  if (folderEnd && !current.empty() && current.back() != '/') current += '/';
  return current;
}

std::string ResolvePath(const std::string& path) {
  std::string start = path;
  if (start.empty() || start.front() != '/') {
    char buf[4096];
    if (!::getcwd(buf, sizeof buf)) return {};
    start = Join(buf, start);
  }
  std::deque<std::string> pending;
  for (std::string& p : SplitParts(start)) pending.push_back(std::move(p));
  std::vector<std::string> resolved;
  bool missing = false;  // a part did not exist: the rest is taken as written
  int links = 0;
  auto current = [&resolved] {
    std::string s;
    for (const std::string& p : resolved) s += "/" + p;
    return s.empty() ? std::string("/") : s;
  };
  while (!pending.empty()) {
    std::string part = std::move(pending.front());
    pending.pop_front();
    if (part == ".") continue;
    if (part == "..") {
      if (!resolved.empty()) resolved.pop_back();
      continue;
    }
    if (!missing) {
      const std::string candidate = Join(current(), part);
      struct stat st {};
      if (::lstat(candidate.c_str(), &st) != 0) {
        missing = true;
      } else if (S_ISLNK(st.st_mode)) {
        if (++links > kMaxLinks) return {};
        std::vector<char> target(size_t(st.st_size > 0 ? st.st_size : 255) + 1);
        const ssize_t n = ::readlink(candidate.c_str(), target.data(), target.size());
        if (n < 0 || size_t(n) >= target.size()) return {};
        const std::string link(target.data(), size_t(n));
        if (!link.empty() && link.front() == '/') resolved.clear();
        std::vector<std::string> linkParts = SplitParts(link);
        pending.insert(pending.begin(), linkParts.begin(), linkParts.end());
        continue;
      }
    }
    resolved.push_back(std::move(part));
  }
  return current();
}

bool ResolvesInside(const std::string& path, const std::string& folder) {
  const std::string target = ResolvePath(path);
  const std::string root = ResolvePath(folder);
  if (target.empty() || root.empty()) return false;
  if (root == "/" || target == root) return true;
  return target.size() > root.size() && target.compare(0, root.size(), root) == 0 && target[root.size()] == '/';
}

}  // namespace kestro::os
