// Loading a large data-only game: the marker scan and descrambling in place, the whole header read,
// side by side with simply reading the same file into memory.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "runner/GameFile.h"
#include "runner/Runner.h"
#include "io/Stream.h"
#include "tools/Builder.h"

namespace fs = std::filesystem;
using namespace kestro;

namespace {

// A data-only game of about 100 MB: the bulk is an incompressible library block.
fs::path BenchDir() { return fs::temp_directory_path() / ("kestro-bench-" + std::to_string(getpid())); }

const fs::path& LargeGame() {
  static fs::path game = [] {
    fs::path dir = BenchDir();
    fs::create_directories(dir);
    std::vector<uint8_t> bulk(100u << 20);
    std::mt19937 rng(1);
    for (size_t i = 0; i < bulk.size(); i += 4) {
      uint32_t r = rng();
      std::memcpy(bulk.data() + i, &r, 4);
    }
    std::ofstream(dir / "bulk.bin", std::ios::binary).write(reinterpret_cast<char*>(bulk.data()), bulk.size());
    std::ofstream(dir / "game.json") << R"({"game_id": 1, "library": {"name": "lib.bin", "file": "bulk.bin"}})";
    tools::CProject project;
    std::string error;
    tools::CBuildOptions options;
    options.dataOnly = true;
    options.randomSeed = 7;
    if (!tools::LoadProject(dir, project, error) || !tools::BuildGame(project, dir / "big.kx", options, error))
      std::abort();
    fs::remove(dir / "bulk.bin");
    std::atexit([] { fs::remove_all(BenchDir()); });
    return dir / "big.kx";
  }();
  return game;
}

std::vector<uint8_t> ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary | std::ios::ate);
  std::vector<uint8_t> b(size_t(in.tellg()));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(b.data()), std::streamsize(b.size()));
  return b;
}

void BM_ReadFileOnly(benchmark::State& state) {
  LargeGame();  // made once, outside the timing
  for (auto _ : state) benchmark::DoNotOptimize(ReadAll(LargeGame()).data());
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(fs::file_size(LargeGame())));
}

void BM_ScanAndDescramble(benchmark::State& state) {
  std::vector<uint8_t> bytes = ReadAll(LargeGame());
  for (auto _ : state) {
    state.PauseTiming();
    CStream s(bytes);
    state.ResumeTiming();
    size_t P;
    if (OpenContainer(s, P) != OpenResult::Ok) state.SkipWithError("not opened");
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}

void BM_LoadGameFile(benchmark::State& state) {
  for (auto _ : state) {
    CRunner runner(CRunHooks{}, nullptr);
    runner.set_store_library(false);
    if (!runner.LoadGameFile(LargeGame().string())) state.SkipWithError("load failed");
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(fs::file_size(LargeGame())));
}

}  // namespace

BENCHMARK(BM_ReadFileOnly)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_ScanAndDescramble)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_LoadGameFile)->Unit(benchmark::kMillisecond)->MinTime(2);
