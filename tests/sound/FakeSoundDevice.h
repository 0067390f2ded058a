// A device that plays nothing and records what the sound layer asks of it. Bytes starting with
// "BAD" are refused, as undecodable data is by a real device.
#pragma once

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "sound/SoundDevice.h"

namespace kestro::test {

class FakeSoundDevice : public ISoundDevice {
 public:
  struct RSound {
    ESoundPath path = ESoundPath::kStereo;
    int volume = 0, pan = 0, fade = 0, effects = 0, playing = 0;
    std::map<int, REffectParameters> parameters;
    RSound3D threeD;
  };
  bool openable = true;
  bool closed = false;
  std::map<uint32_t, RSound> sounds;
  std::vector<std::string> log;  // "play 3", "stop 2", ...
  int master = 0;
  double tempo = 1;
  uint32_t next = 1;

  bool Open() override { return openable; }
  void Close() override { closed = true; }
  uint32_t CreateFromMemory(const uint8_t* data, size_t size, ESoundPath path) override {
    if (size >= 3 && std::memcmp(data, "BAD", 3) == 0) return 0;
    sounds[next].path = path;
    return next++;
  }
  uint32_t CreateFromFile(const std::string&) override {
    sounds[next].path = ESoundPath::kPlayer;
    return next++;
  }
  void Free(uint32_t s) override {
    log.push_back("free " + std::to_string(s));
    sounds.erase(s);
  }
  void Play(uint32_t s, bool loop) override {
    log.push_back((loop ? "loop " : "play ") + std::to_string(s));
    sounds[s].playing++;
  }
  void Stop(uint32_t s) override {
    log.push_back("stop " + std::to_string(s));
    sounds[s].playing = 0;
  }
  bool IsPlaying(uint32_t s) override { return sounds.count(s) && sounds[s].playing > 0; }
  void SetVolume(uint32_t s, int v, int fade) override {
    sounds[s].volume = v;
    sounds[s].fade = fade;
  }
  void SetPan(uint32_t s, int pan) override { sounds[s].pan = pan; }
  void SetMasterVolume(int v) override { master = v; }
  void SetTempo(double f) override { tempo = f; }
  void SetEffects(uint32_t s, int bits) override {
    sounds[s].effects = bits;
    sounds[s].parameters.clear();
  }
  void SetEffectParameters(uint32_t s, EEffectType t, const REffectParameters& p) override {
    sounds[s].parameters[int(t)] = p;
  }
  void Set3D(uint32_t s, const RSound3D& t) override { sounds[s].threeD = t; }
};

}  // namespace kestro::test
