// `kestro script`: compiling a file of script code to check it or to look at its compiled tree.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "script/BuiltinNames.h"
#include "script/Code.h"
#include "tools/Commands.h"

namespace kestro::tools {

namespace {

const char* kUsage =
    "usage: kestro script --check FILE      compile FILE; print nothing, or the compile error\n"
    "       kestro script --dump FILE       compile FILE and print its compiled tree\n"
    "options:\n"
    "  --expression   compile FILE as one expression instead of a program\n"
    "  FILE may be - for standard input.\n";

bool ReadAll(const std::string& path, std::string& out) {
  if (path == "-") {
    std::ostringstream ss;
    ss << std::cin.rdbuf();
    out = ss.str();
    return true;
  }
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  std::ostringstream ss;
  ss << f.rdbuf();
  out = ss.str();
  return true;
}

// The error window shows one line per CR and drops LF characters; print it the same way.
void PrintAsShown(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\r')
      out += '\n';
    else if (c != '\n')
      out += c;
  }
  std::printf("%s\n", out.c_str());
}

}  // namespace

int ScriptCommand(const Args& args) {
  if (HandleHelpVersion(args, kUsage)) return 0;
  bool check = false, dump = false, expression = false;
  std::string file;
  for (const std::string& a : args) {
    if (a == "--check") {
      check = true;
    } else if (a == "--dump") {
      dump = true;
    } else if (a == "--expression") {
      expression = true;
    } else if (!a.empty() && a[0] == '-' && a != "-") {
      std::fprintf(stderr, "kestro script: unknown option %s\n%s", a.c_str(), kUsage);
      return 2;
    } else if (file.empty()) {
      file = a;
    } else {
      std::fprintf(stderr, "kestro script: more than one file given\n");
      return 2;
    }
  }
  if (!check && !dump) {
    std::fprintf(stderr, "running scripts is not available yet\n");
    return 2;
  }
  if (file.empty()) {
    std::fprintf(stderr, "%s", kUsage);
    return 2;
  }
  std::string text;
  if (!ReadAll(file, text)) {
    std::fprintf(stderr, "kestro script: cannot read %s\n", file.c_str());
    return 2;
  }
  CCode code(text, expression);
  // Outside a game only the built-in functions and constants have names.
  if (!code.Compile(&BuiltinScriptNames())) {
    PrintAsShown(code.CompileError());
    return 1;
  }
  if (dump) std::printf("%s", DumpTree(code, &BuiltinScriptNames()).c_str());
  return 0;
}

}  // namespace kestro::tools
