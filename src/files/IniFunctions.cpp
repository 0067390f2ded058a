// The settings-file functions of game code: one INI file at a time, beside the game.
#include <string>

#include "files/Bindings.h"
#include "files/GameNames.h"
#include "files/IniDocument.h"
#include "script/builtins/BuiltinArgs.h"

namespace kestro {

namespace {

using files::IniFile;

constexpr const char* kNotBeside = "INI files must be located in the same directory as the program";

std::string Text(const RValue& v) { return v.str.str(); }

void CloseReporting() {
  const std::string path = IniFile().Path();
  if (!IniFile().Close()) ReportBuiltinError("Cannot write the INI file " + path);
}

// The document, or none with the message of the kind of use.
files::CIniDocument* Document(const char* message) {
  if (!IniFile().IsOpen()) {
    ReportBuiltinError(message);
    return nullptr;
  }
  return &IniFile().Document();
}
files::CIniDocument* ForReading() { return Document("Trying to read from undefined INI file"); }
files::CIniDocument* ForWriting() { return Document("Trying to write to undefined INI file"); }
files::CIniDocument* ForChanging() { return Document("Trying to change undefined INI file"); }

KESTRO_BUILTIN(IniOpen) {
  const std::string name = Text(a[0]);
  if (files::HasFolderPart(name)) return ReportBuiltinError(kNotBeside);
  // In secure mode the file may not lead out of the game's folder either (a link, or "..").
  const std::string path = files::GamePath(files::ProgramDirectory() + "/" + name);
  if (files::SecureMode() && files::LeadsOutsideGame(path)) return ReportBuiltinError(kNotBeside);
  if (IniFile().IsOpen()) CloseReporting();
  if (!IniFile().Open(path)) ReportBuiltinError("Cannot read the INI file " + path);
}

KESTRO_BUILTIN(IniClose) {
  if (IniFile().IsOpen()) CloseReporting();
}

KESTRO_BUILTIN(IniReadString) {
  files::CIniDocument* doc = ForReading();
  if (!doc) return;
  std::string value;
  if (doc->ReadString(Text(a[0]), Text(a[1]), value))
    SetText(r, value);
  else
    SetText(r, Text(a[2]));
}

KESTRO_BUILTIN(IniReadReal) {
  files::CIniDocument* doc = ForReading();
  if (!doc) return;
  std::string value;
  if (!doc->ReadString(Text(a[0]), Text(a[1]), value)) value = files::IniRealText(a[2].val);
  r = RValue::Real(files::IniRealValue(value));
}

KESTRO_BUILTIN(IniWriteString) {
  files::CIniDocument* doc = ForWriting();
  if (!doc) return;
  doc->WriteString(Text(a[0]), Text(a[1]), Text(a[2]));
  IniFile().Changed();
}

KESTRO_BUILTIN(IniWriteReal) {
  files::CIniDocument* doc = ForWriting();
  if (!doc) return;
  doc->WriteString(Text(a[0]), Text(a[1]), files::IniRealText(a[2].val));
  IniFile().Changed();
}

KESTRO_BUILTIN(IniKeyExists) {
  files::CIniDocument* doc = ForReading();
  if (doc) r = RValue::Real(doc->KeyExists(Text(a[0]), Text(a[1])) ? 1 : 0);
}

KESTRO_BUILTIN(IniSectionExists) {
  files::CIniDocument* doc = ForReading();
  if (doc) r = RValue::Real(doc->SectionExists(Text(a[0])) ? 1 : 0);
}

KESTRO_BUILTIN(IniKeyDelete) {
  files::CIniDocument* doc = ForChanging();
  if (!doc) return;
  doc->DeleteKey(Text(a[0]), Text(a[1]));
  IniFile().Changed();
}

KESTRO_BUILTIN(IniSectionDelete) {
  files::CIniDocument* doc = ForChanging();
  if (!doc) return;
  doc->DeleteSection(Text(a[0]));
  IniFile().Changed();
}

constexpr RBinding kIniFunctions[] = {
    {"ini_open", IniOpen},
    {"ini_close", IniClose},
    {"ini_read_string", IniReadString},
    {"ini_read_real", IniReadReal},
    {"ini_write_string", IniWriteString},
    {"ini_write_real", IniWriteReal},
    {"ini_key_exists", IniKeyExists},
    {"ini_section_exists", IniSectionExists},
    {"ini_key_delete", IniKeyDelete},
    {"ini_section_delete", IniSectionDelete},
};

}  // namespace

RBindingTable IniFunctions() { return kIniFunctions; }

}  // namespace kestro
