#include "resources/ExternalFunctions.h"

#include <algorithm>
#include <array>
#include <filesystem>

#include "io/RunState.h"

namespace kestro {

namespace fs = std::filesystem;

namespace {

INativeCalls* g_native = nullptr;

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return s;
}

bool EndsWithDll(const std::string& name) {
  return name.size() > 4 && Lower(name.substr(name.size() - 4)) == ".dll";
}

// The file names a library name may have here, in order, without repeats.
std::vector<std::string> FileNames(const std::string& name) {
  std::vector<std::string> out;
  auto add = [&](const std::string& n) {
    for (const std::string& v : {n, Lower(n)})
      if (!v.empty() && std::find(out.begin(), out.end(), v) == out.end()) out.push_back(v);
  };
  add(name);
  if (EndsWithDll(name)) {
    const std::string base = name.substr(0, name.size() - 4);
    add(base + ".so");
    add("lib" + base + ".so");
  } else if (name.find('.') == std::string::npos) {
    add(name + ".so");
    add("lib" + name + ".so");
  }
  return out;
}

// Where relative library names are looked for: the game's folder, the working directory, the
// temporary folder (each once).
std::vector<std::string> SearchFolders() {
  std::vector<std::string> folders;
  auto add = [&](const std::string& f) {
    if (!f.empty() && std::find(folders.begin(), folders.end(), f) == folders.end()) folders.push_back(f);
  };
  std::error_code ec;
  const fs::path working = fs::current_path(ec);
  const std::string game = RunState().gameFolder;
  add(game.empty() ? working.string() : fs::absolute(game, ec).string());
  add(working.string());
  add(RunState().tempFolder);
  return folders;
}

}  // namespace

void SetNativeCalls(INativeCalls* calls) { g_native = calls; }

std::vector<std::string> NativeLibraryCandidates(const std::string& library, const std::vector<std::string>& folders) {
  std::string text = library;
  std::replace(text.begin(), text.end(), '\\', '/');
  const fs::path given(text);
  const std::string file = given.filename().string();
  if (file.empty()) return {};
  std::vector<std::string> out;
  auto tryIn = [&](const fs::path& folder) {
    for (const std::string& n : FileNames(file)) {
      std::error_code ec;
      const fs::path p = folder / n;
      if (fs::is_regular_file(p, ec)) out.push_back(p.string());
    }
  };
  if (given.is_absolute()) {
    tryIn(given.parent_path());
  } else {
    for (const std::string& f : folders) tryIn(fs::path(f) / given.parent_path());
  }
  if (!given.has_parent_path())
    for (const std::string& n : FileNames(file)) out.push_back(n);
  return out;
}

int32_t CExternalFunctions::LoadLibrary(const std::string& library, std::string* why) {
  const std::string key = Lower(library);
  for (size_t i = 0; i < libraries_.size(); ++i)
    if (libraries_[i].handle && libraries_[i].key == key) return int32_t(i);
  if (g_native == nullptr) {
    if (why) *why = "native libraries cannot be loaded here";
    return -1;
  }
  // A file that exists but does not load says more than the system's search for a bare name.
  std::string fileError, systemError;
  for (const std::string& path : NativeLibraryCandidates(library, SearchFolders())) {
    std::string reason;
    if (void* handle = g_native->Open(path, reason)) {
      libraries_.push_back({key, handle});
      return int32_t(libraries_.size() - 1);
    }
    if (path.find('/') == std::string::npos)
      systemError = reason;
    else if (fileError.empty())
      fileError = reason;
  }
  if (why) *why = !fileError.empty() ? fileError : !systemError.empty() ? systemError : library + ": no such library";
  return -1;
}

int32_t CExternalFunctions::Define(const std::string& library, const std::string& name, ECallConvention convention,
                                   EExternalKind resultKind, int32_t argCount, std::span<const EExternalKind> argKinds,
                                   std::string* why) {
  auto refuse = [&](std::string reason) {
    if (why) *why = std::move(reason);
    return -1;
  };
  if (argCount < 0 || argCount > kMaxExternalArguments || argKinds.size() < size_t(argCount))
    return refuse("a function has 0 to 16 arguments");
  if (argCount > kMaxMixedExternalArguments &&
      std::any_of(argKinds.begin(), argKinds.begin() + argCount, [](EExternalKind k) { return k != EExternalKind::kReal; }))
    return refuse("a function of more than 4 arguments has only real arguments");
  const int32_t lib = LoadLibrary(library, why);
  if (lib < 0) return -1;
  void* address = g_native->Symbol(libraries_[size_t(lib)].handle, name);
  if (address == nullptr) return refuse(library + " has no function " + name);
  RExternalFunction f;
  f.library = lib;
  f.name = name;
  f.address = address;
  f.convention = convention;
  f.argCount = argCount;
  std::copy(argKinds.begin(), argKinds.begin() + argCount, f.argKinds);
  f.resultKind = resultKind;
  functions_.push_back(std::move(f));
  return Count() - 1;
}

std::string CExternalFunctions::Call(int64_t id, int32_t argc, const RValue* args, RValue& result) {
  result = RValue();
  const RExternalFunction* f = id >= 0 && id < Count() ? Get(int32_t(id)) : nullptr;
  if (f == nullptr) return extmsg::kNoFunction + std::to_string(id);
  if (argc != f->argCount) return extmsg::kWrongCount;
  void* handle = libraries_[size_t(f->library)].handle;
  if (handle == nullptr || g_native == nullptr) return extmsg::kUnloaded;
  // Native code gets copies of the texts: a function that writes into its argument must not
  // change a string game code shares.
  std::array<std::string, kMaxExternalArguments> texts;
  std::array<RNativeArgument, kMaxExternalArguments> native;
  for (int32_t i = 0; i < argc; ++i) {
    RNativeArgument& n = native[size_t(i)];
    n.kind = f->argKinds[i];
    if (n.kind == EExternalKind::kString) {
      texts[size_t(i)] = args[i].str.str();
      n.text = texts[size_t(i)].c_str();
    } else {
      n.real = args[i].val;
    }
  }
  double real = 0;
  std::string text;
  if (!g_native->Call(f->address, f->convention, std::span(native.data(), size_t(argc)), f->resultKind, real, text))
    return extmsg::kUnloaded;
  if (f->resultKind == EExternalKind::kString)
    result.SetString(RString(text));
  else
    result.SetReal(real);
  return {};
}

bool CExternalFunctions::Free(const std::string& library) {
  const std::string key = Lower(library);
  for (RLibrary& lib : libraries_) {
    if (lib.handle == nullptr || lib.key != key) continue;
    if (g_native) g_native->Close(lib.handle);
    lib.handle = nullptr;
    return true;
  }
  return false;
}

void CExternalFunctions::Clear() {
  for (RLibrary& lib : libraries_)
    if (lib.handle && g_native) g_native->Close(lib.handle);
  libraries_.clear();
  functions_.clear();
}

CExternalFunctions& ExternalFunctionTable() {
  static CExternalFunctions table;
  return table;
}

}  // namespace kestro
