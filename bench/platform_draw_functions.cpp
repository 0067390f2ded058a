// Frames per second of the drawing functions of game code on the real device, headless, in a
// 640 x 480 region, each frame finished and read back: 1,000 draw_text calls of 20 characters
// (glyphs from the font's sheet, made once), 10,000 draw_rectangle, 10,000 draw_line, and the two
// in turn; with the draw calls each frame costs.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>

#include "graphics/Graphics.h"
#include "graphics/Text.h"
#include "platform/gl/GlDevice.h"
#include "platform/sdl/FreeTypeFonts.h"
#include "platform/sdl/SdlGameWindow.h"
#include "resources/Font.h"
#include "script/builtins/FunctionRegistry.h"
#include "tools/Bindings.h"

namespace {

using namespace kestro;

struct Scene {
  platform::SdlGameWindow window;
  platform::GlDevice device;
  platform::FreeTypeRasterizer fonts;
  bool ok = false;
  Scene() {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    tools::InstallGameBindings();
    SetTypefaceRasterizer(&fonts);
    std::string error;
    if (!window.Create("bench", error) || !device.Create(640, 480, error)) return;
    window.SetRegionSize(640, 480, true);
    Graphics().Attach(&device, &window.State());
    Graphics().Start(false);
    Graphics().SetDeviceRegion(640, 480);
    ok = true;
  }
};

Scene& TheScene() {
  static Scene s;
  return s;
}

struct RCall {
  int32_t id = 0;
  std::vector<RValue> args;
};

RCall Prepare(const char* name, std::vector<RValue> args) { return {*BuiltinRegistry().Find(name), std::move(args)}; }

void Run(benchmark::State& state, const std::vector<RCall>& calls) {
  Scene& s = TheScene();
  if (!s.ok) {
    state.SkipWithError("no OpenGL 3.3 context");
    return;
  }
  RGrab grab;
  RValue r;
  auto frame = [&] {
    Graphics().ClearScreen(0x202020);
    for (const RCall& c : calls)
      BuiltinRegistry().Call(c.id, nullptr, nullptr, int32_t(c.args.size()), c.args.data(), r);
    Graphics().GrabScreen(0, 0, 1, 1, grab);  // waits for the frame to be drawn
  };
  frame();  // programs, the default font and its sheet are made on first use
  int before = s.device.DrawCalls();
  for (auto _ : state) frame();
  state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["draw_calls"] = double(s.device.DrawCalls() - before) / double(state.iterations());
}

RValue N(double v) { return RValue::Real(v); }

void DrawText1000(benchmark::State& state) {
  std::mt19937 rng(1);
  std::uniform_real_distribution<double> px(0, 560), py(0, 460);
  std::vector<RCall> calls{Prepare("draw_set_color", {N(0xFFFFFF)})};
  for (int i = 0; i < 1000; ++i)
    calls.push_back(Prepare("draw_text", {N(px(rng)), N(py(rng)), RValue::String(RString("Score: 0123456789 ok"))}));
  Run(state, calls);
}

std::vector<RCall> Shapes(int rectangles, int lines, bool outline) {
  std::mt19937 rng(2);
  std::uniform_real_distribution<double> px(0, 620), py(0, 460), size(2, 20);
  std::vector<RCall> calls{Prepare("draw_set_color", {N(0x40C0FF)})};
  for (int i = 0; i < std::max(rectangles, lines); ++i) {
    double x = px(rng), y = py(rng);
    if (i < rectangles)
      calls.push_back(Prepare("draw_rectangle", {N(x), N(y), N(x + size(rng)), N(y + size(rng)), N(outline ? 1 : 0)}));
    if (i < lines) calls.push_back(Prepare("draw_line", {N(x), N(y), N(x + size(rng)), N(y + size(rng))}));
  }
  return calls;
}

void DrawRectangles10000(benchmark::State& state) { Run(state, Shapes(10000, 0, state.range(0) != 0)); }
void DrawLines10000(benchmark::State& state) { Run(state, Shapes(0, 10000, false)); }
// Filled rectangles and lines in turn: every change between triangles and lines ends a batch.
void DrawRectanglesAndLines(benchmark::State& state) { Run(state, Shapes(5000, 5000, false)); }

BENCHMARK(DrawText1000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(DrawRectangles10000)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(DrawLines10000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(DrawRectanglesAndLines)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
