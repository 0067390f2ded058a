// Sound data to 16-bit samples: sampled files (WAV, OGG, FLAC, MP3, ...) through libsndfile and
// standard MIDI files through FluidSynth. Damaged, truncated, empty or unknown data is refused
// with false / null, never a crash or an endless loop.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kestro::platform {

// Interleaved 16-bit samples.
struct RPcm {
  int channels = 0;
  int rate = 0;
  std::vector<int16_t> samples;
  int64_t Frames() const { return channels > 0 ? int64_t(samples.size()) / channels : 0; }
};

enum class ESoundData { kUnknown, kSampled, kMidi };

// What the bytes are: a standard MIDI file (whose chunks and events are all well formed), sampled
// data libsndfile opens with sensible channels, rate and length, or neither.
ESoundData ProbeSound(const uint8_t* data, size_t size, int64_t* frames = nullptr, int* rate = nullptr);

// True for a complete, well-formed standard MIDI file: every chunk and event inside its bounds.
bool MidiFileValid(const uint8_t* data, size_t size);

// Decodes sampled data whole; false when it cannot be opened, has no frames or more than maxFrames.
// With streamSeconds > 0, data whose header announces a longer sound is not decoded: false with
// *longSound set, so the caller streams it instead.
bool DecodeSound(const uint8_t* data, size_t size, RPcm& out, int64_t maxFrames, int64_t streamSeconds = 0,
                 bool* longSound = nullptr);

// Plain PCM WAV data as it lies in the file: 8-bit unsigned or 16-bit signed integers, or 32-bit floats; one
// or two channels, interleaved, little-endian. The device takes such samples as they are, without decoding.
enum class EWavSample { kU8, kS16, kF32 };
struct RWavData {
  EWavSample sample = EWavSample::kS16;
  int channels = 0;
  int rate = 0;
  const uint8_t* samples = nullptr;  // inside the bytes that were read
  int64_t frames = 0;
  int SampleBytes() const { return sample == EWavSample::kU8 ? 1 : sample == EWavSample::kS16 ? 2 : 4; }
};

enum class EWavCheck {
  kOther,    // not a WAV file this reader takes: other containers, compressed or extensible formats, other
             // sample sizes, more channels, chunk layouts it does not follow; libsndfile decides
  kPlain,    // plain samples, described by the RWavData
  kDamaged,  // a WAV file without samples where its header says (a chunk before them runs past the end,
             // no data chunk, no whole frame), or an integer or float WAV whose format cannot be right
             // (no channels, no rate, no sample size, a block alignment that is not the frame size, a
             // rate past the limit); such data is not given to libsndfile either
};

// Reads the RIFF header of WAV data in place; every chunk is checked against the size. A data chunk
// announcing more than there is gives the whole frames that are there (libsndfile does the same).
// `total`, when larger than `size`, is the length of the whole file of which `data` is the start: the
// header is then checked against it, and samples past `size` make the result kOther.
EWavCheck ReadPlainWav(const uint8_t* data, size_t size, RWavData& out, uint64_t total = 0);

// A source of interleaved 16-bit samples read chunk by chunk (for streaming).
class IPcmStream {
 public:
  virtual ~IPcmStream() = default;
  virtual int Channels() const = 0;
  virtual int Rate() const = 0;
  // Up to `frames` frames into out; 0 at the end.
  virtual int64_t Read(int16_t* out, int64_t frames) = 0;
  virtual bool Rewind() = 0;
  virtual void SetTempo(double) {}
};

// Sampled data kept in memory, or read from a file as it plays.
std::unique_ptr<IPcmStream> OpenSampledStream(std::shared_ptr<const std::vector<uint8_t>> bytes);
std::unique_ptr<IPcmStream> OpenSampledFile(const std::string& file);

// The MIDI synthesizer: one per device, its General MIDI sound font loaded on first use (from
// KESTRO_SOUNDFONT, else the system's default font). Streams made from it render at `rate`.
class CMidiSynth {
 public:
  explicit CMidiSynth(int rate);
  ~CMidiSynth();
  CMidiSynth(const CMidiSynth&) = delete;
  CMidiSynth& operator=(const CMidiSynth&) = delete;
  // A stream playing the MIDI bytes; null when they are not a valid MIDI file.
  std::unique_ptr<IPcmStream> Open(std::shared_ptr<const std::vector<uint8_t>> bytes, double tempo);
  bool HasSoundFont();

 private:
  struct RImpl;
  std::unique_ptr<RImpl> impl_;
};
std::string FindSoundFont();

}  // namespace kestro::platform
