#include "sound/SoundLayer.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "io/Messages.h"
#include "platform/posix/Files.h"
#include "script/Numeric.h"

namespace kestro {

namespace {

// The standard effects' parameters: ranges and defaults in the order of the game's functions.
const REffectRange kRanges[kEffectTypeCount] = {
    // chorus: wet/dry, depth, feedback, frequency, waveform (0 triangle, 1 sine), delay, phase (0..4)
    {7, {0, 0, -99, 0, 0, 0, 0}, {100, 100, 99, 10, 1, 20, 4}, {50, 10, 25, 1.1, 1, 16, 3},
     {false, false, false, false, true, false, true}},
    // echo: wet/dry, feedback, left delay, right delay (ms), pan delay (0/1)
    {5, {0, 0, 1, 1, 0}, {100, 100, 2000, 2000, 1}, {50, 50, 500, 500, 0}, {false, false, false, false, true}},
    // flanger: as chorus, delay up to 4 ms
    {7, {0, 0, -99, 0, 0, 0, 0}, {100, 100, 99, 10, 1, 4, 4}, {50, 100, -50, 0.25, 1, 2, 2},
     {false, false, false, false, true, false, true}},
    // gargle: rate in Hz, wave shape (0 triangle, 1 square)
    {2, {1, 0}, {1000, 1}, {20, 0}, {true, true}},
    // parametric equaliser: centre, bandwidth in semitones, gain in dB
    {3, {80, 1, -15}, {16000, 36, 15}, {8000, 12, 0}, {false, false, false}},
    // reverb: input gain, reverb mix (dB), reverb time (ms), high-frequency time ratio
    {4, {-96, -96, 0.001, 0.001}, {0, 0, 3000, 0.999}, {0, 0, 1000, 0.001}, {false, false, false, false}},
    // compressor: gain, attack, release, threshold, ratio, pre-delay
    {6, {-60, 0.01, 50, -60, 1, 0}, {60, 500, 3000, 0, 100, 4}, {0, 10, 200, -20, 3, 4},
     {false, false, false, false, false, false}},
    // distortion: gain, edge, post-EQ centre, post-EQ bandwidth, pre-lowpass cutoff
    {5, {-60, 0, 100, 100, 100}, {0, 100, 8000, 8000, 8000}, {-18, 15, 2400, 2400, 8000},
     {false, false, false, false, false}},
    // I3DL2 reverb: room, room HF, rolloff, decay time, decay HF ratio, reflections, reflections
    // delay, reverb (its defaults only: the game cannot set them)
    {8, {-10000, -10000, 0, 0.1, 0.1, -10000, 0, -10000}, {0, 0, 10, 20, 2, 1000, 0.3, 2000},
     {-1000, -100, 0, 1.49, 0.83, -2602, 0.007, 200}, {true, true, false, false, false, true, false, true}},
};

REffectParameters Defaults(EEffectType type) {
  REffectParameters p;
  const REffectRange& r = kRanges[int(type)];
  for (int i = 0; i < r.count; ++i) p.v[size_t(i)] = r.defaults[size_t(i)];
  return p;
}

}  // namespace

const REffectRange& EffectRange(EEffectType type) { return kRanges[int(type)]; }

bool EffectParametersValid(EEffectType type, const REffectParameters& p) {
  const REffectRange& r = kRanges[int(type)];
  for (int i = 0; i < r.count; ++i) {
    double v = p.v[size_t(i)];
    if (!(v >= r.min[size_t(i)] && v <= r.max[size_t(i)])) return false;  // NaN too
  }
  return true;
}

CSoundLayer& SoundLayer() {
  static CSoundLayer layer;
  return layer;
}

bool CSoundLayer::Start(int count) {
  if (count <= 0) return false;
  // A layer started again (a second game in one process) lets its old sounds go first.
  if (device_) Shutdown();
  table_.clear();
  primary_ = player_ = -1;
  std::unique_ptr<ISoundDevice> device = factory_ ? factory_() : nullptr;
  if (!device || !device->Open()) {
    failed_ = true;
    lastFailure_ = std::chrono::steady_clock::now();
    // The game runs silently: the note is given once, however often the layer tries again.
    if (!noticed_ && notice_) notice_(kNoSoundDevice);
    noticed_ = true;
    return false;
  }
  device_ = std::move(device);
  failed_ = false;
  SetGlobalVolume(1);
  return true;
}

bool CSoundLayer::EnsureStarted() {
  if (device_) return true;
  if (failed_ && std::chrono::steady_clock::now() - lastFailure_ < std::chrono::seconds(5)) return false;
  return Start(1);
}

void CSoundLayer::Shutdown() {
  if (device_) {
    for (int h = 0; h < int(table_.size()); ++h)
      if (table_[size_t(h)].inuse) Free(h);
    device_->Close();
  }
  device_.reset();
  table_.clear();
  primary_ = player_ = -1;
  tempo_ = 1;
  globalVolume_ = 0;
  failed_ = false;
}

int CSoundLayer::Allocate(int kind) {
  if (!device_) kind = kSoundMultimedia;
  size_t i = 0;
  while (i < table_.size() && table_[i].inuse) ++i;
  if (i == table_.size()) table_.emplace_back();
  table_[i] = RSoundSample();
  table_[i].inuse = true;
  table_[i].kind = std::clamp(kind, 0, 3);
  return int(i);
}

static ESoundPath PathOf(int kind) {
  return kind == kSoundThreeD ? ESoundPath::kThreeD : kind == kSoundMultimedia ? ESoundPath::kPlayer
                                                                                : ESoundPath::kStereo;
}

int CSoundLayer::CreateFromMemory(const uint8_t* data, size_t size, int kind) {
  if (!EnsureStarted()) return -1;
  int h = Allocate(kind);
  RSoundSample& s = table_[size_t(h)];
  if (s.kind != kSoundMultimedia) s.sound = device_->CreateFromMemory(data, size, PathOf(s.kind));
  if (s.sound == 0) {
    s = RSoundSample();
    return -1;
  }
  return h;
}

int CSoundLayer::CreateFromFile(const std::string& file, int kind) {
  std::error_code ec;
  if (file.empty() || !std::filesystem::is_regular_file(file, ec)) return -1;
  EnsureStarted();
  int h = Allocate(kind);
  RSoundSample& s = table_[size_t(h)];
  if (s.kind != kSoundMultimedia) {
    std::vector<uint8_t> bytes;
    if (os::ReadFileBytes(file, bytes, uint64_t(1) << 28))
      s.sound = device_->CreateFromMemory(bytes.data(), bytes.size(), PathOf(s.kind));
    if (s.sound == 0) s.kind = kSoundMultimedia;
  }
  if (s.kind == kSoundMultimedia) {
    s.fname = file;
    if (device_) s.sound = device_->CreateFromFile(file);
  }
  return h;
}

void CSoundLayer::Free(int h) {
  if (!Valid(h)) return;
  RSoundSample& s = table_[size_t(h)];
  if (device_ && s.sound) {
    device_->Stop(s.sound);
    device_->Free(s.sound);
  }
  if (primary_ == h) primary_ = -1;
  if (player_ == h) player_ = -1;
  s = RSoundSample();
}

void CSoundLayer::Play(int h, bool loop) {
  if (!device_ || !Valid(h)) return;
  RSoundSample& s = table_[size_t(h)];
  if (s.kind == kSoundMultimedia) {
    if (s.fname.size() >= 127) {
      ShowMessage(kFileNameTooLong);
      return;
    }
    std::error_code ec;
    if (!std::filesystem::exists(s.fname, ec)) return;
    // One file at a time: whatever the player holds stops.
    if (player_ >= 0 && Valid(player_) && table_[size_t(player_)].sound) device_->Stop(table_[size_t(player_)].sound);
    player_ = h;
    if (s.sound) device_->Play(s.sound, loop);
    return;
  }
  if (s.kind == kSoundBackground) {
    // The background music replaces the one playing (also itself, from its beginning).
    if (primary_ >= 0 && Valid(primary_)) device_->Stop(table_[size_t(primary_)].sound);
    primary_ = h;
  }
  device_->Play(s.sound, loop);
}

void CSoundLayer::Stop(int h) {
  if (!device_ || !Valid(h)) return;
  RSoundSample& s = table_[size_t(h)];
  if (s.kind == kSoundMultimedia) {
    if (player_ != h) return;
    if (s.sound) device_->Stop(s.sound);
    return;
  }
  device_->Stop(s.sound);
}

void CSoundLayer::StopAll() {
  for (int h = 0; h < int(table_.size()); ++h) Stop(h);
}

bool CSoundLayer::IsPlaying(int h) {
  if (!device_ || !Valid(h)) return false;
  const RSoundSample& s = table_[size_t(h)];
  if (s.kind == kSoundMultimedia && player_ != h) return false;
  return s.sound && device_->IsPlaying(s.sound);
}

RSoundSample* CSoundLayer::Leveled(int h) {
  if (!Valid(h) || table_[size_t(h)].kind == kSoundMultimedia || !EnsureStarted()) return nullptr;
  return &table_[size_t(h)];
}

void CSoundLayer::SetVolume(int h, double value, int64_t fadeMs) {
  RSoundSample* s = Leveled(h);
  if (!s) return;
  // Hundredths of a decibel: 1 is 0, 0 is -9600; not clamped.
  s->volume = int(RoundToInt64(std::clamp(9600 * value, -1e9, 1e9)) - 9600);
  device_->SetVolume(s->sound, s->volume, int(std::clamp<int64_t>(fadeMs, 0, INT32_MAX)));
}

void CSoundLayer::SetPan(int h, double value) {
  RSoundSample* s = Leveled(h);
  if (!s) return;
  const int64_t pan = RoundToInt64(value * 10000);
  if (pan < -10000 || pan > 10000) return;  // outside the device's range: refused
  s->pan = int(pan);
  device_->SetPan(s->sound, s->pan);
}

void CSoundLayer::SetGlobalVolume(double value) {
  if (!EnsureStarted()) return;
  globalVolume_ = int(std::clamp<int64_t>(RoundToInt64(11000 * value - 10000), -10000, 1000));
  device_->SetMasterVolume(globalVolume_);
}

void CSoundLayer::SetTempo(double factor) {
  if (!EnsureStarted()) return;
  tempo_ = std::isnan(factor) ? 0.01 : std::clamp(factor, 0.01, 100.0);
  device_->SetTempo(tempo_);
}

void CSoundLayer::SetSearchFolder(const std::string& folder) {
  if (!EnsureStarted()) return;
  // Decoded sounds refer to no other files; the folder is kept for what asks for it.
  searchFolder_ = folder;
}

void CSoundLayer::SetEffects(int h, int bits) {
  RSoundSample* s = Leveled(h);
  if (!s) return;
  s->effects = bits & 511;
  for (int t = 0; t < kEffectTypeCount; ++t)
    s->parameters[size_t(t)] = (s->effects & kEffectChainBits[size_t(t)]) ? Defaults(EEffectType(t)) : REffectParameters();
  device_->SetEffects(s->sound, s->effects);
}

void CSoundLayer::SetEffectParameters(int h, EEffectType type, const REffectParameters& p) {
  RSoundSample* s = Leveled(h);
  if (!s || !(s->effects & kEffectChainBits[size_t(type)])) return;
  REffectParameters q = p;
  const REffectRange& r = EffectRange(type);
  for (int i = 0; i < r.count; ++i)
    if (r.whole[size_t(i)]) q.v[size_t(i)] = double(RoundToInt64(q.v[size_t(i)]));
  if (!EffectParametersValid(type, q)) return;
  s->parameters[size_t(type)] = q;
  device_->SetEffectParameters(s->sound, type, q);
}

void CSoundLayer::Send3D(RSoundSample& s) const { device_->Set3D(s.sound, s.threeD); }

void CSoundLayer::Set3DPosition(int h, double x, double y, double z) {
  RSoundSample* s = Leveled(h);
  if (!s || s->kind != kSoundThreeD) return;
  s->threeD.position[0] = x, s->threeD.position[1] = y, s->threeD.position[2] = z;
  Send3D(*s);
}

void CSoundLayer::Set3DVelocity(int h, double x, double y, double z) {
  RSoundSample* s = Leveled(h);
  if (!s || s->kind != kSoundThreeD) return;
  s->threeD.velocity[0] = x, s->threeD.velocity[1] = y, s->threeD.velocity[2] = z;
  Send3D(*s);
}

void CSoundLayer::Set3DDistance(int h, double minDistance, double maxDistance) {
  RSoundSample* s = Leveled(h);
  if (!s || s->kind != kSoundThreeD) return;
  s->threeD.minDistance = std::max(0.0, minDistance);
  s->threeD.maxDistance = maxDistance;
  Send3D(*s);
}

void CSoundLayer::Set3DCone(int h, double x, double y, double z, double angleIn, double angleOut,
                            double volumeOutside) {
  RSoundSample* s = Leveled(h);
  if (!s || s->kind != kSoundThreeD) return;
  RSound3D& t = s->threeD;
  t.coneOrientation[0] = x, t.coneOrientation[1] = y, t.coneOrientation[2] = z;
  t.coneInside = int(std::clamp<int64_t>(RoundToInt64(angleIn), INT32_MIN, INT32_MAX));
  t.coneOutside = int(std::clamp<int64_t>(RoundToInt64(angleOut), INT32_MIN, INT32_MAX));
  t.coneOutsideVolume = int(std::clamp<int64_t>(RoundToInt64(10000 * volumeOutside - 10000), INT32_MIN, INT32_MAX));
  Send3D(*s);
}

}  // namespace kestro
