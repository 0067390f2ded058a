// What the sound layer asks of an audio device: sounds made from a file's bytes or from a file,
// voices started and stopped, levels, effects and 3-D placement. The layer computes every number
// the game's values turn into (hundredths of a decibel, clamps, ranges); the device only carries
// them out. src/platform/al/ implements it over OpenAL; tests use a recording device.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace kestro {

// How a sound is played: on a stereo path (pan), a 3-D path (position) or by the player, which
// takes one file at a time and ignores levels, pan, effects and 3-D.
enum class ESoundPath { kStereo, kThreeD, kPlayer };

// The effect types in the order an effect chain is built (the bit of each in s_effects).
enum class EEffectType { kChorus, kEcho, kFlanger, kGargle, kEqualizer, kReverb, kCompressor, kDistortion, kI3DL2Reverb };
inline constexpr int kEffectTypeCount = 9;
inline constexpr std::array<int, kEffectTypeCount> kEffectChainBits = {1, 2, 4, 8, 64, 16, 32, 128, 256};

// The parameters of one effect, in the order the game's functions give them (unused slots 0).
struct REffectParameters {
  std::array<double, 8> v{};
  bool operator==(const REffectParameters&) const = default;
};

// A sound's 3-D settings. Positions and velocities are in the game's units (one unit a metre),
// x right, y up, z away from the listener; distances are those of the inverse-distance rolloff;
// cone angles in degrees, the outside volume in hundredths of a decibel.
struct RSound3D {
  double position[3] = {0, 0, 0};
  double velocity[3] = {0, 0, 0};
  double minDistance = 1;
  double maxDistance = 1e9;
  double coneOrientation[3] = {0, 0, 1};
  int coneInside = 360;
  int coneOutside = 360;
  int coneOutsideVolume = 0;
  bool operator==(const RSound3D&) const = default;
};

class ISoundDevice {
 public:
  virtual ~ISoundDevice() = default;

  // Opens the device; false when there is none (the run then stays silent).
  virtual bool Open() = 0;
  virtual void Close() = 0;

  // A sound from a file's bytes for a stereo or 3-D path; 0 when the bytes cannot be decoded.
  virtual uint32_t CreateFromMemory(const uint8_t* data, size_t size, ESoundPath path) = 0;
  // A sound the player streams from a file; 0 when it cannot be opened.
  virtual uint32_t CreateFromFile(const std::string& file) = 0;
  virtual void Free(uint32_t sound) = 0;

  // Starts a new voice of the sound; earlier voices go on (they overlap).
  virtual void Play(uint32_t sound, bool loop) = 0;
  // Stops every voice of the sound.
  virtual void Stop(uint32_t sound) = 0;
  virtual bool IsPlaying(uint32_t sound) = 0;

  // Levels in hundredths of a decibel (0 full, -10000 silent); volume reached over fadeMs.
  virtual void SetVolume(uint32_t sound, int hundredthsDb, int fadeMs) = 0;
  // Pan in hundredths of a decibel taken from the other side: -10000 full left, 10000 full right.
  virtual void SetPan(uint32_t sound, int pan) = 0;
  // The master volume of stereo and 3-D sounds, -10000..1000.
  virtual void SetMasterVolume(int hundredthsDb) = 0;
  // The tempo factor of music sequences, 0.01..100.
  virtual void SetTempo(double factor) = 0;

  // Installs the effects whose bits are set, each with its default parameters (0 removes all).
  virtual void SetEffects(uint32_t sound, int bits) = 0;
  virtual void SetEffectParameters(uint32_t sound, EEffectType type, const REffectParameters& p) = 0;
  virtual void Set3D(uint32_t sound, const RSound3D& settings) = 0;
};

}  // namespace kestro
