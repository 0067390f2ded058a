// CEvent: the ordered action list of one event of an object or one moment of a time line, and
// the event numbering with the names the run-time prints.
#pragma once

#include <string>
#include <vector>

#include "resources/Action.h"

namespace kestro {

enum EventType {
  kEvCreate = 0, kEvDestroy = 1, kEvAlarm = 2, kEvStep = 3, kEvCollision = 4, kEvKeyboard = 5,
  kEvMouse = 6, kEvOther = 7, kEvDraw = 8, kEvKeyPress = 9, kEvKeyRelease = 10, kEvTrigger = 11
};
inline constexpr int kEventTypeCount = 12;

class CEvent {
 public:
  std::vector<CAction> e_actions;
  int e_number = 0;  // actions in use; 0 counts as not defined

  void Create() { Clear(); }
  void Clear() {
    e_actions.clear();
    e_number = 0;
  }
  void Assign(const CEvent& o) { *this = o; }
  void Destroy() { Clear(); }
  // Stored form: int 400, int n, n actions. Another version leaves the event empty and reads
  // nothing more of it (true). False when n does not fit the data or an action is damaged.
  bool LoadFromStream(CStream& s);
  void SaveToStream(CStream& s) const;
  void AddCodeAction(const std::string& text);
  CAction* Action(int i) { return i >= 0 && i < e_number ? &e_actions[size_t(i)] : nullptr; }
};

// The printed names of keys, mouse events and other events, and of a whole event. The object
// and trigger names come from the caller (a missing object is "<undefined>", a missing trigger
// "<Deleted>").
std::string KeyName(int code);
std::string MouseEventName(int code);
std::string OtherEventName(int code);
std::string EventName(int etype, int enumb, const std::string& objectName, const std::string& triggerName);

}  // namespace kestro
