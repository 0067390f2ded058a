#include "platform/al/AlSoundDevice.h"

#define AL_ALEXT_PROTOTYPES
#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>
#include <AL/efx.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/al/SampleSplit.h"
#include "platform/al/SoundDecoder.h"
#include "sound/SoundLayer.h"

namespace kestro::platform {

namespace {

using Clock = std::chrono::steady_clock;

// Sounds longer than this stream instead of being decoded whole.
constexpr int64_t kStreamSeconds = 30;
// The longest sound decoded whole, whatever its rate.
constexpr int64_t kMaxDecodedFrames = kStreamSeconds * 384000;
// A stream's queue: buffers of kChunkFrames frames, kQueueLength of them per source.
constexpr int kChunkFrames = 4096;
constexpr int kQueueLength = 4;

double Linear(double hundredthsDb) { return std::pow(10.0, hundredthsDb / 2000.0); }

// A stream voice's state. The pump fills its queues; the game thread only stops it. Its own
// mutex guards the decoder and the queues, so the game thread never waits for the device lock
// while a chunk is being decoded, only for the chunk of the one stream it stops.
struct RStream {
  std::mutex m;
  std::shared_ptr<const std::vector<uint8_t>> bytes;
  std::string file;
  bool midi = false;
  bool loop = false;
  double tempo = 1;
  std::unique_ptr<IPcmStream> pcm;
  bool opened = false;
  bool ended = false;     // the decoder has nothing more
  bool stopped = false;   // the game thread let it go
  std::atomic<bool> finished{false};  // nothing more will sound
  ALuint src[2] = {0, 0};
  int nsrc = 0;
  bool mono = false;      // 3-D: one mono source
  std::vector<ALuint> freeBuffers[2];
  std::vector<ALuint> allBuffers;
  std::vector<int16_t> scratch;
  std::vector<int16_t> channel;
};

struct RVoice {
  ALuint src[2] = {0, 0};
  int nsrc = 0;
  std::shared_ptr<RStream> stream;
};

struct REntry {
  ESoundPath path = ESoundPath::kStereo;
  bool stream = false;
  bool midi = false;
  ALuint buf[2] = {0, 0};  // stereo path: left and right (one buffer twice for mono); 3-D: buf[0]
  std::shared_ptr<const std::vector<uint8_t>> bytes;
  std::string file;
  int volume = 0;
  int pan = 0;
  // A fade runs from fadeFrom to fadeTo over fadeMs milliseconds of the device's clock from fadeStart;
  // level is what the voices play at now.
  int fadeFrom = 0, fadeTo = 0, fadeMs = 0;
  double fadeStart = 0;
  int level = 0;
  int effects = 0;
  ALuint slots[kEffectTypeCount] = {};
  ALuint efx[kEffectTypeCount] = {};
  RSound3D threeD;
  std::vector<RVoice> voices;
};

// The effects that transform the whole signal: while one is installed the dry path is muted.
bool Insert(EEffectType t) {
  return t == EEffectType::kGargle || t == EEffectType::kEqualizer || t == EEffectType::kCompressor ||
         t == EEffectType::kDistortion;
}

float Clampf(double v, double lo, double hi) { return float(std::clamp(std::isnan(v) ? lo : v, lo, hi)); }

// The EFX effect standing for a standard effect, with its parameters; returns the slot's gain.
// EFX has no gargle and no parametric compressor: the gargle is the ring modulator (the nearest
// modulation effect), the compressor is EFX's on/off compressor with the game's gain as its level.
float ConfigureEffect(ALuint e, EEffectType type, const REffectParameters& p, bool eaxReverb) {
  const auto& v = p.v;
  switch (type) {
    case EEffectType::kChorus:
    case EEffectType::kFlanger: {
      const bool chorus = type == EEffectType::kChorus;
      alEffecti(e, AL_EFFECT_TYPE, chorus ? AL_EFFECT_CHORUS : AL_EFFECT_FLANGER);
      // The flanger's parameters have the chorus's numbers. Waveform 0 triangle, 1 sine; phase
      // 0..4 is -180..180 degrees in steps of 90.
      static_assert(AL_CHORUS_WAVEFORM == AL_FLANGER_WAVEFORM && AL_CHORUS_DELAY == AL_FLANGER_DELAY);
      const int wave = v[4] >= 0.5 ? 0 : 1;
      const int phase = int(std::lround((std::clamp(v[6], 0.0, 4.0) - 2) * 90));
      alEffecti(e, AL_CHORUS_WAVEFORM, wave);
      alEffecti(e, AL_CHORUS_PHASE, phase);
      alEffectf(e, AL_CHORUS_RATE, Clampf(v[3], 0, 10));
      alEffectf(e, AL_CHORUS_DEPTH, Clampf(v[1] / 100, 0, 1));
      alEffectf(e, AL_CHORUS_FEEDBACK, Clampf(v[2] / 100, -1, 1));
      alEffectf(e, AL_CHORUS_DELAY, Clampf(v[5] / 1000, 0, chorus ? 0.016 : 0.004));
      return Clampf(v[0] / 100, 0, 1);
    }
    case EEffectType::kEcho:
      // EFX echoes reach 207 ms (left) and 404 ms (right): longer delays are cut there.
      alEffecti(e, AL_EFFECT_TYPE, AL_EFFECT_ECHO);
      alEffectf(e, AL_ECHO_DELAY, Clampf(v[2] / 1000, 0, 0.207));
      alEffectf(e, AL_ECHO_LRDELAY, Clampf(v[3] / 1000, 0, 0.404));
      alEffectf(e, AL_ECHO_FEEDBACK, Clampf(v[1] / 100, 0, 0.99));
      alEffectf(e, AL_ECHO_SPREAD, v[4] >= 0.5 ? -1.0f : 0.0f);
      return Clampf(v[0] / 100, 0, 1);
    case EEffectType::kGargle:
      alEffecti(e, AL_EFFECT_TYPE, AL_EFFECT_RING_MODULATOR);
      alEffectf(e, AL_RING_MODULATOR_FREQUENCY, Clampf(v[0], 0, 8000));
      alEffectf(e, AL_RING_MODULATOR_HIGHPASS_CUTOFF, 0);
      alEffecti(e, AL_RING_MODULATOR_WAVEFORM, v[1] >= 0.5 ? AL_RING_MODULATOR_SQUARE : AL_RING_MODULATOR_SINUSOID);
      return 1;
    case EEffectType::kEqualizer: {
      // One band of EFX's four-band equaliser, the one whose range holds the centre.
      alEffecti(e, AL_EFFECT_TYPE, AL_EFFECT_EQUALIZER);
      const float gain = Clampf(std::pow(10.0, v[2] / 20), 0.126, 7.943);
      const float width = Clampf(v[1] / 12, 0.01, 1);
      const double c = v[0];
      if (c < 200) {
        alEffectf(e, AL_EQUALIZER_LOW_CUTOFF, Clampf(c, 50, 800));
        alEffectf(e, AL_EQUALIZER_LOW_GAIN, gain);
      } else if (c <= 3000) {
        alEffectf(e, AL_EQUALIZER_MID1_CENTER, Clampf(c, 200, 3000));
        alEffectf(e, AL_EQUALIZER_MID1_WIDTH, width);
        alEffectf(e, AL_EQUALIZER_MID1_GAIN, gain);
      } else if (c <= 8000) {
        alEffectf(e, AL_EQUALIZER_MID2_CENTER, Clampf(c, 1000, 8000));
        alEffectf(e, AL_EQUALIZER_MID2_WIDTH, width);
        alEffectf(e, AL_EQUALIZER_MID2_GAIN, gain);
      } else {
        alEffectf(e, AL_EQUALIZER_HIGH_CUTOFF, Clampf(c, 4000, 16000));
        alEffectf(e, AL_EQUALIZER_HIGH_GAIN, gain);
      }
      return 1;
    }
    case EEffectType::kReverb:
      alEffecti(e, AL_EFFECT_TYPE, AL_EFFECT_REVERB);
      alEffectf(e, AL_REVERB_DECAY_TIME, Clampf(v[2] / 1000, 0.1, 20));
      alEffectf(e, AL_REVERB_DECAY_HFRATIO, Clampf(v[3] * 2, 0.1, 2));
      alEffectf(e, AL_REVERB_GAIN, Clampf(std::pow(10.0, (v[0] + v[1]) / 20), 0, 1));
      return 1;
    case EEffectType::kCompressor:
      alEffecti(e, AL_EFFECT_TYPE, AL_EFFECT_COMPRESSOR);
      alEffecti(e, AL_COMPRESSOR_ONOFF, 1);
      return Clampf(std::pow(10.0, v[0] / 20), 0, 1);
    case EEffectType::kDistortion:
      alEffecti(e, AL_EFFECT_TYPE, AL_EFFECT_DISTORTION);
      alEffectf(e, AL_DISTORTION_GAIN, Clampf(std::pow(10.0, v[0] / 20), 0.01, 1));
      alEffectf(e, AL_DISTORTION_EDGE, Clampf(v[1] / 100, 0, 1));
      alEffectf(e, AL_DISTORTION_EQCENTER, Clampf(v[2], 80, 24000));
      alEffectf(e, AL_DISTORTION_EQBANDWIDTH, Clampf(v[3], 80, 24000));
      alEffectf(e, AL_DISTORTION_LOWPASS_CUTOFF, Clampf(v[4], 80, 24000));
      return 1;
    case EEffectType::kI3DL2Reverb:
      // The environmental reverb with its own defaults.
      alEffecti(e, AL_EFFECT_TYPE, eaxReverb ? AL_EFFECT_EAXREVERB : AL_EFFECT_REVERB);
      return 1;
  }
  return 1;
}

// Memory for splitting samples, kept from one sound to the next: a new block for every sound would be
// returned to the system and faulted in again each time.
struct RScratch {
  std::unique_ptr<uint8_t[]> bytes;
  size_t size = 0;
  uint8_t* Get(size_t n) {
    if (n > size) bytes = std::make_unique_for_overwrite<uint8_t[]>(size = n);
    return bytes.get();
  }
  // A block kept for a long sound would stay for the whole run.
  void Trim() {
    if (size > (size_t(4) << 20)) bytes.reset(), size = 0;
  }
};

// OpenAL Soft's mapped buffers (AL_SOFTX_map_buffer, which it calls experimental; not in its headers).
using BufferStorageFn = void(AL_APIENTRY*)(ALuint, ALenum, const ALvoid*, ALsizei, ALsizei, unsigned);
using MapBufferFn = void*(AL_APIENTRY*)(ALuint, ALsizei, ALsizei, unsigned);
using UnmapBufferFn = void(AL_APIENTRY*)(ALuint);
constexpr unsigned kMapWrite = 0x2;  // AL_MAP_WRITE_BIT_SOFT

// Where the samples of new buffers are written. A sound whose samples must be rearranged first (split
// into sides, mixed down, converted) is written straight into the storage of its buffers where the
// device maps them: one pass over the samples and no copy by the device, as a sound that is only
// copied. Elsewhere, or when the device refuses, through the scratch block and the device's copy.
struct RBufferWriter {
  BufferStorageFn storage = nullptr;
  MapBufferFn map = nullptr;
  UnmapBufferFn unmap = nullptr;
  RScratch scratch;

  void Find(bool allowed) {
    storage = nullptr, map = nullptr, unmap = nullptr;
    if (!allowed || !alIsExtensionPresent("AL_SOFTX_map_buffer")) return;
    storage = reinterpret_cast<BufferStorageFn>(alGetProcAddress("alBufferStorageSOFT"));
    map = reinterpret_cast<MapBufferFn>(alGetProcAddress("alMapBufferSOFT"));
    unmap = reinterpret_cast<UnmapBufferFn>(alGetProcAddress("alUnmapBufferSOFT"));
    if (!storage || !map || !unmap) storage = nullptr, map = nullptr, unmap = nullptr;
  }

  // One new buffer with a copy of samples that are ready as they are: the device's copy is the only one.
  bool Copy(ALuint* buf, ALenum format, const void* samples, size_t bytes, int rate) {
    buf[0] = buf[1] = 0;
    alGetError();
    alGenBuffers(1, buf);
    if (alGetError() != AL_NO_ERROR) {
      buf[0] = 0;
      return false;
    }
    alBufferData(buf[0], format, samples, ALsizei(bytes), rate);
    if (alGetError() == AL_NO_ERROR) return true;
    alDeleteBuffers(1, buf);
    buf[0] = 0;
    alGetError();
    return false;
  }

  // `count` (1 or 2) new buffers of `bytes` bytes each, whose samples fill(first, second) writes (second
  // is null for one buffer). False, with no buffers, when the device refuses them.
  template <typename Fill>
  bool Write(ALuint* buf, int count, ALenum format, size_t bytes, int rate, Fill fill) {
    buf[0] = buf[1] = 0;
    alGetError();
    alGenBuffers(count, buf);
    if (alGetError() != AL_NO_ERROR) {
      buf[0] = buf[1] = 0;
      return false;
    }
    uint8_t* out[2] = {nullptr, nullptr};
    bool mapped = false;
    if (map) {
      for (int i = 0; i < count; ++i) storage(buf[i], format, nullptr, ALsizei(bytes), rate, kMapWrite);
      if (alGetError() == AL_NO_ERROR)
        for (int i = 0; i < count; ++i) out[i] = static_cast<uint8_t*>(map(buf[i], 0, ALsizei(bytes), kMapWrite));
      mapped = alGetError() == AL_NO_ERROR && out[0] && (count == 1 || out[1]);
      if (!mapped) {
        for (int i = 0; i < count; ++i)
          if (out[i]) unmap(buf[i]);
        alGetError();
      }
    }
    if (mapped) {
      fill(out[0], out[1]);
      for (int i = 0; i < count; ++i) unmap(buf[i]);
    } else {
      uint8_t* block = scratch.Get(bytes * size_t(count));
      fill(block, count == 2 ? block + bytes : nullptr);
      for (int i = 0; i < count; ++i) alBufferData(buf[i], format, block + bytes * size_t(i), ALsizei(bytes), rate);
      scratch.Trim();
    }
    if (alGetError() == AL_NO_ERROR) return true;
    alDeleteBuffers(count, buf);
    buf[0] = buf[1] = 0;
    alGetError();
    return false;
  }
};

}  // namespace

struct AlSoundDevice::RImpl {
  ALCdevice* device = nullptr;
  ALCcontext* context = nullptr;
  bool eaxReverb = false;
  bool float32 = false;  // buffers take 32-bit float samples
  int maxSends = 0;
  ALuint muteFilter = 0;
  std::mutex mutex;  // everything below; the pump takes it only briefly
  RBufferWriter writer;
  std::unordered_map<uint32_t, REntry> sounds;
  uint32_t next = 1;
  std::vector<ALuint> freeSources;
  std::vector<std::shared_ptr<RStream>> streams;
  int master = 0;
  double tempo = 1;
  std::unique_ptr<CMidiSynth> synth;
  std::mutex synthMutex;
  std::thread pump;
  std::mutex pumpMutex;
  std::condition_variable pumpWake;
  bool quit = false;
  // The device's clock: the output rendered so far on a loopback device (which renders only when
  // asked, faster or slower than time passes), the time since opening on an output device.
  bool loopback = false;
  int rate = 44100;
  int64_t rendered = 0;
  Clock::time_point opened;
  double NowMs() const {
    if (loopback) return double(rendered) * 1000.0 / rate;
    return std::chrono::duration<double, std::milli>(Clock::now() - opened).count();
  }
};

AlSoundDevice::AlSoundDevice(RAlDeviceOptions options) : options_(options), impl_(std::make_unique<RImpl>()) {}

AlSoundDevice::~AlSoundDevice() { Close(); }

std::unique_ptr<ISoundDevice> MakeSoundDevice() { return std::make_unique<AlSoundDevice>(); }

bool AlSoundDevice::Open() {
  RImpl& d = *impl_;
  if (d.context) return true;
  ALCint attrs[16];
  int n = 0;
  if (options_.loopback) {
    if (!alcIsExtensionPresent(nullptr, "ALC_SOFT_loopback")) return false;
    d.device = alcLoopbackOpenDeviceSOFT(nullptr);
    attrs[n++] = ALC_FORMAT_CHANNELS_SOFT, attrs[n++] = ALC_STEREO_SOFT;
    attrs[n++] = ALC_FORMAT_TYPE_SOFT, attrs[n++] = ALC_SHORT_SOFT;
  } else {
    d.device = alcOpenDevice(nullptr);
  }
  if (!d.device) return false;
  attrs[n++] = ALC_FREQUENCY, attrs[n++] = options_.rate;
  attrs[n++] = ALC_MAX_AUXILIARY_SENDS, attrs[n++] = kEffectTypeCount;
  attrs[n++] = 0;
  d.context = alcCreateContext(d.device, attrs);
  if (!d.context || !alcMakeContextCurrent(d.context)) {
    if (d.context) alcDestroyContext(d.context);
    alcCloseDevice(d.device);
    d.context = nullptr;
    d.device = nullptr;
    return false;
  }
  if (alcIsExtensionPresent(d.device, "ALC_EXT_EFX")) {
    alcGetIntegerv(d.device, ALC_MAX_AUXILIARY_SENDS, 1, &d.maxSends);
    alGetError();
    alGenFilters(1, &d.muteFilter);
    alFilteri(d.muteFilter, AL_FILTER_TYPE, AL_FILTER_LOWPASS);
    alFilterf(d.muteFilter, AL_LOWPASS_GAIN, 0);
    if (alGetError() != AL_NO_ERROR) d.muteFilter = 0;
    d.eaxReverb = alGetEnumValue("AL_EFFECT_EAXREVERB") != 0;
  }
  // Sources of the stereo path sit at the listener's sides; 3-D sources use the inverse distance
  // rolloff clamped between their minimum and maximum distance.
  alDistanceModel(AL_INVERSE_DISTANCE_CLAMPED);
  d.loopback = options_.loopback;
  d.rate = options_.rate;
  d.rendered = 0;
  d.opened = Clock::now();
  d.float32 = alIsExtensionPresent("AL_EXT_FLOAT32");
  d.writer.Find(options_.mapBuffers);
  d.synth = std::make_unique<CMidiSynth>(options_.rate);
  d.quit = false;
  if (!options_.loopback) {
    d.pump = std::thread([this] {
      std::unique_lock<std::mutex> lock(impl_->pumpMutex);
      while (!impl_->quit) {
        lock.unlock();
        Pump();
        lock.lock();
        impl_->pumpWake.wait_for(lock, std::chrono::milliseconds(10));
      }
    });
  }
  return true;
}

void AlSoundDevice::Close() {
  RImpl& d = *impl_;
  if (!d.context) return;
  {
    std::lock_guard<std::mutex> lock(d.pumpMutex);
    d.quit = true;
  }
  d.pumpWake.notify_all();
  if (d.pump.joinable()) d.pump.join();
  std::vector<uint32_t> ids;
  {
    std::lock_guard<std::mutex> lock(d.mutex);
    for (auto& [id, e] : d.sounds) ids.push_back(id);
  }
  for (uint32_t id : ids) Free(id);
  std::lock_guard<std::mutex> lock(d.mutex);
  if (!d.freeSources.empty()) alDeleteSources(ALsizei(d.freeSources.size()), d.freeSources.data());
  d.freeSources.clear();
  if (d.muteFilter) alDeleteFilters(1, &d.muteFilter);
  d.muteFilter = 0;
  d.synth.reset();
  alcMakeContextCurrent(nullptr);
  alcDestroyContext(d.context);
  alcCloseDevice(d.device);
  d.context = nullptr;
  d.device = nullptr;
}

// ---- helpers, called with the device lock held ----

namespace {

// The level at a time of the device's clock: evenly in decibels along a fade, its target after it.
int FadeLevel(const REntry& e, double nowMs) {
  if (e.fadeMs <= 0) return e.volume;
  const double t = (nowMs - e.fadeStart) / e.fadeMs;
  if (t >= 1) return e.fadeTo;
  return int(std::lround(e.fadeFrom + (e.fadeTo - e.fadeFrom) * std::max(t, 0.0)));
}

void ApplyGains(const REntry& e, const RVoice& v, int master) {
  if (e.path == ESoundPath::kPlayer) {
    for (int i = 0; i < v.nsrc; ++i) alSourcef(v.src[i], AL_GAIN, 1);
    return;
  }
  // Master volume 1 (+10 dB) plays the sounds as they are; lower values attenuate from there.
  const double level = Linear(std::min(e.level, 0)) * Linear(master - 1000);
  if (e.path == ESoundPath::kThreeD) {
    alSourcef(v.src[0], AL_GAIN, float(level));
    return;
  }
  // Pan takes hundredths of a decibel from the other side.
  alSourcef(v.src[0], AL_GAIN, float(level * Linear(-std::max(e.pan, 0))));
  alSourcef(v.src[1], AL_GAIN, float(level * Linear(std::min(e.pan, 0))));
}

void Apply3D(const REntry& e, ALuint s) {
  const RSound3D& t = e.threeD;
  // The game's z points away from the listener; OpenAL's listener looks down -z.
  alSource3f(s, AL_POSITION, float(t.position[0]), float(t.position[1]), float(-t.position[2]));
  alSource3f(s, AL_VELOCITY, float(t.velocity[0]), float(t.velocity[1]), float(-t.velocity[2]));
  alSourcef(s, AL_REFERENCE_DISTANCE, float(t.minDistance));
  alSourcef(s, AL_MAX_DISTANCE, float(t.maxDistance));
  alSourcef(s, AL_ROLLOFF_FACTOR, 1);
  alSource3f(s, AL_DIRECTION, float(t.coneOrientation[0]), float(t.coneOrientation[1]), float(-t.coneOrientation[2]));
  alSourcef(s, AL_CONE_INNER_ANGLE, float(std::clamp(t.coneInside, 0, 360)));
  alSourcef(s, AL_CONE_OUTER_ANGLE, float(std::clamp(t.coneOutside, 0, 360)));
  alSourcef(s, AL_CONE_OUTER_GAIN, float(std::clamp(Linear(t.coneOutsideVolume), 0.0, 1.0)));
  alGetError();  // values OpenAL refuses are ignored
}

}  // namespace

// The sends and the dry path of one source for the sound's effects.
static void ApplyEffects(const REntry& e, ALuint s, int maxSends, ALuint muteFilter) {
  if (maxSends <= 0) return;
  int send = 0;
  bool insert = false;
  for (int t = 0; t < kEffectTypeCount; ++t) {
    if (!e.slots[t] || send >= maxSends) continue;
    alSource3i(s, AL_AUXILIARY_SEND_FILTER, ALint(e.slots[t]), send++, AL_FILTER_NULL);
    insert |= Insert(EEffectType(t));
  }
  for (; send < maxSends; ++send) alSource3i(s, AL_AUXILIARY_SEND_FILTER, AL_EFFECTSLOT_NULL, send, AL_FILTER_NULL);
  alSourcei(s, AL_DIRECT_FILTER, insert && muteFilter ? ALint(muteFilter) : AL_FILTER_NULL);
  alGetError();
}

static ALuint AcquireSource(std::vector<ALuint>& pool) {
  if (!pool.empty()) {
    ALuint s = pool.back();
    pool.pop_back();
    return s;
  }
  alGetError();
  ALuint s = 0;
  alGenSources(1, &s);
  return alGetError() == AL_NO_ERROR ? s : 0;
}

static void ReleaseSources(std::vector<ALuint>& pool, ALuint* src, int n) {
  alSourceStopv(n, src);
  for (int i = 0; i < n; ++i) {
    alSourcei(src[i], AL_BUFFER, 0);
    pool.push_back(src[i]);
  }
}

static void EndStream(RStream& s, std::vector<ALuint>& pool) {
  std::lock_guard<std::mutex> lock(s.m);
  s.stopped = true;
  s.finished = true;
  ReleaseSources(pool, s.src, s.nsrc);
  if (!s.allBuffers.empty()) alDeleteBuffers(ALsizei(s.allBuffers.size()), s.allBuffers.data());
  s.allBuffers.clear();
  for (auto& list : s.freeBuffers) list.clear();
  s.pcm.reset();
}

static bool VoicePlaying(const RVoice& v) {
  if (v.stream) return !v.stream->finished;
  for (int i = 0; i < v.nsrc; ++i) {
    ALint state = AL_STOPPED;
    alGetSourcei(v.src[i], AL_SOURCE_STATE, &state);
    if (state == AL_PLAYING) return true;
  }
  return false;
}

namespace {

void DropVoice(std::vector<ALuint>& pool, std::vector<std::shared_ptr<RStream>>& streams, RVoice& v) {
  if (v.stream) {
    EndStream(*v.stream, pool);
    streams.erase(std::remove(streams.begin(), streams.end(), v.stream), streams.end());
  } else {
    ReleaseSources(pool, v.src, v.nsrc);
  }
}

// The buffers of plain WAV samples: mono samples go to the device straight from the game's bytes (the
// device's copy is the only one); two channels are split for the two sides, or mixed down for a 3-D
// source. False when the device refuses them.
bool BufferWav(const RWavData& w, bool threeD, ALuint* buf, RBufferWriter& writer) {
  const ALenum format = w.sample == EWavSample::kU8    ? AL_FORMAT_MONO8
                        : w.sample == EWavSample::kS16 ? AL_FORMAT_MONO16
                                                       : AL_FORMAT_MONO_FLOAT32;
  const size_t n = size_t(w.frames);
  const size_t bytes = n * size_t(w.SampleBytes());
  bool ok;
  if (w.channels == 1) {
    ok = writer.Copy(buf, format, w.samples, bytes, w.rate);
  } else if (threeD) {
    ok = writer.Write(buf, 1, format, bytes, w.rate,
                      [&](uint8_t* out, uint8_t*) { MixDownFrames(w.sample, w.samples, n, out); });
  } else {
    ok = writer.Write(buf, 2, format, bytes, w.rate,
                      [&](uint8_t* left, uint8_t* right) { SplitFrames(w.sample, w.samples, n, left, right); });
  }
  if (ok && buf[1] == 0) buf[1] = buf[0];
  return ok;
}

}  // namespace

uint32_t AlSoundDevice::CreateFromMemory(const uint8_t* data, size_t size, ESoundPath path) {
  RImpl& d = *impl_;
  if (!d.context || !data || size == 0) return 0;
  REntry e;
  e.path = path;
  // Plain WAV samples need no decoding; anything else, and sounds long enough to stream, go through
  // the decoders.
  RWavData wav;
  const EWavCheck check = ReadPlainWav(data, size, wav);
  if (check == EWavCheck::kDamaged) return 0;
  if (check == EWavCheck::kPlain && wav.frames <= kStreamSeconds * wav.rate &&
      (wav.sample != EWavSample::kF32 || d.float32)) {
    std::lock_guard<std::mutex> lock(d.mutex);
    if (!BufferWav(wav, path == ESoundPath::kThreeD, e.buf, d.writer)) return 0;
    const uint32_t id = d.next++;
    d.sounds.emplace(id, std::move(e));
    return id;
  }
  RPcm pcm;
  bool longSound = false;
  const bool midi = size >= 4 && std::memcmp(data, "MThd", 4) == 0;
  if (midi && !MidiFileValid(data, size)) return 0;
  if (midi || !DecodeSound(data, size, pcm, kMaxDecodedFrames, kStreamSeconds, &longSound)) {
    if (!midi && !longSound) return 0;
    // Music and long sounds stream from the bytes kept in memory; a long sound's data must
    // open as a stream too.
    e.bytes = std::make_shared<const std::vector<uint8_t>>(data, data + size);
    if (longSound && !OpenSampledStream(e.bytes)) return 0;
    e.stream = true;
    e.midi = midi;
  } else {
    const size_t n = size_t(pcm.Frames());
    const int ch = pcm.channels;
    const bool stereo = path != ESoundPath::kThreeD && ch >= 2;
    std::lock_guard<std::mutex> lock(d.mutex);
    bool ok;
    if (ch == 1) {
      // Mono data goes to the device as decoded.
      ok = d.writer.Copy(e.buf, AL_FORMAT_MONO16, pcm.samples.data(), n * 2, pcm.rate);
    } else {
      // Other data is split into the two sides or mixed down for one 3-D source.
      ok = d.writer.Write(e.buf, stereo ? 2 : 1, AL_FORMAT_MONO16, n * 2, pcm.rate, [&](uint8_t* lb, uint8_t* rb) {
        int16_t* left = reinterpret_cast<int16_t*>(lb);
        int16_t* right = reinterpret_cast<int16_t*>(rb);
        for (size_t f = 0; f < n; ++f) {
          const int16_t* s = &pcm.samples[f * size_t(ch)];
          if (stereo) {
            // The first two channels; further ones are folded into both sides.
            int32_t l = s[0], r = s[1];
            for (int c = 2; c < ch; ++c) l += s[c] / 2, r += s[c] / 2;
            left[f] = int16_t(std::clamp(l, -32768, 32767));
            right[f] = int16_t(std::clamp(r, -32768, 32767));
          } else {
            int32_t sum = 0;
            for (int c = 0; c < ch; ++c) sum += s[c];
            left[f] = int16_t(sum / ch);
          }
        }
      });
    }
    if (!ok) return 0;
    if (!stereo) e.buf[1] = e.buf[0];
    const uint32_t id = d.next++;
    d.sounds.emplace(id, std::move(e));
    return id;
  }
  std::lock_guard<std::mutex> lock(d.mutex);
  const uint32_t id = d.next++;
  d.sounds.emplace(id, std::move(e));
  return id;
}

uint32_t AlSoundDevice::CreateFromFile(const std::string& file) {
  RImpl& d = *impl_;
  if (!d.context) return 0;
  REntry e;
  e.path = ESoundPath::kPlayer;
  e.stream = true;
  FILE* f = std::fopen(file.c_str(), "rb");
  if (!f) return 0;
  // The start of the file: its kind, and a WAV file's header chunks.
  std::vector<uint8_t> head(65536);
  head.resize(std::fread(head.data(), 1, head.size(), f));
  std::error_code ec;
  const uint64_t length = std::filesystem::file_size(file, ec);
  std::fclose(f);
  const char* magic = reinterpret_cast<const char*>(head.data());
  // A WAV header that cannot be right does not play from a file either.
  RWavData wav;
  if (!ec && ReadPlainWav(head.data(), head.size(), wav, length) == EWavCheck::kDamaged) return 0;
  if (head.size() >= 4 && std::equal(magic, magic + 4, "MThd")) {
    std::vector<uint8_t> bytes;
    FILE* in = std::fopen(file.c_str(), "rb");
    if (!in) return 0;
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, in)) > 0 && bytes.size() < (size_t(1) << 26)) bytes.insert(bytes.end(), buf, buf + n);
    std::fclose(in);
    if (!MidiFileValid(bytes.data(), bytes.size())) return 0;
    e.midi = true;
    e.bytes = std::make_shared<const std::vector<uint8_t>>(std::move(bytes));
  } else {
    if (!OpenSampledFile(file)) return 0;
    e.file = file;
  }
  std::lock_guard<std::mutex> lock(d.mutex);
  const uint32_t id = d.next++;
  d.sounds.emplace(id, std::move(e));
  return id;
}

void AlSoundDevice::Free(uint32_t sound) {
  RImpl& d = *impl_;
  std::lock_guard<std::mutex> lock(d.mutex);
  auto it = d.sounds.find(sound);
  if (it == d.sounds.end()) return;
  REntry& e = it->second;
  for (RVoice& v : e.voices) DropVoice(d.freeSources, d.streams, v);
  if (e.buf[0]) alDeleteBuffers(1, &e.buf[0]);
  if (e.buf[1] && e.buf[1] != e.buf[0]) alDeleteBuffers(1, &e.buf[1]);
  for (int t = 0; t < kEffectTypeCount; ++t) {
    if (e.slots[t]) alDeleteAuxiliaryEffectSlots(1, &e.slots[t]);
    if (e.efx[t]) alDeleteEffects(1, &e.efx[t]);
  }
  alGetError();
  d.sounds.erase(it);
}

void AlSoundDevice::Play(uint32_t sound, bool loop) {
  RImpl& d = *impl_;
  std::lock_guard<std::mutex> lock(d.mutex);
  auto it = d.sounds.find(sound);
  if (it == d.sounds.end()) return;
  REntry& e = it->second;
  // Finished voices give their sources back first.
  std::erase_if(e.voices, [&](RVoice& v) {
    if (VoicePlaying(v)) return false;
    DropVoice(d.freeSources, d.streams, v);
    return true;
  });
  if (e.midi) {
    // One synthesizer per device: a MIDI music that starts ends the one playing.
    for (auto& [id, other] : d.sounds) {
      if (!other.midi) continue;
      for (RVoice& v : other.voices) DropVoice(d.freeSources, d.streams, v);
      other.voices.clear();
    }
  }
  RVoice v;
  v.nsrc = e.path == ESoundPath::kThreeD ? 1 : 2;
  for (int i = 0; i < v.nsrc; ++i) {
    v.src[i] = AcquireSource(d.freeSources);
    if (!v.src[i]) {
      // Out of sources: the sound does not play.
      for (int j = 0; j < i; ++j) d.freeSources.push_back(v.src[j]);
      return;
    }
    const ALuint s = v.src[i];
    alSourcei(s, AL_LOOPING, AL_FALSE);
    alSourcef(s, AL_PITCH, 1);
    if (e.path == ESoundPath::kThreeD) {
      alSourcei(s, AL_SOURCE_RELATIVE, AL_FALSE);
      Apply3D(e, s);
    } else {
      alSourcei(s, AL_SOURCE_RELATIVE, AL_TRUE);
      alSource3f(s, AL_POSITION, i == 0 ? -1.0f : 1.0f, 0, 0);
      alSource3f(s, AL_VELOCITY, 0, 0, 0);
      alSourcef(s, AL_ROLLOFF_FACTOR, 0);
      alSourcef(s, AL_CONE_INNER_ANGLE, 360);
      alSourcef(s, AL_CONE_OUTER_ANGLE, 360);
    }
    ApplyEffects(e, s, d.maxSends, d.muteFilter);
  }
  ApplyGains(e, v, d.master);
  if (!e.stream) {
    for (int i = 0; i < v.nsrc; ++i) {
      alSourcei(v.src[i], AL_BUFFER, ALint(e.buf[i]));
      alSourcei(v.src[i], AL_LOOPING, loop ? AL_TRUE : AL_FALSE);
    }
    // Both sides start on the same sample.
    alSourcePlayv(v.nsrc, v.src);
  } else {
    auto s = std::make_shared<RStream>();
    s->bytes = e.bytes;
    s->file = e.file;
    s->midi = e.midi;
    s->loop = loop;
    s->tempo = d.tempo;
    s->nsrc = v.nsrc;
    s->mono = e.path == ESoundPath::kThreeD;
    for (int i = 0; i < v.nsrc; ++i) {
      s->src[i] = v.src[i];
      s->freeBuffers[i].resize(kQueueLength);
      alGenBuffers(kQueueLength, s->freeBuffers[i].data());
      s->allBuffers.insert(s->allBuffers.end(), s->freeBuffers[i].begin(), s->freeBuffers[i].end());
    }
    v.stream = s;
    d.streams.push_back(s);
    if (!options_.loopback) d.pumpWake.notify_all();
  }
  alGetError();
  e.voices.push_back(v);
}

void AlSoundDevice::Stop(uint32_t sound) {
  RImpl& d = *impl_;
  std::lock_guard<std::mutex> lock(d.mutex);
  auto it = d.sounds.find(sound);
  if (it == d.sounds.end()) return;
  for (RVoice& v : it->second.voices) DropVoice(d.freeSources, d.streams, v);
  it->second.voices.clear();
}

bool AlSoundDevice::IsPlaying(uint32_t sound) {
  RImpl& d = *impl_;
  std::lock_guard<std::mutex> lock(d.mutex);
  auto it = d.sounds.find(sound);
  if (it == d.sounds.end()) return false;
  for (const RVoice& v : it->second.voices)
    if (VoicePlaying(v)) return true;
  return false;
}

void AlSoundDevice::SetVolume(uint32_t sound, int hundredthsDb, int fadeMs) {
  RImpl& d = *impl_;
  std::lock_guard<std::mutex> lock(d.mutex);
  auto it = d.sounds.find(sound);
  if (it == d.sounds.end()) return;
  REntry& e = it->second;
  // A new level or fade takes over from wherever a running fade has brought the sound.
  const double now = d.NowMs();
  e.fadeFrom = FadeLevel(e, now);
  e.fadeTo = e.volume = hundredthsDb;
  e.fadeMs = std::max(fadeMs, 0);
  e.fadeStart = now;
  e.level = e.fadeMs > 0 ? e.fadeFrom : e.volume;
  for (const RVoice& v : e.voices) ApplyGains(e, v, d.master);
}

void AlSoundDevice::SetPan(uint32_t sound, int pan) {
  RImpl& d = *impl_;
  std::lock_guard<std::mutex> lock(d.mutex);
  auto it = d.sounds.find(sound);
  if (it == d.sounds.end()) return;
  it->second.pan = std::clamp(pan, -10000, 10000);
  for (const RVoice& v : it->second.voices) ApplyGains(it->second, v, d.master);
}

void AlSoundDevice::SetMasterVolume(int hundredthsDb) {
  RImpl& d = *impl_;
  std::lock_guard<std::mutex> lock(d.mutex);
  d.master = hundredthsDb;
  for (auto& [id, e] : d.sounds)
    for (const RVoice& v : e.voices) ApplyGains(e, v, d.master);
}

void AlSoundDevice::SetTempo(double factor) {
  RImpl& d = *impl_;
  std::lock_guard<std::mutex> lock(d.mutex);
  d.tempo = factor;
  for (auto& s : d.streams) {
    if (!s->midi) continue;
    std::lock_guard<std::mutex> streamLock(s->m);
    s->tempo = factor;
    if (s->pcm) s->pcm->SetTempo(factor);
  }
}

void AlSoundDevice::SetEffects(uint32_t sound, int bits) {
  RImpl& d = *impl_;
  std::lock_guard<std::mutex> lock(d.mutex);
  auto it = d.sounds.find(sound);
  if (it == d.sounds.end() || d.maxSends <= 0) return;
  REntry& e = it->second;
  for (int t = 0; t < kEffectTypeCount; ++t) {
    if (e.slots[t]) alDeleteAuxiliaryEffectSlots(1, &e.slots[t]);
    if (e.efx[t]) alDeleteEffects(1, &e.efx[t]);
    e.slots[t] = e.efx[t] = 0;
  }
  alGetError();
  e.effects = bits;
  for (int t = 0; t < kEffectTypeCount; ++t) {
    if (!(bits & kEffectChainBits[size_t(t)])) continue;
    ALuint effect = 0, slot = 0;
    alGenEffects(1, &effect);
    alGenAuxiliaryEffectSlots(1, &slot);
    REffectParameters p;
    const REffectRange& r = EffectRange(EEffectType(t));
    for (int i = 0; i < r.count; ++i) p.v[size_t(i)] = r.defaults[size_t(i)];
    const float gain = ConfigureEffect(effect, EEffectType(t), p, d.eaxReverb);
    alAuxiliaryEffectSloti(slot, AL_EFFECTSLOT_EFFECT, ALint(effect));
    alAuxiliaryEffectSlotf(slot, AL_EFFECTSLOT_GAIN, gain);
    if (alGetError() != AL_NO_ERROR) {
      // The platform refused this effect: the others are installed all the same.
      if (slot) alDeleteAuxiliaryEffectSlots(1, &slot);
      if (effect) alDeleteEffects(1, &effect);
      alGetError();
      continue;
    }
    e.slots[t] = slot;
    e.efx[t] = effect;
  }
  for (const RVoice& v : e.voices)
    for (int i = 0; i < v.nsrc; ++i) ApplyEffects(e, v.src[i], d.maxSends, d.muteFilter);
}

void AlSoundDevice::SetEffectParameters(uint32_t sound, EEffectType type, const REffectParameters& p) {
  RImpl& d = *impl_;
  std::lock_guard<std::mutex> lock(d.mutex);
  auto it = d.sounds.find(sound);
  if (it == d.sounds.end()) return;
  REntry& e = it->second;
  const int t = int(type);
  if (!e.efx[t]) return;
  const float gain = ConfigureEffect(e.efx[t], type, p, d.eaxReverb);
  // A slot takes an effect's new parameters when the effect is loaded into it again.
  alAuxiliaryEffectSloti(e.slots[t], AL_EFFECTSLOT_EFFECT, ALint(e.efx[t]));
  alAuxiliaryEffectSlotf(e.slots[t], AL_EFFECTSLOT_GAIN, gain);
  alGetError();
}

void AlSoundDevice::Set3D(uint32_t sound, const RSound3D& settings) {
  RImpl& d = *impl_;
  std::lock_guard<std::mutex> lock(d.mutex);
  auto it = d.sounds.find(sound);
  if (it == d.sounds.end() || it->second.path != ESoundPath::kThreeD) return;
  it->second.threeD = settings;
  for (const RVoice& v : it->second.voices) Apply3D(it->second, v.src[0]);
}

// Fills the queues of one stream; called by the pump without the device lock.
static void Refill(RStream& s, CMidiSynth* synth, std::mutex& synthMutex, int rate) {
  std::lock_guard<std::mutex> lock(s.m);
  if (s.stopped || s.finished) return;
  if (!s.opened) {
    s.opened = true;
    if (s.midi) {
      std::lock_guard<std::mutex> synthLock(synthMutex);
      if (synth) s.pcm = synth->Open(s.bytes, s.tempo);
    } else if (!s.file.empty()) {
      s.pcm = OpenSampledFile(s.file);
    } else {
      s.pcm = OpenSampledStream(s.bytes);
    }
    if (!s.pcm) s.ended = true;
  }
  (void)rate;
  // Buffers the sources have played come back to be filled again.
  for (int i = 0; i < s.nsrc; ++i) {
    ALint processed = 0;
    alGetSourcei(s.src[i], AL_BUFFERS_PROCESSED, &processed);
    while (processed-- > 0) {
      ALuint b = 0;
      alSourceUnqueueBuffers(s.src[i], 1, &b);
      s.freeBuffers[i].push_back(b);
    }
  }
  while (!s.ended && !s.freeBuffers[0].empty() && (s.nsrc < 2 || !s.freeBuffers[1].empty())) {
    const int ch = s.pcm->Channels();
    s.scratch.resize(size_t(kChunkFrames) * size_t(ch));
    int64_t n = s.pcm->Read(s.scratch.data(), kChunkFrames);
    if (n <= 0) {
      if (s.loop && s.pcm->Rewind()) n = s.pcm->Read(s.scratch.data(), kChunkFrames);
      if (n <= 0) {
        s.ended = true;
        break;
      }
    }
    s.channel.resize(size_t(n));
    for (int i = 0; i < s.nsrc; ++i) {
      for (int64_t f = 0; f < n; ++f) {
        const int16_t* p = &s.scratch[size_t(f * ch)];
        int32_t v;
        if (ch == 1) v = p[0];
        else if (s.mono) v = (int32_t(p[0]) + p[1]) / 2;
        else v = p[i];
        s.channel[size_t(f)] = int16_t(v);
      }
      ALuint b = s.freeBuffers[i].back();
      s.freeBuffers[i].pop_back();
      alBufferData(b, AL_FORMAT_MONO16, s.channel.data(), ALsizei(n * 2), s.pcm->Rate());
      alSourceQueueBuffers(s.src[i], 1, &b);
    }
  }
  ALint queued = 0, state = AL_STOPPED;
  alGetSourcei(s.src[0], AL_BUFFERS_QUEUED, &queued);
  alGetSourcei(s.src[0], AL_SOURCE_STATE, &state);
  if (state != AL_PLAYING) {
    if (queued > 0) {
      // The first chunk, or the queue ran dry: both sides start again together.
      alSourcePlayv(s.nsrc, s.src);
    } else if (s.ended) {
      s.finished = true;
    }
  }
  alGetError();
}

void AlSoundDevice::Pump() {
  RImpl& d = *impl_;
  std::vector<std::shared_ptr<RStream>> streams;
  {
    std::lock_guard<std::mutex> lock(d.mutex);
    if (!d.context) return;
    // One reading of the clock for the level and the end of each fade, so the last step applied is
    // always the target.
    const double now = d.NowMs();
    for (auto& [id, e] : d.sounds) {
      if (e.fadeMs <= 0) continue;
      e.level = FadeLevel(e, now);
      if (now - e.fadeStart >= e.fadeMs) e.fadeMs = 0;
      for (const RVoice& v : e.voices) ApplyGains(e, v, d.master);
    }
    streams = d.streams;
  }
  for (auto& s : streams) Refill(*s, d.synth.get(), d.synthMutex, options_.rate);
}

void AlSoundDevice::Render(int16_t* out, int frames) {
  RImpl& d = *impl_;
  if (!d.device || !options_.loopback) return;
  // In pieces shorter than a stream chunk, so streams are refilled before they run dry.
  constexpr int kPiece = 1024;
  for (int done = 0; done < frames; done += kPiece) {
    Pump();
    const int n = std::min(kPiece, frames - done);
    std::lock_guard<std::mutex> lock(d.mutex);
    alcRenderSamplesSOFT(d.device, out + size_t(done) * 2, n);
    d.rendered += n;
  }
}

int AlSoundDevice::VoiceCount() {
  RImpl& d = *impl_;
  std::lock_guard<std::mutex> lock(d.mutex);
  int n = 0;
  for (auto& [id, e] : d.sounds) n += int(e.voices.size());
  return n;
}

}  // namespace kestro::platform
