// Feeds arbitrary bytes to the sound decoding entry: the WAV header reader that hands plain samples to
// the device, the sampled decoders (libsndfile: WAV, OGG, FLAC, MP3, ...) read whole and as a stream,
// and the MIDI file check that guards the synthesizer. Where the header reader and libsndfile both take
// the data, they must agree on its channels, rate, length and samples. With KESTRO_FUZZ_SEED set to a
// folder, the first run writes WAV files of each plain sample format there as starting inputs.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/al/SoundDecoder.h"

using namespace kestro::platform;

namespace {

void Put16(std::vector<uint8_t>& b, uint32_t v) { b.push_back(uint8_t(v)), b.push_back(uint8_t(v >> 8)); }
void Put32(std::vector<uint8_t>& b, uint32_t v) { Put16(b, v & 0xffff), Put16(b, v >> 16); }

// A short WAV file: format tag, channels and bits, with an optional chunk before the data.
std::vector<uint8_t> Wav(int format, int channels, int bits, bool chunkBefore) {
  const int frames = 64, blockAlign = channels * bits / 8;
  std::vector<uint8_t> b;
  auto tag = [&](const char* t) {
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(t[i]));
  };
  tag("RIFF");
  Put32(b, 0);  // set at the end
  tag("WAVE");
  tag("fmt ");
  Put32(b, 16);
  Put16(b, uint32_t(format));
  Put16(b, uint32_t(channels));
  Put32(b, 22050);
  Put32(b, uint32_t(22050 * blockAlign));
  Put16(b, uint32_t(blockAlign));
  Put16(b, uint32_t(bits));
  if (chunkBefore) {
    tag("LIST");
    Put32(b, 3);
    for (char x : {'a', 'b', 'c', '\0'}) b.push_back(uint8_t(x));  // padded to an even length
  }
  tag("data");
  Put32(b, uint32_t(frames * blockAlign));
  for (int i = 0; i < frames * channels; ++i) {
    const double v = 0.5 * std::sin(i * 0.3);
    if (format == 3) {
      const float f = float(v);
      uint32_t u;
      std::memcpy(&u, &f, 4);
      Put32(b, u);
    } else if (bits == 8) {
      b.push_back(uint8_t(128 + std::lround(100 * v)));
    } else {
      const int32_t x = int32_t(std::lround(v * 30000)) << (bits - 16);
      for (int k = 0; k < bits / 8; ++k) b.push_back(uint8_t(uint32_t(x) >> (8 * k)));
    }
  }
  const uint32_t riff = uint32_t(b.size() - 8);
  for (int k = 0; k < 4; ++k) b[size_t(4 + k)] = uint8_t(riff >> (8 * k));
  return b;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (const char* seedDir = std::getenv("KESTRO_FUZZ_SEED")) {
    struct Seed {
      const char* name;
      int tag, channels, bits;
      bool chunkBefore;
    };
    for (const Seed& s : {Seed{"u8-mono", 1, 1, 8, false}, Seed{"s16-stereo", 1, 2, 16, true},
                          Seed{"f32-stereo", 3, 2, 32, false}, Seed{"s24-mono", 1, 1, 24, true}}) {
      const std::vector<uint8_t> b = Wav(s.tag, s.channels, s.bits, s.chunkBefore);
      std::ofstream(std::string(seedDir) + "/" + s.name + ".wav", std::ios::binary)
          .write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    }
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MidiFileValid(data, size);
  ProbeSound(data, size);
  RPcm pcm;
  bool longSound = false;
  // A bound that keeps a header announcing hours of sound from costing the run its time.
  const bool decoded = DecodeSound(data, size, pcm, 1 << 20, 30, &longSound);
  RWavData wav;
  if (ReadPlainWav(data, size, wav) == EWavCheck::kPlain) {
    const size_t width = size_t(wav.SampleBytes()), bytes = size_t(wav.frames) * size_t(wav.channels) * width;
    if (wav.channels < 1 || wav.channels > 2 || wav.rate < 1 || wav.frames < 1 || wav.samples < data ||
        bytes > size_t(data + size - wav.samples))
      __builtin_trap();
    if (decoded) {
      // Where the file's sizes lie (a data size beyond the file, a RIFF size that is not the file's) libsndfile
      // reads it its own way (another length, another chunk), so then only the format is compared. The data
      // size sits just before the samples.
      const auto le32 = [](const uint8_t* p) {
        return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
      };
      const bool sizeLies =
          le32(wav.samples - 4) > size_t(data + size - wav.samples) || size_t(le32(data + 4)) + 8 != size;
      if (pcm.channels != wav.channels || pcm.rate != wav.rate) __builtin_trap();
      if (!sizeLies && pcm.Frames() != wav.frames) __builtin_trap();
      // Integer samples as libsndfile gives them: 16-bit as they are, 8-bit unsigned moved to 16 bits.
      for (size_t i = 0; !sizeLies && wav.sample != EWavSample::kF32 && i < pcm.samples.size(); ++i) {
        const uint8_t* p = wav.samples + i * width;
        const int16_t s = wav.sample == EWavSample::kU8 ? int16_t((p[0] - 128) * 256) : int16_t(p[0] | p[1] << 8);
        if (s != pcm.samples[i]) __builtin_trap();
      }
    }
  }
  if (auto stream = OpenSampledStream(std::make_shared<const std::vector<uint8_t>>(data, data + size))) {
    std::vector<int16_t> chunk(size_t(4096) * size_t(stream->Channels()));
    for (int i = 0; i < 64 && stream->Read(chunk.data(), 4096) > 0; ++i) {
    }
    stream->Rewind();
  }
  return 0;
}
