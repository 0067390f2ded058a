#include "files/GameFiles.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "files/GameNames.h"
#include "platform/posix/GameNames.h"
#include "platform/posix/Spawn.h"
#include "script/Numeric.h"
#include "script/Value.h"
#include "script/builtins/BuiltinError.h"

namespace kestro::files {

namespace {

constexpr int kEndOfFileByte = 26;
constexpr size_t kTextChunk = 65536;
constexpr const char* kTooMany = "Cannot open another file (maximum exceeded).";
constexpr const char* kNotOpenedForReading = "File is not opened for reading.";

void Report(const std::string& message) { ReportBuiltinError(message); }

std::function<void()>& WaitHook() {
  static std::function<void()> hook;
  return hook;
}

bool IsDigit(int c) { return c >= '0' && c <= '9'; }
char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// "*" and "?" against a name without regard to letter case; a star is retried one byte further
// each time the rest fails, which bounds the work by mask length times name length.
bool Glob(std::string_view mask, std::string_view name) {
  // A mask with more characters to match than the name has bytes cannot match: this bounds the
  // work for masks of any length, since names are short.
  size_t literal = 0;
  for (char c : mask) literal += c != '*' ? 1 : 0;
  if (literal > name.size()) return false;
  size_t m = 0, n = 0, starM = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == '?' || Lower(mask[m]) == Lower(name[n]))) {
      ++m;
      ++n;
    } else if (m < mask.size() && mask[m] == '*') {
      starM = m++;
      starN = n;
    } else if (starM != std::string_view::npos) {
      m = starM + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

bool IsAddress(const std::string& s) {
  return s.find("://") != std::string::npos || s.rfind("mailto:", 0) == 0 || s.rfind("www.", 0) == 0;
}

// A program named without a folder: one in the current folder wins, as on the games' system;
// otherwise the name is looked up in PATH when it is started.
std::string ProgramPath(const std::string& word) {
  const std::string path = GamePath(word);
  if (path.find('/') != std::string::npos) return path;
  if (os::IsProgramFile(path)) return "./" + path;
  return path;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Text reading

void CTextSource::Reset(os::CHostFile* file, int64_t start) {
  file_ = file;
  buf_.clear();
  pos_ = 0;
  next_ = start;
  failed_ = false;
}

// Makes at least one more byte available after pos_ when the file has one; keeps the unread bytes
// and the last byte read (so that Unget works).
bool CTextSource::Fill() {
  if (!file_ || failed_) return false;
  const size_t keep = pos_ > 0 ? pos_ - 1 : 0;
  buf_.erase(buf_.begin(), buf_.begin() + std::ptrdiff_t(keep));
  pos_ -= keep;
  const size_t have = buf_.size();
  buf_.resize(have + kTextChunk);
  const int64_t n = file_->ReadAt(next_, buf_.data() + have, kTextChunk);
  if (n < 0) {
    failed_ = true;
    buf_.resize(have);
    return false;
  }
  buf_.resize(have + size_t(n));
  next_ += n;
  return n > 0;
}

int CTextSource::Peek() {
  if (pos_ >= buf_.size() && !Fill()) return -1;
  return static_cast<unsigned char>(buf_[pos_]);
}

void CTextSource::Unget() {
  if (pos_ > 0) --pos_;
}

int CTextSource::Get() {
  const int c = Peek();
  if (c >= 0) ++pos_;
  return c;
}

std::string RealText(double x) {
  std::string text = " ";
  if (std::isnan(x)) return " 0";
  if (!(x >= 0)) {
    text = " -";
    x = -x;
  }
  if (std::isinf(x)) return text + "0";
  const double whole = std::floor(x);
  char buf[400];
  std::snprintf(buf, sizeof buf, "%.0f", whole);
  text += buf;
  const double fraction = std::floor((x - whole) * 1000000.0);
  if (fraction != 0) {
    std::snprintf(buf, sizeof buf, ".%06d", int(fraction));
    text += buf;
  }
  return text;
}

double ReadRealText(CTextSource& in, bool singleFileRule) {
  // The digits are collected and converted once, so 0.3 reads as the double nearest to 0.3
  // rather than as a sum of rounded tenths.
  std::string whole, fraction;
  bool negative = false, separator = false, digit = false;
  for (;;) {
    const int c = in.Peek();
    if (c < 0 || c == kEndOfFileByte || c == '\r' || c == '\n') break;
    in.Get();
    if ((c == ' ' || c == '\t') && (singleFileRule || !digit)) continue;
    if (c == '-' && (singleFileRule || !digit)) {
      negative = true;
      continue;
    }
    if ((c == ',' || c == '.') && !separator) {
      separator = true;
      digit = false;
      continue;
    }
    if (IsDigit(c)) {
      digit = true;
      (separator ? fraction : whole) += char(c);
      continue;
    }
    break;
  }
  const std::string number = (whole.empty() ? "0" : whole) + "." + fraction + "0";
  const double v = std::strtod(number.c_str(), nullptr);
  return negative ? -v : v;
}

// ---------------------------------------------------------------------------------------------
// Binary files

CGameFiles& GameFiles() {
  static CGameFiles files;
  return files;
}

CGameFiles::RBinarySlot* CGameFiles::Binary(int64_t h) {
  if (h < 0 || h > kFileSlots || !binary_[size_t(h)].used) return nullptr;
  return &binary_[size_t(h)];
}

int CGameFiles::BinOpen(const std::string& name, int64_t mode) {
  int slot = 0;
  for (int i = 1; i <= kFileSlots && slot == 0; ++i)
    if (!binary_[size_t(i)].used) slot = i;
  if (slot == 0) {
    Report(kTooMany);
    return -1;
  }
  if (mode != 0 && SecureRefuses(name)) {
    Report("In secure mode you cannot write file " + name);
    return -1;
  }
  using A = os::CHostFile::Access;
  const A access = mode == 0 ? A::kRead : mode == 1 ? A::kWrite : A::kReadWrite;
  RBinarySlot& b = binary_[size_t(slot)];
  if (!b.file.OpenFile(GamePath(name), access, os::CHostFile::Open::kCreate)) {
    Report("Error opening binary file.");
    return -1;
  }
  b.used = true;
  b.pos = 0;
  return slot;
}

void CGameFiles::BinRewrite(int64_t h) {
  RBinarySlot* b = Binary(h);
  if (!b) return Report("Trying to rewrite unopened file.");
  if (!b->file.Truncate(0)) return Report("Error rewriting file.");
  b->pos = 0;
}

void CGameFiles::BinClose(int64_t h) {
  RBinarySlot* b = Binary(h);
  if (!b) return Report("Trying to close unopened file.");
  b->file.Close();
  b->used = false;
  b->pos = 0;
}

double CGameFiles::BinSize(int64_t h) {
  RBinarySlot* b = Binary(h);
  if (!b) {
    Report("File is not opened.");
    return 0;
  }
  const int64_t size = b->file.Size();
  if (size < 0) {
    Report("Error retrieving file size.");
    return 0;
  }
  return double(size);
}

double CGameFiles::BinPosition(int64_t h) {
  RBinarySlot* b = Binary(h);
  if (!b) {
    Report("File is not opened.");
    return 0;
  }
  return double(b->pos);
}

void CGameFiles::BinSeek(int64_t h, int64_t pos) {
  RBinarySlot* b = Binary(h);
  if (!b) return Report("File is not opened.");
  if (pos < 0) return Report("Error seeking.");
  b->pos = pos;
}

int CGameFiles::BinReadByte(int64_t h) {
  RBinarySlot* b = Binary(h);
  if (!b) {
    Report("File is not opened.");
    return 0;
  }
  unsigned char byte = 0;
  if (b->file.ReadAt(b->pos, &byte, 1) != 1) {
    Report("Error reading byte.");
    return 0;
  }
  ++b->pos;
  return byte;
}

void CGameFiles::BinWriteByte(int64_t h, int64_t value) {
  RBinarySlot* b = Binary(h);
  if (!b) return Report("File is not opened.");
  const unsigned char byte = static_cast<unsigned char>(uint64_t(value) & 0xFF);
  if (!b->file.WriteAt(b->pos, &byte, 1)) return Report("Error writing byte.");
  ++b->pos;
}

int CGameFiles::OpenBinaryCount() const {
  int n = 0;
  for (const RBinarySlot& b : binary_) n += b.used ? 1 : 0;
  return n;
}

// ---------------------------------------------------------------------------------------------
// Text files

int CGameFiles::OpenTextCount() const {
  int n = 0;
  for (const RTextSlot& t : text_) n += t.mode != kClosed ? 1 : 0;
  return n;
}

int CGameFiles::FreeTextSlot() const {
  for (int i = 1; i <= kFileSlots; ++i)
    if (text_[size_t(i)].mode == kClosed) return i;
  return 0;
}

void CGameFiles::CloseText(int slot) {
  RTextSlot& t = text_[size_t(slot)];
  t.file.Close();
  t.in.Reset(nullptr);
  t.mode = kClosed;
  t.writePos = 0;
}

bool CGameFiles::OpenText(int slot, const std::string& name, TextOpen how) {
  const std::string path = GamePath(name);
  if (how == TextOpen::kRead && !os::IsFile(path)) return false;  // quietly
  if (how == TextOpen::kWrite && SecureRefuses(name)) {
    Report("In secure mode you cannot write file " + name);
    return false;
  }
  if (how == TextOpen::kAppend && SecureRefuses(name)) {
    Report("In secure mode you cannot append to file " + name);
    return false;
  }
  RTextSlot& t = text_[size_t(slot)];
  using A = os::CHostFile::Access;
  using O = os::CHostFile::Open;
  bool ok = false;
  switch (how) {
    case TextOpen::kRead:
      ok = t.file.OpenFile(path, A::kRead, O::kExisting);
      if (!ok) Report("Error opening file for reading.");
      break;
    case TextOpen::kWrite:
      ok = t.file.OpenFile(path, A::kWrite, O::kCreateEmpty);
      if (!ok) Report("Error opening file for writing.");
      break;
    case TextOpen::kAppend:
      ok = t.file.OpenFile(path, A::kWrite, O::kCreate);
      if (!ok) Report("Error opening file for appending.");
      break;
  }
  if (!ok) return false;
  t.mode = how == TextOpen::kRead ? kReading : kWriting;
  t.writePos = how == TextOpen::kAppend ? std::max<int64_t>(0, t.file.Size()) : 0;
  t.in.Reset(how == TextOpen::kRead ? &t.file : nullptr);
  return true;
}

int CGameFiles::TextOpenRead(const std::string& name) {
  const int slot = FreeTextSlot();
  if (slot == 0) {
    Report(kTooMany);
    return -1;
  }
  return OpenText(slot, name, TextOpen::kRead) ? slot : -1;
}

int CGameFiles::TextOpenWrite(const std::string& name) {
  const int slot = FreeTextSlot();
  if (slot == 0) {
    Report(kTooMany);
    return -1;
  }
  return OpenText(slot, name, TextOpen::kWrite) ? slot : -1;
}

int CGameFiles::TextOpenAppend(const std::string& name) {
  const int slot = FreeTextSlot();
  if (slot == 0) {
    Report(kTooMany);
    return -1;
  }
  return OpenText(slot, name, TextOpen::kAppend) ? slot : -1;
}

void CGameFiles::TextClose(int64_t h) {
  if (h < 1 || h > kFileSlots) return Report("Trying to close unexisting text file.");
  if (text_[size_t(h)].mode != kClosed) CloseText(int(h));
}

CGameFiles::RTextSlot* CGameFiles::TextFor(int64_t h, TextMode mode) {
  if (h < 0 || h > kFileSlots || text_[size_t(h)].mode != mode) return nullptr;
  return &text_[size_t(h)];
}

std::string CGameFiles::ReadStringFrom(RTextSlot& t) {
  std::string s;
  CTextSource& in = t.in;
  for (;;) {
    const int c = in.Peek();
    if (c < 0 || c == kEndOfFileByte || c == '\n') break;
    if (c == '\r') {
      // CR LF ends the line and stays for readln; a lone CR is left out.
      in.Get();
      if (in.Peek() == '\n') {
        in.Unget();
        break;
      }
      continue;
    }
    // A line longer than a string may be is read in parts.
    if (s.size() >= kMaxStringLength) break;
    s += char(in.Get());
  }
  if (in.Failed()) Report("Error reading string.");
  return s;
}

void CGameFiles::ReadlnFrom(RTextSlot& t) {
  for (;;) {
    const int c = t.in.Peek();
    if (c < 0 || c == kEndOfFileByte) break;
    t.in.Get();
    if (c == '\n') break;
  }
  if (t.in.Failed()) Report("Error reading line.");
}

bool CGameFiles::WriteTo(RTextSlot& t, const std::string& bytes) {
  if (bytes.empty()) return true;
  if (!t.file.WriteAt(t.writePos, bytes.data(), bytes.size())) {
    Report("Error writing to file.");
    return false;
  }
  t.writePos += int64_t(bytes.size());
  return true;
}

bool CGameFiles::TextReadString(int64_t h, std::string& out) {
  RTextSlot* t = TextFor(h, kReading);
  if (!t) {
    Report(kNotOpenedForReading);
    return false;
  }
  out = ReadStringFrom(*t);
  return true;
}

double CGameFiles::TextReadReal(int64_t h) {
  RTextSlot* t = TextFor(h, kReading);
  if (!t) {
    Report(kNotOpenedForReading);
    return 0;
  }
  const double v = ReadRealText(t->in, false);
  if (t->in.Failed()) Report("Error reading real.");
  return v;
}

void CGameFiles::TextReadln(int64_t h) {
  RTextSlot* t = TextFor(h, kReading);
  if (!t) return Report(kNotOpenedForReading);
  ReadlnFrom(*t);
}

bool CGameFiles::TextEof(int64_t h) {
  RTextSlot* t = TextFor(h, kReading);
  if (!t) {
    Report(kNotOpenedForReading);
    return false;
  }
  const int c = t->in.Peek();
  return c < 0 || c == kEndOfFileByte;
}

// The end of a line: a CR, or an LF (files written on this system end their lines with LF alone).
bool CGameFiles::TextEoln(int64_t h) {
  RTextSlot* t = TextFor(h, kReading);
  if (!t) {
    Report(kNotOpenedForReading);
    return false;
  }
  const int c = t->in.Peek();
  return c < 0 || c == kEndOfFileByte || c == '\r' || c == '\n';
}

void CGameFiles::TextWriteString(int64_t h, const std::string& s) {
  RTextSlot* t = TextFor(h, kWriting);
  if (!t) return Report("File is not opened for writing.");
  WriteTo(*t, s);
}

void CGameFiles::TextWriteReal(int64_t h, double x) {
  RTextSlot* t = TextFor(h, kWriting);
  if (!t) return Report("File is not opened for writing.");
  WriteTo(*t, RealText(x));
}

void CGameFiles::TextWriteln(int64_t h) {
  RTextSlot* t = TextFor(h, kWriting);
  if (!t) return Report("File is not opened for writing.");
  WriteTo(*t, kLineEnd);
}

// ---------------------------------------------------------------------------------------------
// The single file (slot 0)

void CGameFiles::OpenRead(const std::string& name) {
  if (text_[0].mode != kClosed) CloseText(0);
  OpenText(0, name, TextOpen::kRead);
}

void CGameFiles::OpenWrite(const std::string& name) {
  if (text_[0].mode != kClosed) CloseText(0);
  OpenText(0, name, TextOpen::kWrite);
}

void CGameFiles::OpenAppend(const std::string& name) {
  if (text_[0].mode != kClosed) CloseText(0);
  OpenText(0, name, TextOpen::kAppend);
}

void CGameFiles::Close() {
  RTextSlot& t = text_[0];
  if (t.mode == kClosed) return;
  const bool ok = t.file.Close();
  CloseText(0);
  if (!ok) Report("Error closing file.");
}

bool CGameFiles::ReadString(std::string& out) {
  RTextSlot* t = TextFor(0, kReading);
  if (!t) {
    Report("File not opened for reading.");
    return false;
  }
  out = ReadStringFrom(*t);
  return true;
}

double CGameFiles::ReadReal() {
  RTextSlot* t = TextFor(0, kReading);
  if (!t) {
    Report("File not opened for reading.");
    return 0;
  }
  const double v = ReadRealText(t->in, true);
  if (t->in.Failed()) Report("Error reading real.");
  return v;
}

void CGameFiles::Readln() {
  RTextSlot* t = TextFor(0, kReading);
  if (!t) return Report("File not opened for reading.");
  ReadlnFrom(*t);
}

bool CGameFiles::Eof() { return TextEof(0); }
bool CGameFiles::Eoln() { return TextEoln(0); }

void CGameFiles::WriteString(const std::string& s) {
  RTextSlot* t = TextFor(0, kWriting);
  if (!t) return Report("File not opened for writing.");
  WriteTo(*t, s);
}

void CGameFiles::WriteReal(double x) {
  RTextSlot* t = TextFor(0, kWriting);
  if (!t) return Report("File not opened for writing.");
  WriteTo(*t, RealText(x));
}

void CGameFiles::Writeln() {
  RTextSlot* t = TextFor(0, kWriting);
  if (!t) return Report("File not opened for writing.");
  WriteTo(*t, kLineEnd);
}

// ---------------------------------------------------------------------------------------------
// Directory search

bool MaskMatches(std::string_view mask, std::string_view name) {
  if (Glob(mask, name)) return true;
  return mask.size() >= 2 && mask.substr(mask.size() - 2) == ".*" && Glob(mask.substr(0, mask.size() - 2), name);
}

std::string CGameFiles::FindFirst(const std::string& mask, int64_t attr) {
  FindClose();
  const std::string spelled = os::HostSpelling(mask);
  const size_t slash = spelled.rfind('/');
  std::string folder = ".";
  std::string pattern = spelled;
  if (slash != std::string::npos) {
    folder = slash == 0 ? "/" : os::HostPath(spelled.substr(0, slash));
    pattern = spelled.substr(slash + 1);
  }
  if (pattern.empty()) return {};
  // Runs of stars match what one star matches.
  std::string mask1;
  for (char c : pattern)
    if (c != '*' || mask1.empty() || mask1.back() != '*') mask1 += c;
  pattern = std::move(mask1);
  // Hidden, system and folder entries qualify only when asked for; the other bits change nothing.
  const int excluded = (os::kAttrHidden | os::kAttrSystem | os::kAttrFolder) & ~int(attr);
  for (const os::RFolderEntry& e : os::ListFolder(folder))
    if ((e.attributes & excluded) == 0 && MaskMatches(pattern, e.name)) found_.push_back(e.name);
  if (found_.empty()) return {};
  searching_ = true;
  foundNext_ = 1;
  return found_[0];
}

std::string CGameFiles::FindNext() {
  if (!searching_ || foundNext_ >= found_.size()) return {};
  return found_[foundNext_++];
}

void CGameFiles::FindClose() {
  searching_ = false;
  found_.clear();
  foundNext_ = 0;
}

void CGameFiles::CloseAll() {
  for (int i = 0; i <= kFileSlots; ++i) {
    if (binary_[size_t(i)].used) {
      binary_[size_t(i)].file.Close();
      binary_[size_t(i)].used = false;
    }
    if (text_[size_t(i)].mode != kClosed) CloseText(i);
  }
  FindClose();
  os::CollectEndedPrograms();
}

// ---------------------------------------------------------------------------------------------
// Programs and drives

void SetProgramWaitHook(std::function<void()> hook) { WaitHook() = std::move(hook); }

void ExecuteProgram(const std::string& prog, const std::string& arg, bool wait) {
  if (SecureMode()) return Report("In Secure mode you cannot execute program " + prog);
  std::vector<std::string> argv = os::SplitCommandLine(prog + " " + arg);
  if (!argv.empty()) argv[0] = ProgramPath(argv[0]);
  const int pid = argv.empty() ? -1 : os::StartProgram(argv);
  if (pid < 0) return Report("Cannot execute " + prog);
  if (wait) os::WaitForProgram(pid, WaitHook());
}

void ExecuteShell(const std::string& prog, const std::string& arg) {
  if (SecureMode()) return Report("In Secure mode you cannot execute program " + prog);
  bool ok = false;
  if (IsAddress(prog)) {
    ok = os::OpenWithDesktop(prog.rfind("www.", 0) == 0 ? "http://" + prog : prog);
  } else {
    const std::string path = GamePath(prog);
    if (os::IsProgramFile(path)) {
      std::vector<std::string> argv = os::SplitCommandLine(arg);
      argv.insert(argv.begin(), ProgramPath(prog));
      ok = os::StartProgram(argv) >= 0;
    } else if (os::IsFile(path) || os::IsFolder(path)) {
      ok = os::OpenWithDesktop(path);
    } else if (!prog.empty() && !HasFolderPart(prog)) {
      // A program known by name only (in PATH).
      std::vector<std::string> argv = os::SplitCommandLine(arg);
      argv.insert(argv.begin(), prog);
      ok = os::StartProgram(argv) >= 0;
    }
  }
  if (!ok) Report("Cannot execute " + prog);
}

namespace {
// The file system a drive argument names: the current folder's for none, this system's one tree
// for every drive letter, none for anything else.
bool DriveFolder(const std::string& drive, std::string& folder) {
  if (drive.empty()) {
    folder = ".";
    return true;
  }
  const char c = drive[0];
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
    folder = "/";
    return true;
  }
  return false;
}
}  // namespace

double DiskFree(const std::string& drive) {
  std::string folder;
  return DriveFolder(drive, folder) ? os::FreeBytes(folder) : -1;
}

double DiskSize(const std::string& drive) {
  std::string folder;
  return DriveFolder(drive, folder) ? os::TotalBytes(folder) : -1;
}

}  // namespace kestro::files
