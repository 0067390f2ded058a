// The sound layer: the table of playable sounds a sound resource keeps its handle into, the rules
// of the four kinds (normal sounds overlap, one background music at a time, 3-D sounds, the
// player's one file at a time), and every level, effect and 3-D number the game's values become.
// It talks to an ISoundDevice made by the factory the program installs.
#pragma once

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sound/SoundDevice.h"

namespace kestro {

// Kinds of a sound (s_kind).
enum SoundKind { kSoundNormal = 0, kSoundBackground = 1, kSoundThreeD = 2, kSoundMultimedia = 3 };

// One entry of the playable-sound table, with what the layer last gave the device.
struct RSoundSample {
  bool inuse = false;
  int kind = 0;            // 0..3; 3 when the device route failed
  uint32_t sound = 0;      // the device's sound, 0 none
  std::string fname;       // the file the player plays (kind 3)
  int volume = 0;          // hundredths of a decibel
  int pan = 0;             // -10000..10000
  int effects = 0;         // installed effect bits
  std::array<REffectParameters, kEffectTypeCount> parameters{};
  RSound3D threeD;
};

// The range and defaults of one effect's parameters, in the order the game's functions give them.
struct REffectRange {
  int count;
  std::array<double, 8> min, max, defaults;
  std::array<bool, 8> whole;  // the parameter is a rounded integer
};
const REffectRange& EffectRange(EEffectType type);
// True when every parameter lies within its range (the device refuses the set otherwise).
bool EffectParametersValid(EEffectType type, const REffectParameters& p);

class CSoundLayer {
 public:
  using DeviceFactory = std::function<std::unique_ptr<ISoundDevice>()>;

  // The program installs how a device is made, and where the line about a missing device goes.
  void SetDeviceFactory(DeviceFactory factory) { factory_ = std::move(factory); }
  void SetNotice(std::function<void(const std::string&)> notice) { notice_ = std::move(notice); }

  // Starts the layer when count > 0: the table emptied, the device opened, the global volume 1.
  // False when there is no device; the game then runs silently.
  bool Start(int count);
  bool Started() const { return device_ != nullptr; }
  // Frees every entry, closes the device: the end of a game silences everything.
  void Shutdown();

  // A playable sound from a file's bytes (kinds 0-2); -1 when the device cannot take them (the
  // caller then plays the sound from a file as kind 3).
  int CreateFromMemory(const uint8_t* data, size_t size, int kind);
  // A playable sound from a file; -1 when the file does not exist. Kinds 0-2 that cannot be
  // decoded become kind 3.
  int CreateFromFile(const std::string& file, int kind);
  void Free(int handle);

  void Play(int handle, bool loop);
  void Stop(int handle);
  void StopAll();
  bool IsPlaying(int handle);

  void SetVolume(int handle, double value, int64_t fadeMs);
  void SetPan(int handle, double value);
  void SetGlobalVolume(double value);
  void SetTempo(double factor);
  void SetSearchFolder(const std::string& folder);
  void SetEffects(int handle, int bits);
  // The parameters of the sound's first effect of the type; nothing when it has none or the
  // values lie outside the effect's ranges.
  void SetEffectParameters(int handle, EEffectType type, const REffectParameters& p);
  void Set3DPosition(int handle, double x, double y, double z);
  void Set3DVelocity(int handle, double x, double y, double z);
  void Set3DDistance(int handle, double minDistance, double maxDistance);
  void Set3DCone(int handle, double x, double y, double z, double angleIn, double angleOut, double volumeOutside);

  // What the layer holds, for the getters and tests.
  const RSoundSample* Sample(int handle) const { return Valid(handle) ? &table_[size_t(handle)] : nullptr; }
  int TableSize() const { return int(table_.size()); }
  int GlobalVolume() const { return globalVolume_; }
  double Tempo() const { return tempo_; }
  const std::string& SearchFolder() const { return searchFolder_; }
  ISoundDevice* Device() const { return device_.get(); }

 private:
  bool Valid(int h) const { return h >= 0 && h < int(table_.size()) && table_[size_t(h)].inuse; }
  // Operations that need the device start the layer again when it is absent; after a failed
  // start they wait a while before trying once more, so a machine without sound never pays for
  // opening a device on every call.
  bool EnsureStarted();
  int Allocate(int kind);
  // The entry when it is valid and played by the device on a stereo or 3-D path.
  RSoundSample* Leveled(int h);
  void Send3D(RSoundSample& s) const;

  DeviceFactory factory_;
  std::function<void(const std::string&)> notice_;
  bool noticed_ = false;
  std::chrono::steady_clock::time_point lastFailure_{};
  bool failed_ = false;
  std::unique_ptr<ISoundDevice> device_;
  std::vector<RSoundSample> table_;
  int primary_ = -1;  // the background music playing, -1 none
  int player_ = -1;   // the entry whose file the player holds, -1 none
  int globalVolume_ = 0;
  double tempo_ = 1;
  std::string searchFolder_;
};

CSoundLayer& SoundLayer();

// The line shown once when there is no sound device.
inline constexpr const char* kNoSoundDevice = "No sound device detected. Sounds might not play.";
inline constexpr const char* kFileNameTooLong = "Music file name too long for player.";

}  // namespace kestro
