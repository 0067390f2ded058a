// A settings (INI) file held in memory: sections in order, each with its lines ("key=value" or a
// bare text). Section names and keys are found without regard to letter case, the first match
// winning. The document remembers the encoding and the line ends of the file it was read from and
// writes itself back in them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestro::files {

enum class EIniEncoding { kPlain, kUtf8Bom, kUtf16Le, kUtf16Be };

class CIniDocument {
 public:
  // Reads the bytes of a file: any bytes are accepted. Lines end at CR LF, CR or LF.
  void Load(std::string_view bytes);
  // The file's bytes: each section as "[name]", its lines and an empty line, in the encoding and
  // with the line ends found by Load (CR LF for a new document), with its byte-order mark.
  std::string Save() const;
  void Clear();

  bool ReadString(std::string_view section, std::string_view key, std::string& value) const;
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  bool KeyExists(std::string_view section, std::string_view key) const;
  // A section exists when it holds at least one line.
  bool SectionExists(std::string_view section) const;
  void DeleteKey(std::string_view section, std::string_view key);
  void DeleteSection(std::string_view section);

  EIniEncoding Encoding() const { return encoding_; }
  const std::string& LineEnd() const { return lineEnd_; }

 private:
  struct RSection {
    std::string name;
    std::vector<std::string> lines;
  };
  RSection* Find(std::string_view section);
  const RSection* Find(std::string_view section) const;
  static int FindKey(const RSection& s, std::string_view key);

  std::vector<RSection> sections_;
  EIniEncoding encoding_ = EIniEncoding::kPlain;
  std::string lineEnd_ = "\r\n";
};

// A number as ini_write_real writes it: at most 15 significant digits, plain from 0.0001 up to 15
// digits before the separator, else "d.ddE-n".
std::string IniRealText(double x);
// A value as ini_read_real reads it: separator "." or ",", one "E", "-" flipping the sign of the
// mantissa or of the exponent; any other character ends the number.
double IniRealValue(std::string_view text);

// The one settings file game code has open: its document, where it is written back, and whether
// anything changed since it was read.
class CIniFile {
 public:
  // Reads the file at `path` (an empty document when it does not exist). False when the file
  // exists but cannot be read: the document is then empty and is never written over the file.
  bool Open(const std::string& path);
  // Writes the document back when it changed or the file did not exist yet, atomically, then
  // closes. False when the file could not be written (it is left as it was).
  bool Close();
  bool IsOpen() const { return open_; }
  const std::string& Path() const { return path_; }
  CIniDocument& Document() { return doc_; }
  // Called after every change of the document.
  void Changed() { dirty_ = true; }

 private:
  bool open_ = false;
  bool dirty_ = false;
  bool existed_ = false;
  bool readable_ = true;
  std::string path_;
  CIniDocument doc_;
};

// Larger settings files are not read (and never overwritten).
inline constexpr uint64_t kMaxIniBytes = uint64_t(64) << 20;

CIniFile& IniFile();

}  // namespace kestro::files
