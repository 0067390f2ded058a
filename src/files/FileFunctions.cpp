// The file functions of game code: binary and text files, the single file, files and folders,
// directory searches, file names, included files, programs, the command line, the environment
// and the drives; and the built-in variables naming the run's folders and secure mode.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "files/Bindings.h"
#include "files/GameFiles.h"
#include "files/GameNames.h"
#include "io/RunState.h"
#include "platform/posix/HostFiles.h"
#include "platform/posix/Process.h"
#include "resources/GameResources.h"
#include "script/builtins/BuiltinArgs.h"

namespace kestro {

namespace {

using files::GameFiles;

// Text arguments are the string part of the value, whatever its kind.
std::string Text(const RValue& v) { return v.str.str(); }
void Real(RValue& r, double v) { r = RValue::Real(v); }

// ---------------------------------------------------------------------------------------------
// Binary files

KESTRO_BUILTIN(FileBinOpen) { Real(r, GameFiles().BinOpen(Text(a[0]), ArgInt(a[1]))); }
KESTRO_BUILTIN(FileBinRewrite) { GameFiles().BinRewrite(ArgInt(a[0])); }
KESTRO_BUILTIN(FileBinClose) { GameFiles().BinClose(ArgInt(a[0])); }
KESTRO_BUILTIN(FileBinSize) { Real(r, GameFiles().BinSize(ArgInt(a[0]))); }
KESTRO_BUILTIN(FileBinPosition) { Real(r, GameFiles().BinPosition(ArgInt(a[0]))); }
KESTRO_BUILTIN(FileBinSeek) { GameFiles().BinSeek(ArgInt(a[0]), ArgInt(a[1])); }
KESTRO_BUILTIN(FileBinReadByte) { Real(r, GameFiles().BinReadByte(ArgInt(a[0]))); }
KESTRO_BUILTIN(FileBinWriteByte) { GameFiles().BinWriteByte(ArgInt(a[0]), ArgInt(a[1])); }

// ---------------------------------------------------------------------------------------------
// Text files with handles

KESTRO_BUILTIN(FileTextOpenRead) { Real(r, GameFiles().TextOpenRead(Text(a[0]))); }
KESTRO_BUILTIN(FileTextOpenWrite) { Real(r, GameFiles().TextOpenWrite(Text(a[0]))); }
KESTRO_BUILTIN(FileTextOpenAppend) { Real(r, GameFiles().TextOpenAppend(Text(a[0]))); }
KESTRO_BUILTIN(FileTextClose) { GameFiles().TextClose(ArgInt(a[0])); }
// A refused handle gives real 0, as every refusal does.
KESTRO_BUILTIN(FileTextReadString) {
  std::string line;
  if (GameFiles().TextReadString(ArgInt(a[0]), line)) SetText(r, line);
}
KESTRO_BUILTIN(FileTextReadReal) { Real(r, GameFiles().TextReadReal(ArgInt(a[0]))); }
KESTRO_BUILTIN(FileTextReadln) { GameFiles().TextReadln(ArgInt(a[0])); }
KESTRO_BUILTIN(FileTextEof) { Real(r, GameFiles().TextEof(ArgInt(a[0])) ? 1 : 0); }
KESTRO_BUILTIN(FileTextEoln) { Real(r, GameFiles().TextEoln(ArgInt(a[0])) ? 1 : 0); }
KESTRO_BUILTIN(FileTextWriteString) { GameFiles().TextWriteString(ArgInt(a[0]), Text(a[1])); }
KESTRO_BUILTIN(FileTextWriteReal) { GameFiles().TextWriteReal(ArgInt(a[0]), a[1].val); }
KESTRO_BUILTIN(FileTextWriteln) { GameFiles().TextWriteln(ArgInt(a[0])); }

// ---------------------------------------------------------------------------------------------
// The single file

KESTRO_BUILTIN(FileOpenRead) { GameFiles().OpenRead(Text(a[0])); }
KESTRO_BUILTIN(FileOpenWrite) { GameFiles().OpenWrite(Text(a[0])); }
KESTRO_BUILTIN(FileOpenAppend) { GameFiles().OpenAppend(Text(a[0])); }
KESTRO_BUILTIN(FileClose) { GameFiles().Close(); }
KESTRO_BUILTIN(FileReadString) {
  std::string line;
  if (GameFiles().ReadString(line)) SetText(r, line);
}
KESTRO_BUILTIN(FileReadReal) { Real(r, GameFiles().ReadReal()); }
KESTRO_BUILTIN(FileReadln) { GameFiles().Readln(); }
KESTRO_BUILTIN(FileEof) { Real(r, GameFiles().Eof() ? 1 : 0); }
KESTRO_BUILTIN(FileEoln) { Real(r, GameFiles().Eoln() ? 1 : 0); }
KESTRO_BUILTIN(FileWriteString) { GameFiles().WriteString(Text(a[0])); }
KESTRO_BUILTIN(FileWriteReal) { GameFiles().WriteReal(a[0].val); }
KESTRO_BUILTIN(FileWriteln) { GameFiles().Writeln(); }

// ---------------------------------------------------------------------------------------------
// Files and folders. The platform's refusals are silent; secure mode's are not.

KESTRO_BUILTIN(FileExists) { Real(r, os::IsFile(files::GamePath(Text(a[0]))) ? 1 : 0); }

KESTRO_BUILTIN(FileDelete) {
  const std::string name = Text(a[0]);
  if (files::SecureRefuses(name)) return ReportBuiltinError("In Secure mode you cannot delete file " + name);
  os::DeleteFile(files::GamePath(name));
}

KESTRO_BUILTIN(FileRename) {
  const std::string from = Text(a[0]), to = Text(a[1]);
  if (files::SecureRefuses(from) || files::SecureRefuses(to))
    return ReportBuiltinError("In Secure mode you cannot rename file " + from + " into " + to);
  os::MoveFile(files::GamePath(from), files::GamePath(to));
}

KESTRO_BUILTIN(FileCopy) {
  const std::string from = Text(a[0]), to = Text(a[1]);
  if (files::SecureRefuses(from) || files::SecureRefuses(to))
    return ReportBuiltinError("In Secure mode you cannot copy file " + from + " to " + to);
  os::CopyFile(files::GamePath(from), files::GamePath(to));
}

KESTRO_BUILTIN(DirectoryExists) { Real(r, os::IsFolder(files::GamePath(Text(a[0]))) ? 1 : 0); }

KESTRO_BUILTIN(DirectoryCreate) {
  const std::string name = Text(a[0]);
  if (files::SecureRefuses(name)) return ReportBuiltinError("In Secure mode you cannot create directory " + name);
  os::CreateFolders(files::GamePath(name));
}

KESTRO_BUILTIN(FileFindFirst) { SetText(r, GameFiles().FindFirst(Text(a[0]), ArgInt(a[1]))); }
KESTRO_BUILTIN(FileFindNext) { SetText(r, GameFiles().FindNext()); }
KESTRO_BUILTIN(FileFindClose) { GameFiles().FindClose(); }

KESTRO_BUILTIN(FileAttributes) {
  const int bits = os::FileAttributes(files::GamePath(Text(a[0])));
  Real(r, bits < 0 ? -1 : (bits & int(ArgInt(a[1]))) != 0 ? 1 : 0);
}

KESTRO_BUILTIN(DiskFree) { Real(r, files::DiskFree(argc > 0 ? Text(a[0]) : std::string())); }
KESTRO_BUILTIN(DiskSize) { Real(r, files::DiskSize(argc > 0 ? Text(a[0]) : std::string())); }

// ---------------------------------------------------------------------------------------------
// File names

KESTRO_BUILTIN(FilenameName) { SetText(r, files::FileNameName(a[0].str.view())); }
KESTRO_BUILTIN(FilenamePath) { SetText(r, files::FileNamePath(a[0].str.view())); }
KESTRO_BUILTIN(FilenameDir) { SetText(r, files::FileNameDir(a[0].str.view())); }
KESTRO_BUILTIN(FilenameDrive) { SetText(r, files::FileNameDrive(a[0].str.view())); }
KESTRO_BUILTIN(FilenameExt) { SetText(r, files::FileNameExt(a[0].str.view())); }
KESTRO_BUILTIN(FilenameChangeExt) { SetText(r, files::FileNameChangeExt(a[0].str.view(), a[1].str.view())); }

// ---------------------------------------------------------------------------------------------
// Included files: found by their exact name, the lowest index winning.

CDataFile* IncludedFile(const std::string& name) {
  for (CDataFile& f : GameResources().includedFiles)
    if (f.s_filename == name) return &f;
  return nullptr;
}

std::filesystem::path CurrentFolder() {
  std::error_code ec;
  return std::filesystem::current_path(ec);
}

KESTRO_BUILTIN(ExportIncludeFile) {
  CDataFile* f = IncludedFile(Text(a[0]));
  if (!f) return ReportBuiltinError("Trying to export non-existing file.");
  f->Prepare(RunState().tempFolder, CurrentFolder());
}

KESTRO_BUILTIN(ExportIncludeFileLocation) {
  if (files::SecureMode()) return ReportBuiltinError("In secure mode you cannot export a file to a location.");
  CDataFile* f = IncludedFile(Text(a[0]));
  if (!f) return ReportBuiltinError("Trying to export non-existing file.");
  f->ExportIt(files::GamePath(Text(a[1])));
}

KESTRO_BUILTIN(DiscardIncludeFile) {
  CDataFile* f = IncludedFile(Text(a[0]));
  if (!f) return ReportBuiltinError("Trying to discard non-existing file.");
  f->Discard();
}

// ---------------------------------------------------------------------------------------------
// Programs, the command line and the environment

KESTRO_BUILTIN(ExecuteProgram) { files::ExecuteProgram(Text(a[0]), Text(a[1]), ArgBool(a[2])); }
KESTRO_BUILTIN(ExecuteShell) { files::ExecuteShell(Text(a[0]), Text(a[1])); }

KESTRO_BUILTIN(ParameterCount) {
  const size_t n = RunState().parameters.size();
  Real(r, n > 0 ? double(n - 1) : 0);
}

KESTRO_BUILTIN(ParameterString) {
  const auto& params = RunState().parameters;
  const int64_t n = ArgInt(a[0]);
  if (n == 0) {
    // The running program's full path.
    std::string program = params.empty() ? os::SelfExecutablePath() : params[0];
    std::error_code ec;
    const auto full = std::filesystem::absolute(program, ec);
    return SetText(r, ec ? program : full.lexically_normal().string());
  }
  if (n < 0 || size_t(n) >= params.size()) return SetText(r, "");
  SetText(r, params[size_t(n)]);
}

KESTRO_BUILTIN(EnvironmentGetVariable) {
  const char* value = std::getenv(Text(a[0]).c_str());
  SetText(r, value ? value : "");
}

constexpr RBinding kFileFunctions[] = {
    {"file_bin_open", FileBinOpen},
    {"file_bin_rewrite", FileBinRewrite},
    {"file_bin_close", FileBinClose},
    {"file_bin_position", FileBinPosition},
    {"file_bin_size", FileBinSize},
    {"file_bin_seek", FileBinSeek},
    {"file_bin_read_byte", FileBinReadByte},
    {"file_bin_write_byte", FileBinWriteByte},
    {"file_text_open_read", FileTextOpenRead},
    {"file_text_open_write", FileTextOpenWrite},
    {"file_text_open_append", FileTextOpenAppend},
    {"file_text_close", FileTextClose},
    {"file_text_read_string", FileTextReadString},
    {"file_text_read_real", FileTextReadReal},
    {"file_text_readln", FileTextReadln},
    {"file_text_eof", FileTextEof},
    {"file_text_eoln", FileTextEoln},
    {"file_text_write_string", FileTextWriteString},
    {"file_text_write_real", FileTextWriteReal},
    {"file_text_writeln", FileTextWriteln},
    {"file_open_read", FileOpenRead},
    {"file_open_write", FileOpenWrite},
    {"file_open_append", FileOpenAppend},
    {"file_close", FileClose},
    {"file_read_string", FileReadString},
    {"file_read_real", FileReadReal},
    {"file_readln", FileReadln},
    {"file_eof", FileEof},
    {"file_eoln", FileEoln},
    {"file_write_string", FileWriteString},
    {"file_write_real", FileWriteReal},
    {"file_writeln", FileWriteln},
    {"file_exists", FileExists},
    {"file_delete", FileDelete},
    {"file_rename", FileRename},
    {"file_copy", FileCopy},
    {"directory_exists", DirectoryExists},
    {"directory_create", DirectoryCreate},
    {"file_find_first", FileFindFirst},
    {"file_find_next", FileFindNext},
    {"file_find_close", FileFindClose},
    {"file_attributes", FileAttributes},
    {"filename_name", FilenameName},
    {"filename_path", FilenamePath},
    {"filename_dir", FilenameDir},
    {"filename_drive", FilenameDrive},
    {"filename_ext", FilenameExt},
    {"filename_change_ext", FilenameChangeExt},
    {"export_include_file", ExportIncludeFile},
    {"export_include_file_location", ExportIncludeFileLocation},
    {"discard_include_file", DiscardIncludeFile},
    {"execute_program", ExecuteProgram},
    {"execute_shell", ExecuteShell},
    {"parameter_count", ParameterCount},
    {"parameter_string", ParameterString},
    {"environment_get_variable", EnvironmentGetVariable},
    {"disk_free", DiskFree},
    {"disk_size", DiskSize},
};

// ---------------------------------------------------------------------------------------------
// Built-in variables

bool WorkingDirectoryVar(CInstance*, int32_t, RValue& out) {
  out = RValue::String(RString(files::WorkingDirectory()));
  return true;
}
bool ProgramDirectoryVar(CInstance*, int32_t, RValue& out) {
  out = RValue::String(RString(files::ProgramDirectory()));
  return true;
}
bool TempDirectoryVar(CInstance*, int32_t, RValue& out) {
  out = RValue::String(RString(RunState().tempFolder));
  return true;
}
bool SecureModeVar(CInstance*, int32_t, RValue& out) {
  out = RValue::Real(files::SecureMode() ? 1 : 0);
  return true;
}

constexpr RVariableBinding kFileVariables[] = {
    {"working_directory", WorkingDirectoryVar, nullptr},
    {"temp_directory", TempDirectoryVar, nullptr},
    {"program_directory", ProgramDirectoryVar, nullptr},
    {"secure_mode", SecureModeVar, nullptr},
};

}  // namespace

RBindingTable FileFunctions() { return kFileFunctions; }
RVariableBindingTable FileVariables() { return kFileVariables; }

}  // namespace kestro
