#include "dialogs/Choosers.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "dialogs/ChooserView.h"

namespace kestro::dialogs {

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Split(const std::string& text, char sep) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (true) {
    size_t at = text.find(sep, start);
    parts.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) return parts;
    start = at + 1;
  }
}

std::string Trim(const std::string& s) {
  size_t a = s.find_first_not_of(" \t"), b = s.find_last_not_of(" \t");
  return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

bool Match(const char* n, const char* p, int depth) {
  // Bounded: a pattern of many stars against a long name never recurses without end.
  if (depth > 64) return false;
  for (; *p; ++p, ++n) {
    if (*p == '*') {
      while (p[1] == '*') ++p;
      for (const char* s = n;; ++s) {
        if (Match(s, p + 1, depth + 1)) return true;
        if (!*s) return false;
      }
    }
    if (!*n) return false;
    if (*p != '?' && std::tolower(static_cast<unsigned char>(*p)) != std::tolower(static_cast<unsigned char>(*n)))
      return false;
  }
  return !*n;
}

std::string CurrentFolder() {
  std::error_code ec;
  fs::path p = fs::current_path(ec);
  return ec ? std::string("/") : p.string();
}

// The games' folder names with "\" separators work too.
std::string HostName(std::string s) {
  std::replace(s.begin(), s.end(), '\\', '/');
  return s;
}

}  // namespace

std::vector<RFileFilter> ParseFileFilter(const std::string& filter) {
  std::vector<RFileFilter> out;
  if (filter.empty()) return out;
  std::vector<std::string> parts = Split(filter, '|');
  for (size_t i = 0; i + 1 < parts.size(); i += 2) {
    RFileFilter f;
    f.description = parts[i];
    for (const std::string& p : Split(parts[i + 1], ';'))
      if (!Trim(p).empty()) f.patterns.push_back(Trim(p));
    out.push_back(std::move(f));
  }
  return out;
}

bool MatchesPattern(const std::string& name, const std::string& pattern) {
  // "*.*" means every file, also those without a dot.
  if (pattern == "*.*" || pattern == "*") return true;
  return Match(name.c_str(), pattern.c_str(), 0);
}

// ---- the view's state ----

void CChooserView::ReadFolder() {
  entries.clear();
  std::error_code ec;
  std::vector<RFolderEntry> folders, files;
  for (fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec), end; !ec && it != end;
       it.increment(ec)) {
    std::string n = it->path().filename().string();
    if (n.empty() || n[0] == '.') continue;
    std::error_code e2;
    if (it->is_directory(e2)) {
      folders.push_back({n, true});
    } else if (kind_ != kFolder) {
      bool shown = filters.empty() || filter < 0 || size_t(filter) >= filters.size();
      if (!shown)
        for (const std::string& p : filters[size_t(filter)].patterns) shown = shown || MatchesPattern(n, p);
      if (shown) files.push_back({n, false});
    }
  }
  auto byName = [](const RFolderEntry& a, const RFolderEntry& b) { return a.name < b.name; };
  std::sort(folders.begin(), folders.end(), byName);
  std::sort(files.begin(), files.end(), byName);
  if (fs::path(folder).has_relative_path()) entries.push_back({"..", true});
  entries.insert(entries.end(), folders.begin(), folders.end());
  entries.insert(entries.end(), files.begin(), files.end());
}

void CChooserView::Enter(const std::string& sub) {
  fs::path p = sub == ".." ? fs::path(folder).parent_path() : fs::path(folder) / sub;
  std::error_code ec;
  if (!fs::is_directory(p, ec)) return;
  folder = fs::weakly_canonical(p, ec).string();
  if (kind_ == kFolder) name = folder;
  ReadFolder();
}

void CChooserView::Accept() {
  if (kind_ == kColour) {
    colourResult_ = colour & 0xFFFFFF;
  } else {
    std::string n = HostName(name);
    if (kind_ != kFolder && n.empty()) return;  // nothing chosen yet
    if (kind_ == kFolder && n.empty()) n = folder;
    fs::path p(n);
    if (p.is_relative()) p = fs::path(folder) / p;
    // A folder typed or picked in a file chooser is entered, not chosen.
    std::error_code ec;
    if (kind_ != kFolder && fs::is_directory(p, ec)) {
      folder = fs::weakly_canonical(p, ec).string();
      name.clear();
      nameReset = true;
      frames = 0;
      ReadFolder();
      return;
    }
    nameResult_ = p.lexically_normal().string();
  }
  done_ = true;
}

void CChooserView::Answer(const std::string& answer) {
  if (kind_ == kColour) {
    char* end = nullptr;
    long v = std::strtol(answer.c_str(), &end, 10);
    if (!answer.empty() && *end == '\0' && v >= 0)
      colour = int(v & 0xFFFFFF), Accept();
    else
      Cancel();
  } else if (answer.empty()) {
    Cancel();
  } else {
    name = answer;
    Accept();
    if (!done_) Cancel();
  }
  done_ = true;
}

void CChooserView::Cancel() {
  colourResult_ = -1;
  nameResult_.clear();
  done_ = true;
}

std::string CChooserView::Describe() const {
  static const char* kKinds[] = {"colour", "open file", "save file", "folder"};
  std::string d = std::string(kKinds[kind_]) + " chooser -> ";
  return kind_ == kColour ? d + std::to_string(colourResult_) : d + "\"" + nameResult_ + "\"";
}

// ---- the choosers ----

int ChooseColour(int start) {
  CChooserView view(CChooserView::kColour);
  view.caption = "Colour";
  view.colour = start & 0xFFFFFF;
  RunModal(view);
  return view.ColourResult();
}

std::string ChooseFile(bool save, const std::string& filter, const std::string& name) {
  const std::string before = CurrentFolder();
  CChooserView view(save ? CChooserView::kSave : CChooserView::kOpen);
  view.caption = save ? "Save As" : "Open";
  view.filters = ParseFileFilter(filter);
  view.folder = before;
  view.name = HostName(name);
  view.ReadFolder();
  RunModal(view);
  // The folder the game works in is the one it had.
  std::error_code ec;
  fs::current_path(before, ec);
  return view.NameResult();
}

std::string ChooseFolder(const std::string& caption, const std::string& start) {
  CChooserView view(CChooserView::kFolder);
  view.caption = caption.empty() ? "Select Folder" : caption;
  std::error_code ec;
  fs::path p = start.empty() ? fs::path(CurrentFolder()) : fs::path(HostName(start));
  if (p.is_relative()) p = fs::path(CurrentFolder()) / p;
  view.folder = fs::is_directory(p, ec) ? fs::weakly_canonical(p, ec).string() : CurrentFolder();
  view.name = view.folder;
  view.ReadFolder();
  RunModal(view);
  return view.NameResult();
}

}  // namespace kestro::dialogs
