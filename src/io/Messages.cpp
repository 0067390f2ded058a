#include "io/Messages.h"

#include <cstdio>

namespace kestro {

namespace {
IMessageBox* g_box = nullptr;
}

void SetMessageBox(IMessageBox* box) { g_box = box; }

void ShowMessage(const std::string& text) {
  std::fprintf(stderr, "%s\n", text.c_str());
  std::fflush(stderr);
  if (g_box) g_box->Show(text);
}

bool AskYesNo(const std::string& question, bool headlessAnswer) {
  if (g_box) return g_box->AskYesNo(question);
  std::fprintf(stderr, "%s (answered %s: no display)\n", question.c_str(), headlessAnswer ? "Yes" : "No");
  return headlessAnswer;
}

}  // namespace kestro
