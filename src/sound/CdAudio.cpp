#include "sound/CdAudio.h"

#include <string>

namespace kestro {

namespace {

IMciInterface* g_mci = nullptr;

// CD commands read replies of at most 19 characters.
std::string Cd(const std::string& command) { return g_mci ? g_mci->Send(command, 19) : std::string(); }

std::string N(long long v) { return std::to_string(v); }

}  // namespace

void SetMciInterface(IMciInterface* mci) { g_mci = mci; }

long long ReplyNumber(const std::string& reply) {
  long long v = 0;
  for (char c : reply)
    if (c >= '0' && c <= '9' && v < 100000000000000LL) v = v * 10 + (c - '0');
  return v;
}

bool CdPresent() {
  Cd("open cdaudio");
  return Cd("status cdaudio media present") == "true";
}

void CdInit() {
  Cd("close cdaudio");
  Cd("open cdaudio");
}

long long CdNumber() {
  Cd("open cdaudio");
  return CdPresent() ? ReplyNumber(Cd("status cdaudio number of tracks")) : 0;
}

bool CdPlaying() {
  Cd("open cdaudio");
  return CdPresent() && Cd("status cdaudio mode") == "playing";
}

bool CdPaused() {
  Cd("open cdaudio");
  if (!CdPresent()) return false;
  const std::string mode = Cd("status cdaudio mode");
  return mode == "paused" || mode == "stopped";
}

long long CdTrack() {
  Cd("open cdaudio");
  Cd("set cdaudio time format tmsf wait");
  return CdPresent() ? ReplyNumber(Cd("status cdaudio position").substr(0, 2)) : 0;
}

long long CdLength() {
  Cd("open cdaudio");
  Cd("set cdaudio time format ms wait");
  const long long v = CdPresent() ? ReplyNumber(Cd("status cdaudio length wait")) : 0;
  Cd("set cdaudio time format tmsf wait");
  return v;
}

long long CdTrackLength(long long n) {
  Cd("open cdaudio");
  if (n < 1 || n > CdNumber()) return 0;
  Cd("set cdaudio time format milliseconds wait");
  const long long v = CdPresent() ? ReplyNumber(Cd("status cdaudio length track " + N(n))) : 0;
  Cd("set cdaudio time format tmsf wait");
  return v;
}

long long CdPosition() {
  Cd("open cdaudio");
  Cd("set cdaudio time format milliseconds wait");
  const long long v = CdPresent() ? ReplyNumber(Cd("status cdaudio position")) : 0;
  Cd("set cdaudio time format tmsf wait");
  return v;
}

long long CdTrackPosition() {
  Cd("open cdaudio");
  Cd("set cdaudio time format tmsf wait");
  if (!CdPresent()) return 0;
  // tt:mm:ss:ff
  const std::string p = Cd("status cdaudio position");
  auto part = [&](size_t at) { return at < p.size() ? ReplyNumber(p.substr(at, 2)) : 0; };
  return part(3) * 60000 + part(6) * 1000;
}

void CdPlay(long long first, long long last) {
  if (!CdPresent()) return;
  Cd("set cdaudio time format tmsf wait");
  if (last < first) return;
  if (first < 1) first = 1;
  if (last < CdNumber())
    Cd("play cdaudio from " + N(first) + " to " + N(last + 1));
  else
    Cd("play cdaudio from " + N(first));
}

void CdStop() {
  if (CdPresent()) Cd("stop cdaudio");
}

void CdPause() {
  if (CdPresent()) Cd("pause cdaudio");
}

void CdResume() {
  if (CdPresent()) Cd("play cdaudio");
}

void CdSetPosition(long long ms) {
  if (!CdPresent()) return;
  Cd("set cdaudio time format milliseconds wait");
  Cd((CdPlaying() ? "play cdaudio from " : "seek cdaudio to ") + N(ms));
  Cd("set cdaudio time format tmsf");
}

void CdSetTrackPosition(long long ms) {
  if (!CdPresent()) return;
  const long long track = CdTrack();
  if (track <= 0) return;
  const std::string p = N(track) + ":" + N(ms / 60000) + ":" + N((ms % 60000) / 1000);
  Cd("set cdaudio time format tmsf wait");
  Cd((CdPlaying() ? "play cdaudio from " : "seek cdaudio to ") + p);
  Cd("set cdaudio time format tmsf");
}

void CdOpenDoor() {
  Cd("open cdaudio");
  Cd("set cdaudio door open");
}

void CdCloseDoor() {
  Cd("open cdaudio");
  Cd("set cdaudio door closed");
}

std::string MciCommand(const std::string& command) { return g_mci ? g_mci->Send(command, 255) : std::string(); }

}  // namespace kestro
