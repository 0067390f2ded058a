// The platform and device codes game code reads (`os_type`, `os_device`, `Zarn_GetPlatform()`,
// `Zarn_GetDevice()`; the `os_` and `device_` constants name them). Games branch on them to pick
// desktop or handheld behaviour; this run-time plays them as the desktop games were made for, so
// they take the same paths here: os_win32 (0), meaning "the desktop run-time", and device 0, no
// handheld device. Both stay the same for the whole run.
#pragma once

namespace kestro {

inline constexpr int kOsType = 0;
inline constexpr int kOsDevice = 0;

}  // namespace kestro
