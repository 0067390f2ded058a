// Sound costs: starting 32 sounds in one step, and preparing 100 sounds at start-up against
// decoding the same data alone with libsndfile. Run headless with ALSOFT_DRIVERS=null.
#include <benchmark/benchmark.h>

#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "platform/al/AlSoundDevice.h"
#include "platform/al/SoundDecoder.h"
#include "resources/GameResources.h"
#include "sound/SoundLayer.h"
#include "sound/SoundResource.h"

namespace kestro {
namespace {

// A second of a tone as a 16-bit file of the format (0 mono WAV, 1 mono OGG, 2 stereo WAV), written by
// libsndfile.
std::vector<uint8_t> Tone(int format, int variant) {
  const std::string path = std::filesystem::temp_directory_path() / ("kestro_bench_tone" + std::to_string(format));
  SF_INFO info{};
  info.samplerate = 44100;
  info.channels = format == 2 ? 2 : 1;
  info.format = format == 1 ? SF_FORMAT_OGG | SF_FORMAT_VORBIS : SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  std::vector<int16_t> s(size_t(44100 * info.channels));
  for (size_t i = 0; i < s.size(); ++i) s[i] = int16_t(8000 * std::sin(double(i) * (0.03 + variant * 0.001)));
  sf_writef_short(f, s.data(), 44100);
  sf_close(f);
  std::vector<uint8_t> bytes(std::filesystem::file_size(path));
  FILE* in = std::fopen(path.c_str(), "rb");
  if (std::fread(bytes.data(), 1, bytes.size(), in) != bytes.size()) bytes.clear();
  std::fclose(in);
  std::filesystem::remove(path);
  return bytes;
}

const std::vector<std::vector<uint8_t>>& Data(int format) {
  static std::vector<std::vector<uint8_t>> data[3];
  if (data[format].empty())
    for (int i = 0; i < 100; ++i) data[format].push_back(Tone(format, i));
  return data[format];
}

void Loopback() {
  SoundLayer().Shutdown();
  SoundLayer().SetDeviceFactory(
      [] { return std::make_unique<platform::AlSoundDevice>(platform::RAlDeviceOptions{true, 44100}); });
}

// Preparing the game's 100 sounds (the layer already started): decoding, buffers, levels.
void BM_Prepare100Sounds(benchmark::State& state) {
  const auto& data = Data(int(state.range(0)));
  Loopback();
  for (auto _ : state) {
    state.PauseTiming();
    Sounds().Clear();
    for (size_t i = 0; i < data.size(); ++i) {
      auto s = std::make_unique<CSound>();
      s->s_kind = 0;
      s->s_sound = data[i];
      Sounds().Add(std::move(s), "snd");
    }
    SoundLayer().Start(1);
    state.ResumeTiming();
    for (int i = 0; i < Sounds().Count(); ++i) SoundPrepare(*Sounds().Get(i));
    state.PauseTiming();
    ShutdownGameSounds();
    state.ResumeTiming();
  }
  Sounds().Clear();
}
// data: 0 mono WAV, 1 mono OGG, 2 stereo WAV.
BENCHMARK(BM_Prepare100Sounds)->Arg(0)->Arg(1)->Arg(2)->ArgName("data")->Unit(benchmark::kMillisecond);

// The same data decoded alone by libsndfile into memory, as the decoders do for every format. Each result
// is dropped before the next, so this reuses memory the cache holds, where preparing keeps every sound.
void BM_Decode100Sounds(benchmark::State& state) {
  const auto& data = Data(int(state.range(0)));
  for (auto _ : state)
    for (const auto& d : data) {
      platform::RPcm pcm;
      benchmark::DoNotOptimize(platform::DecodeSound(d.data(), d.size(), pcm, 1 << 24));
    }
}
BENCHMARK(BM_Decode100Sounds)->Arg(0)->Arg(1)->Arg(2)->ArgName("data")->Unit(benchmark::kMillisecond);

// 32 sound_play calls in one step (loopback device, or the output device with its thread).
void BM_Start32Sounds(benchmark::State& state) {
  if (state.range(0) == 0) {
    Loopback();
  } else {
    SoundLayer().Shutdown();
    SoundLayer().SetDeviceFactory([] { return platform::MakeSoundDevice(); });
  }
  Sounds().Clear();
  for (int i = 0; i < 32; ++i) {
    auto s = std::make_unique<CSound>();
    s->s_kind = 0;
    s->s_sound = Data(0)[size_t(i)];
    Sounds().Add(std::move(s), "snd");
  }
  PrepareGameSounds();
  for (auto _ : state) {
    for (int i = 0; i < 32; ++i) SoundLayer().Play(Sounds().Get(i)->s_soundid, false);
    state.PauseTiming();
    SoundLayer().StopAll();
    state.ResumeTiming();
  }
  ShutdownGameSounds();
  Sounds().Clear();
}
BENCHMARK(BM_Start32Sounds)->Arg(0)->Arg(1)->ArgName("output")->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kestro
