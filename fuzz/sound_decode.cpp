// Feeds arbitrary bytes to the sound decoding entry: the sampled decoders (libsndfile: WAV, OGG,
// FLAC, MP3, ...) read whole and as a stream, and the MIDI file check that guards the synthesizer.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/al/SoundDecoder.h"

using namespace kestro::platform;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MidiFileValid(data, size);
  ProbeSound(data, size);
  RPcm pcm;
  bool longSound = false;
  // A bound that keeps a header announcing hours of sound from costing the run its time.
  DecodeSound(data, size, pcm, 1 << 20, 30, &longSound);
  if (auto stream = OpenSampledStream(std::make_shared<const std::vector<uint8_t>>(data, data + size))) {
    std::vector<int16_t> chunk(size_t(4096) * size_t(stream->Channels()));
    for (int i = 0; i < 64 && stream->Read(chunk.data(), 4096) > 0; ++i) {
    }
    stream->Rewind();
  }
  return 0;
}
