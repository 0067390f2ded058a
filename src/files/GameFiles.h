// The files game code holds open: 32 binary files, 32 text files plus the single file of the
// functions without a handle, and one directory search. Each operation behaves as the function
// of the same name: it reports its failures as non-fatal errors and gives the neutral result.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/posix/HostFiles.h"

namespace kestro::files {

inline constexpr int kFileSlots = 32;

// Reading a text file: a buffer over the file, so that reading a line costs no call per byte.
class CTextSource {
 public:
  void Reset(os::CHostFile* file, int64_t start = 0);
  int Peek();    // the next byte, or -1 at the end (or after an error)
  int Get();     // as Peek, and consumes it
  void Unget();  // gives back the byte the last Get consumed
  bool Failed() const { return failed_; }

 private:
  bool Fill();
  os::CHostFile* file_ = nullptr;
  std::vector<char> buf_;
  size_t pos_ = 0;
  int64_t next_ = 0;  // the file position after the buffer
  bool failed_ = false;
};

// A line end of a text file is CR LF.
inline constexpr const char* kLineEnd = "\r\n";

// The text form of a number: " " (or " -") then the whole part, then "." and six digits of the
// fraction, cut, when it is not 0.
std::string RealText(double x);

// Reading a number from text: the handle rule (blanks and "-" only before the first digit, or
// right after the separator) or the single file's rule (blanks anywhere, "-" anywhere). Stops
// before the end of the line; see the text-file functions.
double ReadRealText(CTextSource& in, bool singleFileRule);

class CGameFiles {
 public:
  // Binary files.
  int BinOpen(const std::string& name, int64_t mode);
  void BinRewrite(int64_t h);
  void BinClose(int64_t h);
  double BinSize(int64_t h);
  double BinPosition(int64_t h);
  void BinSeek(int64_t h, int64_t pos);
  int BinReadByte(int64_t h);
  void BinWriteByte(int64_t h, int64_t byte);

  // Text files with handles (0 is the single file, except for closing).
  int TextOpenRead(const std::string& name);
  int TextOpenWrite(const std::string& name);
  int TextOpenAppend(const std::string& name);
  void TextClose(int64_t h);
  // False (nothing read) when the handle is refused.
  bool TextReadString(int64_t h, std::string& out);
  double TextReadReal(int64_t h);
  void TextReadln(int64_t h);
  bool TextEof(int64_t h);
  bool TextEoln(int64_t h);
  void TextWriteString(int64_t h, const std::string& s);
  void TextWriteReal(int64_t h, double x);
  void TextWriteln(int64_t h);

  // The single file.
  void OpenRead(const std::string& name);
  void OpenWrite(const std::string& name);
  void OpenAppend(const std::string& name);
  void Close();
  bool ReadString(std::string& out);
  double ReadReal();
  void Readln();
  bool Eof();
  bool Eoln();
  void WriteString(const std::string& s);
  void WriteReal(double x);
  void Writeln();

  // Directory search.
  std::string FindFirst(const std::string& mask, int64_t attr);
  std::string FindNext();
  void FindClose();

  // Closes every file and ends the search (the end of the game).
  void CloseAll();

  int OpenBinaryCount() const;
  int OpenTextCount() const;

 private:
  enum TextMode { kClosed = 0, kReading = 1, kWriting = 2 };
  struct RTextSlot {
    TextMode mode = kClosed;
    os::CHostFile file;
    CTextSource in;
    int64_t writePos = 0;
  };
  struct RBinarySlot {
    bool used = false;
    os::CHostFile file;
    int64_t pos = 0;
  };
  enum class TextOpen { kRead, kWrite, kAppend };

  RBinarySlot* Binary(int64_t h);
  RTextSlot* TextFor(int64_t h, TextMode mode);
  int FreeTextSlot() const;
  // Opens slot `slot` of the text table; false with the message reported.
  bool OpenText(int slot, const std::string& name, TextOpen how);
  void CloseText(int slot);
  std::string ReadStringFrom(RTextSlot& t);
  void ReadlnFrom(RTextSlot& t);
  bool WriteTo(RTextSlot& t, const std::string& bytes);

  std::array<RBinarySlot, kFileSlots + 1> binary_{};
  std::array<RTextSlot, kFileSlots + 1> text_{};

  bool searching_ = false;
  std::vector<std::string> found_;
  size_t foundNext_ = 0;
};

CGameFiles& GameFiles();

// Whether `name` matches the directory-search `mask` ("*" and "?", without regard to letter
// case; a closing ".*" also matches a name without an extension, so "*.*" matches every name).
bool MaskMatches(std::string_view mask, std::string_view name);

// Programs: execute_program and execute_shell. `between` is called while waiting (the window's
// messages); see SetProgramWaitHook.
void ExecuteProgram(const std::string& prog, const std::string& arg, bool wait);
void ExecuteShell(const std::string& prog, const std::string& arg);
// What runs every 50 ms while execute_program waits (the game window's messages); none by default.
void SetProgramWaitHook(std::function<void()> hook);

// disk_free and disk_size: `drive` empty for the current folder's file system, else its first
// character names a drive; every drive letter names this system's one tree. -1 on failure.
double DiskFree(const std::string& drive);
double DiskSize(const std::string& drive);

}  // namespace kestro::files
