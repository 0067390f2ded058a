// Extension packages: files (native libraries, script files, plain files) with the functions and
// constants they declare, carried in the game data. Calling them is the script layer's.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestro {

class CStream;

enum ExtensionFileKind { kExtLibrary = 1, kExtScript = 2, kExtActions = 3, kExtOther = 4 };

class CExtensionFunction {
 public:
  std::string s_name;
  std::string s_extname;  // empty means s_name
  int s_kind = 0;          // 12 cdecl, else stdcall
  int s_id = 0;
  int s_argcount = -1;
  std::array<int32_t, 17> s_argtype;
  int s_returntype = 2;
  std::string s_script;

  CExtensionFunction() { s_argtype.fill(2); }
  bool LoadFromStream(CStream& s);
  void SaveToStream(CStream& s) const;
};

struct CExtensionConstant {
  std::string s_name, s_value;
};

class CExtensionFile {
 public:
  std::string s_filename;
  int s_kind = 0;
  std::string s_init, s_final;
  std::vector<CExtensionFunction> s_functions;
  std::vector<CExtensionConstant> s_constants;
  // The file's content as stored (none for action libraries).
  std::optional<std::vector<uint8_t>> s_data;

  int s_cfunctions() const { return int(s_functions.size()); }
  int s_cconstants() const { return int(s_constants.size()); }
  bool HasContent() const { return s_kind != kExtActions; }
  bool LoadFromStream(CStream& s);
  void SaveToStream(CStream& s) const;
  // Splits a script file into its functions' code by its "#define" lines.
  void CreateScripts(const std::vector<uint8_t>& content);
};

class CExtensionPackage {
 public:
  std::string s_name;
  std::string s_folder;
  std::vector<CExtensionFile> s_includes;
  int32_t contentKey = 0;  // the key the files' contents are scrambled with

  int s_cincludes() const { return int(s_includes.size()); }
  void Clear() { *this = CExtensionPackage(); }
  // Reads the package; content of library and plain files is also written to the temporary
  // folder when `tempFolder` is not empty (names kept inside it).
  bool LoadFromStream(CStream& s, const std::string& tempFolder);
  void SaveToStream(CStream& s) const;
  // What loading does after the files are read: trimmed names, empty external names filled in,
  // functions of more than 4 arguments all real. The builder applies it before writing.
  void Normalize();

  // Where a library or plain file of the package is written in the temporary folder (and a
  // library loaded from): the package's folder and the file's name, made safe.
  std::filesystem::path FilePath(const std::string& tempFolder, const CExtensionFile& file) const;

  const CExtensionFunction* FunctionFindName(const std::string& name) const;
  const CExtensionFunction* FunctionFindId(int id) const;
  const CExtensionConstant* ConstantFindName(const std::string& name) const;
};


// Extension function ids are s_id; code reaches one as kExtensionIdBase + s_id, so only ids from 0
// up to what that leaves of the id range can be called.
bool CallableExtensionId(int64_t id);
// The first package's function of that name with a callable id (scripts call it by name).
const CExtensionFunction* FindExtensionFunction(const std::vector<CExtensionPackage>& packages, std::string_view name);
// The first package's function with that id; null when none has it.
const CExtensionFunction* FindExtensionFunctionById(const std::vector<CExtensionPackage>& packages, int64_t id);

// int 700, int n, n packages. A failing package shows "Error in loading extension packages."
bool LoadExtensionBlock(CStream& s, std::vector<CExtensionPackage>& packages, const std::string& tempFolder);
// The package names, the contents passed over by their stored length.
bool SkimExtensionBlock(CStream& s, std::vector<std::string>& names);
void SaveExtensionBlock(CStream& s, const std::vector<CExtensionPackage>& packages);

}  // namespace kestro
