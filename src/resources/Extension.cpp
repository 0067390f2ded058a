#include "resources/Extension.h"

#include <filesystem>
#include <fstream>
#include <limits>

#include "resources/IncludedFile.h"
#include "resources/ResourceList.h"
#include "io/Messages.h"
#include "script/NameLookup.h"

namespace kestro {

namespace fs = std::filesystem;

namespace {
constexpr int32_t kExtVersion = 700;

std::string Trim(const std::string& s) {
  size_t a = s.find_first_not_of(" \t\r\n");
  if (a == std::string::npos) return {};
  size_t b = s.find_last_not_of(" \t\r\n");
  return s.substr(a, b - a + 1);
}
}  // namespace

bool CExtensionFunction::LoadFromStream(CStream& s) {
  *this = CExtensionFunction();
  if (s.ReadInteger() != kExtVersion) return true;  // stays at its defaults
  s_name = s.ReadString();
  s_extname = s.ReadString();
  s_kind = s.ReadInteger();
  s_id = s.ReadInteger();
  s_argcount = s.ReadInteger();
  s.ReadBytes(s_argtype.data(), sizeof(int32_t) * s_argtype.size());
  s_returntype = s.ReadInteger();
  if (s_returntype != 1 && s_returntype != 2) s_returntype = 2;
  return true;
}

void CExtensionFunction::SaveToStream(CStream& s) const {
  s.WriteInteger(kExtVersion);
  s.WriteString(s_name);
  s.WriteString(s_extname);
  s.WriteInteger(s_kind);
  s.WriteInteger(s_id);
  s.WriteInteger(s_argcount);
  s.WriteBytes(s_argtype.data(), sizeof(int32_t) * s_argtype.size());
  s.WriteInteger(s_returntype);
}

bool CExtensionFile::LoadFromStream(CStream& s) {
  *this = CExtensionFile();
  if (s.ReadInteger() != kExtVersion) return true;  // left empty
  s_filename = s.ReadString();
  s_kind = s.ReadInteger();
  s_init = s.ReadString();
  s_final = s.ReadString();
  int32_t nf = s.ReadInteger();
  if (!CountFits(s, nf, 4)) return false;
  s_functions.resize(size_t(nf));
  for (CExtensionFunction& f : s_functions)
    if (!f.LoadFromStream(s)) return false;
  int32_t nc = s.ReadInteger();
  if (!CountFits(s, nc, 12)) return false;
  s_constants.resize(size_t(nc));
  for (CExtensionConstant& c : s_constants) {
    if (s.ReadInteger() != kExtVersion) return false;
    c.s_name = s.ReadString();
    c.s_value = s.ReadString();
  }
  return true;
}

void CExtensionFile::SaveToStream(CStream& s) const {
  s.WriteInteger(kExtVersion);
  s.WriteString(s_filename);
  s.WriteInteger(s_kind);
  s.WriteString(s_init);
  s.WriteString(s_final);
  s.WriteInteger(s_cfunctions());
  for (const CExtensionFunction& f : s_functions) f.SaveToStream(s);
  s.WriteInteger(s_cconstants());
  for (const CExtensionConstant& c : s_constants) {
    s.WriteInteger(kExtVersion);
    s.WriteString(c.s_name);
    s.WriteString(c.s_value);
  }
}

void CExtensionFile::CreateScripts(const std::vector<uint8_t>& content) {
  for (CExtensionFunction& f : s_functions) f.s_script.clear();
  if (s_kind != kExtScript) return;
  std::vector<std::string> lines(1);
  for (uint8_t c : content) {
    if (c == '\r')
      lines.emplace_back();
    else if (c != '\n')
      lines.back() += char(c);
  }
  std::string section;
  std::vector<std::string> body;
  bool open = false;
  auto close = [&] {
    if (!open) return;
    std::string text;
    for (size_t i = 0; i < body.size(); ++i) text += (i ? "\r\n" : "") + body[i];
    for (CExtensionFunction& f : s_functions)
      if (f.s_extname == section) f.s_script = text;
  };
  for (const std::string& line : lines) {
    if (line.rfind("#define", 0) == 0) {
      close();
      section = Trim(line.substr(7));
      body.clear();
      open = true;
    } else if (open) {
      body.push_back(line);
    }
  }
  close();
}

void CExtensionPackage::Normalize() {
  for (CExtensionFile& file : s_includes)
    for (CExtensionFunction& f : file.s_functions) {
      f.s_name = Trim(f.s_name);
      f.s_extname = Trim(f.s_extname);
      if (f.s_extname.empty()) f.s_extname = f.s_name;
      if (f.s_argcount > 4) f.s_argtype.fill(2);
    }
}

bool CExtensionPackage::LoadFromStream(CStream& s, const std::string& tempFolder) {
  Clear();
  if (s.ReadInteger() != kExtVersion) return false;
  s_name = s.ReadString();
  s_folder = s.ReadString();
  int32_t n = s.ReadInteger();
  if (!CountFits(s, n, 4)) return false;
  s_includes.resize(size_t(n));
  for (CExtensionFile& f : s_includes)
    if (!f.LoadFromStream(s)) return false;
  Normalize();

  std::unique_ptr<CStream> c = s.ReadStream();
  contentKey = c->ReadInteger();
  c->Decrypt(contentKey, 5, -1);
  c->SetPosition(4);
  for (CExtensionFile& f : s_includes) {
    if (!f.HasContent()) continue;
    std::unique_ptr<CStream> data = c->ReadStreamC();
    f.s_data = std::move(data->Buffer());
    if (f.s_kind == kExtScript) {
      f.CreateScripts(*f.s_data);
    } else if ((f.s_kind == kExtLibrary || f.s_kind == kExtOther) && !tempFolder.empty()) {
      const fs::path file = FilePath(tempFolder, f);
      if (file.empty()) continue;
      std::error_code ec;
      fs::create_directories(file.parent_path(), ec);
      std::ofstream out(file, std::ios::binary | std::ios::trunc);
      out.write(reinterpret_cast<const char*>(f.s_data->data()), std::streamsize(f.s_data->size()));
    }
  }
  return true;
}

void CExtensionPackage::SaveToStream(CStream& s) const {
  s.WriteInteger(kExtVersion);
  s.WriteString(s_name);
  s.WriteString(s_folder);
  s.WriteInteger(s_cincludes());
  for (const CExtensionFile& f : s_includes) f.SaveToStream(s);
  CStream c;
  c.WriteInteger(contentKey);
  for (const CExtensionFile& f : s_includes) {
    if (!f.HasContent()) continue;
    static const std::vector<uint8_t> none;
    const std::vector<uint8_t>& d = f.s_data ? *f.s_data : none;
    c.WriteStreamC(d.data(), d.size());
  }
  c.Encrypt(contentKey, 5, -1);
  s.WriteStream(c);
}

fs::path CExtensionPackage::FilePath(const std::string& tempFolder, const CExtensionFile& file) const {
  const fs::path name = SafeRelativePath(file.s_filename);
  if (tempFolder.empty() || name.empty()) return {};
  return fs::path(tempFolder) / SafeRelativePath(s_folder) / name;
}

const CExtensionFunction* CExtensionPackage::FunctionFindName(const std::string& name) const {
  for (const CExtensionFile& f : s_includes)
    for (const CExtensionFunction& fn : f.s_functions)
      if (fn.s_name == name) return &fn;
  return nullptr;
}

const CExtensionFunction* CExtensionPackage::FunctionFindId(int id) const {
  for (const CExtensionFile& f : s_includes)
    for (const CExtensionFunction& fn : f.s_functions)
      if (fn.s_id == id) return &fn;
  return nullptr;
}

const CExtensionConstant* CExtensionPackage::ConstantFindName(const std::string& name) const {
  for (const CExtensionFile& f : s_includes)
    for (const CExtensionConstant& c : f.s_constants)
      if (c.s_name == name) return &c;
  return nullptr;
}

bool CallableExtensionId(int64_t id) {
  return id >= 0 && id <= int64_t(std::numeric_limits<int32_t>::max()) - kExtensionIdBase;
}

const CExtensionFunction* FindExtensionFunction(const std::vector<CExtensionPackage>& packages, std::string_view name) {
  for (const CExtensionPackage& p : packages)
    for (const CExtensionFile& f : p.s_includes)
      for (const CExtensionFunction& fn : f.s_functions)
        if (fn.s_name == name && CallableExtensionId(fn.s_id)) return &fn;
  return nullptr;
}

const CExtensionFunction* FindExtensionFunctionById(const std::vector<CExtensionPackage>& packages, int64_t id) {
  if (!CallableExtensionId(id)) return nullptr;
  for (const CExtensionPackage& p : packages)
    if (const CExtensionFunction* fn = p.FunctionFindId(int(id))) return fn;
  return nullptr;
}

bool LoadExtensionBlock(CStream& s, std::vector<CExtensionPackage>& packages, const std::string& tempFolder) {
  packages.clear();
  int32_t n = 0;
  if (!ReadBlockCount(s, kExtVersion, 4, n)) return false;
  packages.resize(size_t(n));
  for (CExtensionPackage& p : packages) {
    if (!p.LoadFromStream(s, tempFolder)) {
      ShowMessage("Error in loading extension packages.");
      packages.clear();
      return false;
    }
  }
  return true;
}

bool SkimExtensionBlock(CStream& s, std::vector<std::string>& names) {
  names.clear();
  int32_t n = 0;
  if (!ReadBlockCount(s, kExtVersion, 4, n)) return false;
  for (int32_t i = 0; i < n; ++i) {
    if (s.ReadInteger() != kExtVersion) return false;
    names.push_back(s.ReadString());
    s.ReadString();  // folder
    int32_t files = s.ReadInteger();
    if (!CountFits(s, files, 4)) return false;
    for (int32_t k = 0; k < files; ++k) {
      CExtensionFile f;
      if (!f.LoadFromStream(s)) return false;
    }
    const int32_t contents = s.ReadInteger();
    if (contents > 0) s.Skip(size_t(contents));
  }
  return true;
}

void SaveExtensionBlock(CStream& s, const std::vector<CExtensionPackage>& packages) {
  s.WriteInteger(kExtVersion);
  s.WriteInteger(int32_t(packages.size()));
  for (const CExtensionPackage& p : packages) p.SaveToStream(s);
}

}  // namespace kestro
