#include "resources/Event.h"

#include "resources/ResourceList.h"
#include "io/Stream.h"

namespace kestro {

// The version of an event's stored form.
constexpr int32_t kEventVersion = 400;

bool CEvent::LoadFromStream(CStream& s) {
  Clear();
  if (s.ReadInteger() != kEventVersion) return true;
  int32_t n = s.ReadInteger();
  if (!CountFits(s, n, 4)) return false;
  e_actions.resize(size_t(n));
  for (CAction& a : e_actions)
    if (!a.LoadFromStream(s)) return false;
  e_number = n;
  return true;
}

void CEvent::SaveToStream(CStream& s) const {
  s.WriteInteger(kEventVersion);
  s.WriteInteger(e_number);
  for (int i = 0; i < e_number; ++i) e_actions[size_t(i)].SaveToStream(s);
}

void CEvent::AddCodeAction(const std::string& text) {
  CAction a;
  a.CreateCode(text);
  e_actions.resize(size_t(e_number));
  e_actions.push_back(std::move(a));
  ++e_number;
}

std::string KeyName(int c) {
  switch (c) {
    case 0: return "<no key>";
    case 1: return "<any key>";
    case 8: return "<Backspace>";
    case 9: return "<Tab>";
    case 13: return "<Enter>";
    case 16: return "<Shift>";
    case 17: return "<Ctrl>";
    case 18: return "<Alt>";
    case 27: return "<Escape>";
    case 32: return "<Space>";
    case 33: return "<Page Up>";
    case 34: return "<Page Down>";
    case 35: return "<End>";
    case 36: return "<Home>";
    case 37: return "<Left>";
    case 38: return "<Up>";
    case 39: return "<Right>";
    case 40: return "<Down>";
    case 45: return "<Insert>";
    case 46: return "<Delete>";
    case 106: return "Keypad *";
    case 107: return "Keypad +";
    case 109: return "Keypad -";
    case 110: return "Keypad .";
    case 111: return "Keypad /";
    default: break;
  }
  if ((c >= 48 && c <= 57) || (c >= 65 && c <= 90)) return std::string(1, char(c)) + "-key";
  if (c >= 96 && c <= 105) return "Keypad " + std::to_string(c - 96);
  if (c >= 112 && c <= 123) return "F" + std::to_string(c - 111);
  return "<unknown>";
}

std::string MouseEventName(int c) {
  static const char* low[] = {"Left Button", "Right Button", "Middle Button", "No Button",
                              "Left Pressed", "Right Pressed", "Middle Pressed", "Left Released",
                              "Right Released", "Middle Released", "Mouse Enter", "Mouse Leave"};
  static const char* glob[] = {"Glob Left Button", "Glob Right Button", "Glob Middle Button",
                               "Glob Left Pressed", "Glob Right Pressed", "Glob Middle Pressed",
                               "Glob Left Released", "Glob Right Released", "Glob Middle Released"};
  static const char* dirs[] = {"Left", "Right", "Up", "Down"};
  if (c >= 0 && c <= 11) return low[c];
  if (c >= 16 && c <= 19) return std::string("Joystick 1 ") + dirs[c - 16];
  if (c >= 21 && c <= 28) return "Joystick 1 Button " + std::to_string(c - 20);
  if (c >= 31 && c <= 34) return std::string("Joystick 2 ") + dirs[c - 31];
  if (c >= 36 && c <= 43) return "Joystick 2 Button " + std::to_string(c - 35);
  if (c >= 50 && c <= 58) return glob[c - 50];
  if (c == 60) return "Mouse Wheel Up";
  if (c == 61) return "Mouse Wheel Down";
  return "<unknown>";
}

std::string OtherEventName(int c) {
  static const char* low[] = {"Outside Room", "Intersect Boundary", "Game Start", "Game End",
                              "Room Start", "Room End", "No More Lives", "Animation End",
                              "End Of Path", "No More Health"};
  if (c >= 0 && c <= 9) return low[c];
  if (c >= 10 && c <= 25) return "User Defined " + std::to_string(c - 10);
  if (c == 30) return "Close Button";
  if (c >= 40 && c <= 47) return "Outside View " + std::to_string(c - 40);
  if (c >= 50 && c <= 57) return "Boundary View " + std::to_string(c - 50);
  return "<unknown>";
}

std::string EventName(int etype, int enumb, const std::string& objectName, const std::string& triggerName) {
  switch (etype) {
    case kEvCreate: return "Create Event";
    case kEvDestroy: return "Destroy Event";
    case kEvAlarm: return "Alarm Event for alarm " + std::to_string(enumb);
    case kEvStep: {
      const char* word = enumb == 0 ? "" : enumb == 1 ? "Begin" : enumb == 2 ? "End" : "<unknown>";
      return std::string(word) + " Step Event";
    }
    case kEvCollision: return "Collision Event with object " + objectName;
    case kEvKeyboard: return "Keyboard Event for " + KeyName(enumb) + " Key";
    case kEvMouse: return "Mouse Event for " + MouseEventName(enumb);
    case kEvOther: return "Other Event: " + OtherEventName(enumb);
    case kEvDraw: return "Draw Event";
    case kEvKeyPress: return "Key Press Event for " + KeyName(enumb) + " Key";
    case kEvKeyRelease: return "Key Release Event for " + KeyName(enumb) + " Key";
    case kEvTrigger: return "Trigger Event: " + triggerName;
    default: return "<Unknown Event>";
  }
}

}  // namespace kestro
