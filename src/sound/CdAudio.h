// CD audio and raw multimedia commands, spoken as text to a multimedia command interface. A
// machine without one (the usual Linux desktop) answers every command with an empty reply: no
// disc is present, numbers are 0 and nothing is played.
#pragma once

#include <cstddef>
#include <string>

namespace kestro {

class IMciInterface {
 public:
  virtual ~IMciInterface() = default;
  // Sends a command; the reply, at most maxReply characters ("" for none or a failure).
  virtual std::string Send(const std::string& command, size_t maxReply) = 0;
};

// The run's interface; null (the default) answers everything with "".
void SetMciInterface(IMciInterface* mci);

// The number a reply holds: its decimal digits, 0 without any.
long long ReplyNumber(const std::string& reply);

void CdInit();
bool CdPresent();
long long CdNumber();
bool CdPlaying();
bool CdPaused();
long long CdTrack();
long long CdLength();
long long CdTrackLength(long long n);
long long CdPosition();
long long CdTrackPosition();
void CdPlay(long long first, long long last);
void CdStop();
void CdPause();
void CdResume();
void CdSetPosition(long long ms);
void CdSetTrackPosition(long long ms);
void CdOpenDoor();
void CdCloseDoor();
// MCI_command: the reply to any command (up to 255 characters).
std::string MciCommand(const std::string& command);

}  // namespace kestro
