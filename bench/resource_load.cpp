// Loading a generated game's resources (500 sprites of 4 frames at 64 x 64 and 100 sounds)
// against inflating the same packed blocks alone: the loaders should add little to the inflation.
#include <benchmark/benchmark.h>

#include <chrono>

#include "resources/GameResources.h"
#include "io/Stream.h"

namespace kestro {
namespace {

const std::vector<uint8_t>& Section() {
  static const std::vector<uint8_t> bytes = [] {
    CGameResources res;
    res.roomOrder = {0};
    uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
    for (int i = 0; i < 500; ++i) {
      auto spr = std::make_unique<CSprite>();
      for (int f = 0; f < 4; ++f) {
        TBitmap32 bm(64, 64);
        for (int y = 0; y < 64; ++y)
          for (int x = 0; x < 64; ++x) {
            int dx = x - 32, dy = y - 32;
            uint8_t a = dx * dx + dy * dy < (20 + f * 3) * (20 + f * 3) ? 255 : 0;
            bm.SetPixel(x, y, TColor32{uint8_t(x * 4 + i), uint8_t(y * 4 + f), uint8_t(next() >> 28), a});
          }
        spr->i_bitmap.push_back(std::move(bm));
      }
      spr->i_numb = 4;
      spr->ComputeMask({i % 2 == 0, kBoxAutomatic, {}, kMaskPrecise, 0});
      res.sprites.Add(std::move(spr), "spr_" + std::to_string(i));
    }
    for (int i = 0; i < 100; ++i) {
      auto snd = std::make_unique<CSound>();
      std::vector<uint8_t> data(40000);
      for (size_t k = 0; k < data.size(); ++k) data[k] = uint8_t(128 + 100 * ((k / (20 + i)) % 2) + (next() >> 29));
      snd->s_sound = std::move(data);
      snd->s_kind = 0;
      snd->s_extension = ".wav";
      res.sounds.Add(std::move(snd), "snd_" + std::to_string(i));
    }
    CStream s;
    for (int k = 0; k < kResourceKindCount; ++k) SaveResourceBlock(ResourceKind(k), s, res);
    return s.Buffer();
  }();
  return bytes;
}

void LoadAll() {
  CStream s(Section());
  CGameResources res;
  for (int k = 0; k < kResourceKindCount; ++k)
    if (!LoadResourceBlock(ResourceKind(k), s, res, "")) std::abort();
  benchmark::DoNotOptimize(res.sprites.Count());
}

// Walks the same blocks and only inflates each packed slot.
void InflateAll() {
  CStream s(Section());
  for (int k = 0; k < kResourceKindCount; ++k) {
    ResourceKind kind = ResourceKind(k);
    if (kind == ResourceKind::Sound || kind == ResourceKind::Sprite) {
      s.ReadInteger();
      int32_t n = s.ReadInteger();
      for (int32_t i = 0; i < n; ++i) benchmark::DoNotOptimize(s.ReadStreamC()->Size());
    } else {
      CGameResources res;  // the small blocks of this game: read as they are
      LoadResourceBlock(kind, s, res, "");
    }
  }
}

void BM_LoadResources(benchmark::State& state) {
  Section();
  for (auto _ : state) LoadAll();
}
BENCHMARK(BM_LoadResources)->Unit(benchmark::kMillisecond);

void BM_InflateOnly(benchmark::State& state) {
  Section();
  for (auto _ : state) InflateAll();
}
BENCHMARK(BM_InflateOnly)->Unit(benchmark::kMillisecond);

// Both in one run, alternating, so the ratio is not skewed by the machine's load changing.
void BM_LoadVsInflate(benchmark::State& state) {
  Section();
  using clock = std::chrono::steady_clock;
  double load = 0, inflate = 0;
  for (auto _ : state) {
    auto t0 = clock::now();
    LoadAll();
    auto t1 = clock::now();
    InflateAll();
    auto t2 = clock::now();
    load += std::chrono::duration<double, std::milli>(t1 - t0).count();
    inflate += std::chrono::duration<double, std::milli>(t2 - t1).count();
  }
  double n = double(state.iterations());
  state.counters["load_ms"] = load / n;
  state.counters["inflate_ms"] = inflate / n;
  state.counters["ratio"] = load / inflate;
  state.counters["section_MB"] = double(Section().size()) / 1e6;
}
BENCHMARK(BM_LoadVsInflate)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
}  // namespace kestro
