// The draw step of a room of 10,000 moving 32 x 32 sprite instances at 640 x 480, on the real
// device headless, side by side with the same scene drawn by LÖVE 11.4 (bench/love/main.lua)
// under the same software rasterizer and window size. Both sides run in turns in one run; the
// medians of the frame rates and their ratio are reported, with the sprites at full size and
// shrunk to a pixel (which leaves out the filling, so the rest is what each side spends before
// the rasterizer). Further cases split the draw step's own time: the whole step into a device
// that draws nothing, and the depth sort.
//
// Run headless: SDL_VIDEODRIVER=offscreen bench_platform_room_draw (LÖVE from the `love` package;
// its cases report 0 when it cannot be run). LP_NUM_THREADS, when set, holds for both sides.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "graphics/Graphics.h"
#include "graphics/RoomDraw.h"
#include "platform/sdl/SdlGraphics.h"
#include "resources/GameResources.h"
#include "resources/GameSettings.h"
#include "world/World.h"

namespace {

using namespace kestro;
using Clock = std::chrono::steady_clock;

constexpr int kInstances = 10000;
constexpr int kFrames = 40;  // timed frames per turn
constexpr int kTurns = 3;

// The sprite's texels, as main.lua makes them: a disc with a soft rim and transparent corners.
TBitmap32 SpriteImage() {
  TBitmap32 bm(32, 32);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      const double dx = x - 15.5, dy = y - 15.5, d = dx * dx + dy * dy;
      const uint32_t a = d < 14 * 14 ? 255 : d < 16 * 16 ? 128 : 0;
      const uint32_t r = uint32_t(x * 8) % 256, g = uint32_t(y * 8) % 256, b = uint32_t((x + y) * 4) % 256;
      bm.SetPixel(x, y, TColor32::From(a << 24 | r << 16 | g << 8 | b));
    }
  return bm;
}

// The game: one sprite with its origin at the centre, one object, a 640 x 480 room of instances
// placed and moving as in main.lua.
struct Game {
  bool ok = false;
  int object = -1;
  Game() {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    GameSettings().Reset();
    GameSettings().interpolate = false;
    if (!platform::PrepareGraphics(GameSettings(), "room draw")) return;
    auto s = std::make_unique<CSprite>();
    s->i_bitmap = {SpriteImage()};
    s->i_numb = 1;
    s->i_xorig = s->i_yorig = 16;
    s->ComputeMask({});
    s->InitTexture();
    const int sprite = Sprites().Add(std::move(s), "spr_ball");
    auto o = std::make_unique<CObject>();
    o->o_spriteindex = sprite;
    object = Objects().Add(std::move(o), "obj_ball");
    World().Reset();
    CLiveRoom& room = World().Room();
    room.r_width = 640;
    room.r_height = 480;
    room.r_color = 0x404040;
    SizeRegionToRoom();
    Place(1);
    ok = true;
  }
  void Place(double scale) {
    CLiveRoom& room = World().Room();
    room.ClearInstances();
    for (int i = 0; i < kInstances; ++i) {
      CInstance* inst =
          room.AddInstance(object, 16 + (i * 7919) % 608, 16 + (int64_t(i) * 104729) % 448, World().lastInstanceId);
      inst->i_hspeed = (i % 7) - 3;
      inst->i_vspeed = (i % 5) - 2;
      inst->i_imagespeed = 0;
      inst->i_imagescalex = inst->i_imagescaley = scale;
    }
  }
  // Moving as the main loop does, bouncing at the room's edges as main.lua does.
  static void Move() {
    for (const auto& inst : World().Room().Active()) {
      const double x = inst->i_x + inst->i_hspeed, y = inst->i_y + inst->i_vspeed;
      if (x < 16 || x > 624) inst->i_hspeed = -inst->i_hspeed;
      if (y < 16 || y > 464) inst->i_vspeed = -inst->i_vspeed;
      inst->SetPosition(x, y);
    }
  }
  // Frames per second over `frames` frames, and the processor milliseconds per frame of the
  // whole process (the rasterizer's threads included); the last frame is read back, so all have
  // been drawn.
  std::pair<double, double> Run(int frames) {
    RGrab grab;
    for (int k = 0; k < 5; ++k) {  // shaders and buffers are made on first use
      Move();
      DrawRoom();
      Graphics().PresentFrame();
    }
    Graphics().GrabScreen(0, 0, 1, 1, grab);
    const auto start = Clock::now();
    const std::clock_t cpuStart = std::clock();
    for (int k = 0; k < frames; ++k) {
      Move();
      DrawRoom();
      Graphics().PresentFrame();
    }
    Graphics().GrabScreen(0, 0, 1, 1, grab);
    const double cpu = double(std::clock() - cpuStart) * 1000 / CLOCKS_PER_SEC / frames;
    return {frames / std::chrono::duration<double>(Clock::now() - start).count(), cpu};
  }
};

Game& TheGame() {
  static Game* g = new Game;  // the window outlives the benchmarks
  return *g;
}

std::pair<double, double> LoveFps(int frames, double scale) {
  const std::string cmd = "love " + std::string(KESTRO_SOURCE_DIR) + "/bench/love " + std::to_string(frames) + " " +
                          std::to_string(kInstances) + " " + std::to_string(scale) + " 2>/dev/null";
  std::FILE* f = popen(cmd.c_str(), "r");
  if (!f) return {0, 0};
  double fps = 0, cpu = 0;
  if (std::fscanf(f, "fps %lf cpu %lf", &fps, &cpu) != 2) fps = cpu = 0;
  pclose(f);
  return {fps, cpu};
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// Both sides in turns (the machine's load changes during a run; turns spread it evenly).
void SideBySide(benchmark::State& state, double scale) {
  Game& g = TheGame();
  if (!g.ok) {
    state.SkipWithError("no OpenGL 3.3 context");
    return;
  }
  g.Place(scale);
  std::vector<double> ours, theirs, oursCpu, theirsCpu;
  for (auto _ : state) {
    for (int t = 0; t < kTurns; ++t) {
      auto [fps, cpu] = LoveFps(kFrames, scale);
      theirs.push_back(fps);
      theirsCpu.push_back(cpu);
      std::tie(fps, cpu) = g.Run(kFrames);
      ours.push_back(fps);
      oursCpu.push_back(cpu);
    }
  }
  const double a = Median(ours), b = Median(theirs), ac = Median(oursCpu), bc = Median(theirsCpu);
  state.counters["kestro_fps"] = a;
  state.counters["love_fps"] = b;
  state.counters["ratio"] = b > 0 ? a / b : 0;
  // Processor time per frame: less disturbed by other work on the machine than the rate.
  state.counters["kestro_cpu_ms"] = ac;
  state.counters["love_cpu_ms"] = bc;
  state.counters["cpu_ratio"] = ac > 0 ? bc / ac : 0;
  // The software rasterizer's threads, the same for both sides (LÖVE inherits the environment).
  const char* threads = std::getenv("LP_NUM_THREADS");
  state.SetLabel(std::string("LP_NUM_THREADS=") + (threads ? threads : "unset"));
  const int calls = platform::GamePlatform().device.DrawCalls();
  DrawRoom();
  Graphics().PresentFrame();
  state.counters["draw_calls"] = platform::GamePlatform().device.DrawCalls() - calls;
  g.Place(1);
}

void RoomDrawVsLove(benchmark::State& state) { SideBySide(state, 1); }
void RoomDrawVsLoveNoFill(benchmark::State& state) { SideBySide(state, 1.0 / 32); }
BENCHMARK(RoomDrawVsLove)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(RoomDrawVsLoveNoFill)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// A device that draws nothing: the draw step's own work (sorting, the per-instance decisions,
// building the quads), without the OpenGL driver.
class NullDevice final : public IGraphicsDevice {
 public:
  int MaxTextureSide() const override { return 4096; }
  int BackBufferWidth() const override { return 640; }
  int BackBufferHeight() const override { return 480; }
  uint32_t CreateTexture(int, int, const uint8_t*, bool) override { return ++next_; }
  void FreeTexture(uint32_t) override {}
  void SetState(const RRenderState&) override {}
  void SetTexture(uint32_t) override {}
  void SetTransforms(const RMatrix&, const RMatrix&, const RMatrix&) override {}
  void SetViewport(const RPixelRect&) override {}
  void Draw(EPrimitive, const RVertex*, int count) override { vertices += uint64_t(count); }
  void Clear(uint32_t, bool, bool) override {}
  bool SetRenderTarget(uint32_t) override { return true; }
  bool ReadPixels(uint32_t, const RPixelRect&, std::vector<uint8_t>&) override { return false; }
  void SetSynchronisation(bool) override {}
  bool Present(const RPixelRect&, const RPixelRect&, int32_t) override { return true; }
  uint64_t vertices = 0;

 private:
  uint32_t next_ = 0;
};

// The draw step alone; the argument is 0 for equal depths, 1 for depth = -y (the order changes a
// little every step, as in games that sort by height), 2 for depths shuffled anew every step.
void DrawStepWithoutDriver(benchmark::State& state) {
  Game& g = TheGame();
  if (!g.ok) {
    state.SkipWithError("no OpenGL 3.3 context");
    return;
  }
  // The process-wide layer is lent to a device that draws nothing, with the sprite's texture
  // made there, and given back afterwards.
  static NullDevice device;
  CSprite* sprite = Sprites().Get(0);
  const std::vector<int> textures = sprite->i_tex;
  const CGraphics real = Graphics();
  Graphics() = CGraphics();
  Graphics().Attach(&device, &platform::GamePlatform().window.State());
  Graphics().Start(false);
  Graphics().SetDeviceRegion(640, 480);
  sprite->i_tex.assign(textures.size(), -1);
  sprite->InitTexture();
  device.vertices = 0;
  uint32_t seed = 1;
  for (auto _ : state) {
    state.PauseTiming();
    Game::Move();
    if (state.range(0) == 1)
      for (const auto& inst : World().Room().Active()) inst->i_depth = -inst->i_y;
    if (state.range(0) == 2)
      for (const auto& inst : World().Room().Active())
        inst->i_depth = double((seed = seed * 1664525u + 1013904223u) >> 20);
    state.ResumeTiming();
    DrawRoom();
  }
  state.counters["vertices_per_frame"] = double(device.vertices) / double(state.iterations());
  for (const auto& inst : World().Room().Active()) inst->i_depth = 0;
  Graphics() = real;
  sprite->i_tex = textures;
}
BENCHMARK(DrawStepWithoutDriver)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace

namespace {
// The depth sort alone, with the depths of DrawStepWithoutDriver.
void SortByDepth(benchmark::State& state) {
  Game& g = TheGame();
  if (!g.ok) {
    state.SkipWithError("no OpenGL 3.3 context");
    return;
  }
  uint32_t seed = 1;
  CLiveRoom& room = World().Room();
  for (auto _ : state) {
    state.PauseTiming();
    Game::Move();
    if (state.range(0) == 1)
      for (const auto& inst : room.Active()) inst->i_depth = -inst->i_y;
    if (state.range(0) == 2)
      for (const auto& inst : room.Active()) inst->i_depth = double((seed = seed * 1664525u + 1013904223u) >> 20);
    state.ResumeTiming();
    room.SortInstances();
  }
  for (const auto& inst : room.Active()) inst->i_depth = 0;
}
BENCHMARK(SortByDepth)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
}  // namespace
