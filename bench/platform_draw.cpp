// Frames per second of the drawing layer on the real device, headless: 10,000 textured 32 x 32
// quads per frame in a 640 x 480 region, then the frame is finished and read back.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>

#include "graphics/Graphics.h"
#include "platform/gl/GlDevice.h"
#include "platform/sdl/SdlGameWindow.h"

namespace {

using namespace kestro;

struct Scene {
  platform::SdlGameWindow window;
  platform::GlDevice device;
  CGraphics g;
  std::vector<int> textures;
  bool ok = false;
  Scene() {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    std::string error;
    if (!window.Create("bench", error) || !device.Create(640, 480, error)) return;
    window.SetRegionSize(640, 480, true);
    g.Attach(&device, &window.State());
    g.Start(false);
    std::vector<uint8_t> px(32 * 32 * 4);
    for (int t = 0; t < 4; ++t) {
      for (size_t i = 0; i < px.size(); ++i) px[i] = uint8_t(i * (t + 3));
      textures.push_back(g.TextureCreateFromPixels(32, 32, px.data()));
    }
    ok = true;
  }
};

void Draw(benchmark::State& state, double scale) {
  static Scene s;
  if (!s.ok) {
    state.SkipWithError("no OpenGL 3.3 context");
    return;
  }
  const int textureCount = int(state.range(0));
  std::mt19937 rng(1);
  std::uniform_real_distribution<double> px(-16, 624), py(-16, 464);
  std::vector<std::pair<double, double>> pos(10000);
  for (auto& p : pos) p = {px(rng), py(rng)};
  RGrab grab;
  auto frame = [&] {
    s.g.ClearScreen(0x404040);
    for (size_t i = 0; i < pos.size(); ++i)
      s.g.DrawTexture(s.textures[i % size_t(textureCount)], 0xFFFFFF, 16, 16, pos[i].first, pos[i].second, scale,
                      scale, 0, 1);
    s.g.GrabScreen(0, 0, 1, 1, grab);  // waits for the frame to be drawn
  };
  frame();  // shader programs are made on first use
  int calls = s.device.DrawCalls();
  for (auto _ : state) frame();
  state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["draw_calls"] =
      benchmark::Counter(double(s.device.DrawCalls() - calls) / double(state.iterations()));
}

void DrawQuads(benchmark::State& state) { Draw(state, 1); }
// The same quads shrunk to one pixel: what the layer and the batching cost without the filling.
void DrawQuadsNoFill(benchmark::State& state) { Draw(state, 1.0 / 32); }

// One texture: the whole frame is one batch. Four textures taken in turn share batches of
// several texture units.
BENCHMARK(DrawQuads)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(DrawQuadsNoFill)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
