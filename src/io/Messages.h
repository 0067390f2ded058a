// Messages to the player before the game window exists: always on standard error, and in a
// message box when the platform layer has installed one (only where a display can show it).
#pragma once

#include <string>

namespace kestro {

class IMessageBox {
 public:
  virtual ~IMessageBox() = default;
  virtual void Show(const std::string& text) = 0;
  virtual bool AskYesNo(const std::string& question) = 0;
};

void SetMessageBox(IMessageBox* box);  // nullptr: standard error only
void ShowMessage(const std::string& text);
// Without a box the question cannot be answered; the answer is then `headlessAnswer`.
bool AskYesNo(const std::string& question, bool headlessAnswer);

}  // namespace kestro
