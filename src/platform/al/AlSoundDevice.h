// The sound layer's device over OpenAL Soft: a voice per playing sound, EFX effects, 3-D sources.
// Short sounds are decoded once into buffers; long sounds, MIDI music and the player's files
// stream in chunks, refilled on a background thread (or by Pump on a loopback device).
#pragma once

#include <cstdint>
#include <memory>

#include "sound/SoundDevice.h"

namespace kestro::platform {

struct RAlDeviceOptions {
  // Renders only when asked (tests, benchmarks): no background thread; Render pumps the streams.
  bool loopback = false;
  int rate = 44100;
  // Samples that are rearranged for the sources are written into the device's mapped buffers where it
  // offers them (off: through a block of our own and the device's copy, as on devices without them).
  bool mapBuffers = true;
};

class AlSoundDevice : public ISoundDevice {
 public:
  explicit AlSoundDevice(RAlDeviceOptions options = {});
  ~AlSoundDevice() override;
  AlSoundDevice(const AlSoundDevice&) = delete;
  AlSoundDevice& operator=(const AlSoundDevice&) = delete;

  bool Open() override;
  void Close() override;
  uint32_t CreateFromMemory(const uint8_t* data, size_t size, ESoundPath path) override;
  uint32_t CreateFromFile(const std::string& file) override;
  void Free(uint32_t sound) override;
  void Play(uint32_t sound, bool loop) override;
  void Stop(uint32_t sound) override;
  bool IsPlaying(uint32_t sound) override;
  void SetVolume(uint32_t sound, int hundredthsDb, int fadeMs) override;
  void SetPan(uint32_t sound, int pan) override;
  void SetMasterVolume(int hundredthsDb) override;
  void SetTempo(double factor) override;
  void SetEffects(uint32_t sound, int bits) override;
  void SetEffectParameters(uint32_t sound, EEffectType type, const REffectParameters& p) override;
  void Set3D(uint32_t sound, const RSound3D& settings) override;

  // Loopback: refills the streams and renders `frames` stereo frames of 16-bit samples.
  void Render(int16_t* out, int frames);
  // Refills the streams and moves fades on (the background thread does this every 10 ms).
  void Pump();
  // Voices that hold sources now (finished ones are counted until they are collected).
  int VoiceCount();
  int Rate() const { return options_.rate; }

 private:
  struct RImpl;
  RAlDeviceOptions options_;
  std::unique_ptr<RImpl> impl_;
};

// The program's device: a real output device with its streaming thread.
std::unique_ptr<ISoundDevice> MakeSoundDevice();

}  // namespace kestro::platform
