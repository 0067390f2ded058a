// Sound costs: starting 32 sounds in one step, and preparing 100 sounds at start-up against
// decoding the same data alone with libsndfile. Run headless with ALSOFT_DRIVERS=null.
#include <benchmark/benchmark.h>

#include <malloc.h>
#include <sndfile.h>
#include <sys/resource.h>

#include <algorithm>
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

// Memory for the samples, by the benchmarks' second argument. 0: reused from one round to the next (freed
// memory stays in the process), as in a game that prepares sounds again; the benchmark then measures the
// work of preparing alone. 1: fresh from the system in every round, as at a real start-up: every page the
// samples fill is faulted in and zeroed by the kernel first, for preparing and for the baseline alike.
void SetUpMemory(benchmark::State& state) {
  if (state.range(1) == 0) {
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
  }
}
void ReleaseMemory(benchmark::State& state) {
  if (state.range(1) == 1) malloc_trim(0);
}

// Minor page faults of the process so far: memory the kernel hands out fresh (and zeroes) on first touch.
int64_t PageFaults() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return int64_t(u.ru_minflt);
}

// Preparing the game's 100 sounds (the layer already started): decoding, buffers, levels. The device and
// the game's sounds stay from one round to the next, and the sounds' buffers are let go between rounds
// outside the timing, so a round starts as the baseline's do: opening a device, or copying the game's
// bytes again, would leave other memory in the caches than a start-up that has just read its game has.
void BM_Prepare100Sounds(benchmark::State& state) {
  const auto& data = Data(int(state.range(0)));
  SetUpMemory(state);
  Loopback();
  Sounds().Clear();
  for (size_t i = 0; i < data.size(); ++i) {
    auto s = std::make_unique<CSound>();
    s->s_kind = 0;
    s->s_sound = data[i];
    Sounds().Add(std::move(s), "snd");
  }
  SoundLayer().Start(1);
  int64_t faults = 0;
  for (auto _ : state) {
    const int64_t before = PageFaults();
    for (int i = 0; i < Sounds().Count(); ++i) SoundPrepare(*Sounds().Get(i));
    faults += PageFaults() - before;
    state.PauseTiming();
    for (int i = 0; i < Sounds().Count(); ++i) SoundDiscard(*Sounds().Get(i));
    ReleaseMemory(state);
    state.ResumeTiming();
  }
  state.counters["faults"] = benchmark::Counter(double(faults), benchmark::Counter::kAvgIterations);
  ShutdownGameSounds();
  Sounds().Clear();
}
// data: 0 mono WAV, 1 mono OGG, 2 stereo WAV; fresh: see SetUpMemory.
BENCHMARK(BM_Prepare100Sounds)
    ->ArgsProduct({{0, 1, 2}, {0, 1}})
    ->ArgNames({"data", "fresh"})
    ->Unit(benchmark::kMillisecond);

// The same data decoded alone by libsndfile into memory, as the decoders do for every format. Each result
// is dropped before the next, so this reuses memory the cache holds, where preparing keeps every sound:
// BM_DecodeKeep100Sounds is the like-for-like baseline.
void BM_Decode100Sounds(benchmark::State& state) {
  const auto& data = Data(int(state.range(0)));
  for (auto _ : state)
    for (const auto& d : data) {
      platform::RPcm pcm;
      benchmark::DoNotOptimize(platform::DecodeSound(d.data(), d.size(), pcm, 1 << 24));
    }
}
BENCHMARK(BM_Decode100Sounds)->Arg(0)->Arg(1)->Arg(2)->ArgName("data")->Unit(benchmark::kMillisecond);

// libsndfile reading bytes in memory.
struct RBenchMemory {
  const std::vector<uint8_t>* bytes;
  sf_count_t pos = 0;
};
sf_count_t BenchLength(void* u) { return sf_count_t(static_cast<RBenchMemory*>(u)->bytes->size()); }
sf_count_t BenchSeek(sf_count_t offset, int whence, void* u) {
  auto* m = static_cast<RBenchMemory*>(u);
  const sf_count_t size = sf_count_t(m->bytes->size());
  const sf_count_t p = (whence == SEEK_SET ? 0 : whence == SEEK_CUR ? m->pos : size) + offset;
  if (p < 0 || p > size) return -1;
  return m->pos = p;
}
sf_count_t BenchRead(void* ptr, sf_count_t count, void* u) {
  auto* m = static_cast<RBenchMemory*>(u);
  const sf_count_t n = std::min(count, sf_count_t(m->bytes->size()) - m->pos);
  if (n <= 0) return 0;
  std::memcpy(ptr, m->bytes->data() + m->pos, size_t(n));
  m->pos += n;
  return n;
}
sf_count_t BenchWrite(const void*, sf_count_t, void*) { return 0; }
sf_count_t BenchTell(void* u) { return static_cast<RBenchMemory*>(u)->pos; }

// The like-for-like baseline: a start-up that decodes its sounds with libsndfile alone and keeps each one
// (interleaved 16-bit samples in a block of their own) until all 100 are done, as preparing keeps every
// sound in the device's buffers. The blocks are let go outside the timing, as the device's are.
void BM_DecodeKeep100Sounds(benchmark::State& state) {
  const auto& data = Data(int(state.range(0)));
  SetUpMemory(state);
  SF_VIRTUAL_IO io = {BenchLength, BenchSeek, BenchRead, BenchWrite, BenchTell};
  std::vector<std::unique_ptr<int16_t[]>> kept(data.size());
  int64_t faults = 0;
  for (auto _ : state) {
    const int64_t before = PageFaults();
    for (size_t i = 0; i < data.size(); ++i) {
      RBenchMemory mem{&data[i]};
      SF_INFO info{};
      SNDFILE* f = sf_open_virtual(&io, SFM_READ, &info, &mem);
      if (!f) {
        state.SkipWithError("libsndfile cannot open the data");
        return;
      }
      kept[i] = std::make_unique_for_overwrite<int16_t[]>(size_t(info.frames) * size_t(info.channels));
      benchmark::DoNotOptimize(sf_readf_short(f, kept[i].get(), info.frames));
      sf_close(f);
    }
    faults += PageFaults() - before;
    state.PauseTiming();
    for (auto& k : kept) k.reset();
    ReleaseMemory(state);
    state.ResumeTiming();
  }
  state.counters["faults"] = benchmark::Counter(double(faults), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_DecodeKeep100Sounds)
    ->ArgsProduct({{0, 1, 2}, {0, 1}})
    ->ArgNames({"data", "fresh"})
    ->Unit(benchmark::kMillisecond);

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
