#include "platform/sdl/SdlLoadWindow.h"

#include <algorithm>

#include "platform/sdl/SdlLabelText.h"
#include "resources/GameSettings.h"

namespace kestro::platform {

namespace {

SDL_Texture* MakeTexture(SDL_Renderer* r, const RPixels& p) {
  if (!r || p.width <= 0 || p.height <= 0) return nullptr;
  SDL_Texture* t = SDL_CreateTexture(r, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC, p.width, p.height);
  if (!t) return nullptr;
  SDL_UpdateTexture(t, nullptr, p.bgra.data(), p.width * 4);
  SDL_SetTextureBlendMode(t, SDL_BLENDMODE_BLEND);
  return t;
}

SDL_Rect ToSdl(const RPixelRect& r) { return {r.x, r.y, r.w, r.h}; }

// The loading window lives beside the game window; whatever it does must leave the game's
// OpenGL context current.
class KeepContext {
 public:
  KeepContext() : window_(SDL_GL_GetCurrentWindow()), context_(SDL_GL_GetCurrentContext()) {}
  ~KeepContext() {
    if (window_ && context_ && SDL_GL_GetCurrentContext() != context_) SDL_GL_MakeCurrent(window_, context_);
  }

 private:
  SDL_Window* window_;
  SDL_GLContext context_;
};

bool Offscreen() {
  const char* d = SDL_GetCurrentVideoDriver();
  return d && (std::string(d) == "offscreen" || std::string(d) == "dummy");
}

}  // namespace

SdlLoadWindow::~SdlLoadWindow() { Close(); }

void SdlLoadWindow::SetUp(bool debug) {
  KeepContext keep;
  Close();
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");  // the run handles SIGINT and SIGTERM itself
  if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return;
  SDL_DisplayMode mode{};
  int sw = 1024, sh = 768;
  if (SDL_GetDesktopDisplayMode(0, &mode) == 0) {
    sw = mode.w;
    sh = mode.h;
  }
  layout_.SetUp(GameSettings(), debug, sw, sh);
  int w = layout_.ClientWidth(), h = layout_.ClientHeight();
  Uint32 flags = SDL_WINDOW_BORDERLESS | SDL_WINDOW_HIDDEN | SDL_WINDOW_SKIP_TASKBAR;
  // A transparent colour needs a shaped window, which only some window systems offer.
  if (layout_.TransparentColour() >= 0 && !Offscreen())
    window_ = SDL_CreateShapedWindow("", unsigned(std::max(layout_.Left(), 0)), unsigned(std::max(layout_.Top(), 0)),
                                     unsigned(w), unsigned(h), flags);
  if (!window_) window_ = SDL_CreateWindow("", layout_.Left(), layout_.Top(), w, h, flags);
  if (!window_) return;
  renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
  if (!renderer_) {
    Close();
    return;
  }
  image_ = MakeTexture(renderer_, layout_.Image());
  empty_ = MakeTexture(renderer_, layout_.BarEmpty());
  full_ = MakeTexture(renderer_, layout_.BarFull());
  if (SDL_IsShapedWindow(window_) && layout_.TransparentColour() >= 0) {
    const RPixels& p = layout_.Image();
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint8_t*>(p.bgra.data()), p.width, p.height, 32,
                                                        p.width * 4, SDL_PIXELFORMAT_ARGB8888);
    if (s) {
      int32_t c = layout_.TransparentColour();
      SDL_WindowShapeMode shape{};
      shape.mode = ShapeModeColorKey;
      shape.parameters.colorKey = {Uint8(c & 255), Uint8((c >> 8) & 255), Uint8((c >> 16) & 255), 255};
      SDL_SetWindowShape(window_, s, &shape);
      SDL_FreeSurface(s);
    }
  }
  if (layout_.Alpha() < 255) SDL_SetWindowOpacity(window_, float(layout_.Alpha()) / 255.f);
  SDL_ShowWindow(window_);
  SetProgress(0, layout_.Text());
}

void SdlLoadWindow::Paint() {
  if (!renderer_) return;
  // The window's own face where no picture covers it.
  SDL_SetRenderDrawColor(renderer_, 240, 240, 240, 255);
  SDL_RenderClear(renderer_);
  if (image_) SDL_RenderCopy(renderer_, image_, nullptr, nullptr);
  if (layout_.BarVisible()) {
    SDL_Rect er = ToSdl(layout_.EmptyRect()), fr = ToSdl(layout_.FullRect());
    if (empty_) {
      SDL_RenderCopy(renderer_, empty_, nullptr, &er);
    } else if (!image_) {
      // No pictures at all: a plain bar, so the player still sees the progress.
      SDL_SetRenderDrawColor(renderer_, 128, 128, 128, 255);
      SDL_RenderDrawRect(renderer_, &er);
    }
    if (full_ && fr.w > 0) {
      if (layout_.StretchFull()) {
        SDL_RenderCopy(renderer_, full_, nullptr, &fr);
      } else {
        // Unstretched, the picture keeps its size and the bar's width cuts it.
        const RPixels& p = layout_.BarFull();
        SDL_Rect src{0, 0, std::min(p.width, fr.w), std::min(p.height, fr.h)};
        SDL_Rect dst{fr.x, fr.y, src.w, src.h};
        SDL_RenderCopy(renderer_, full_, &src, &dst);
      }
    } else if (!full_ && !image_ && fr.w > 0) {
      SDL_SetRenderDrawColor(renderer_, 0, 0, 160, 255);
      SDL_RenderFillRect(renderer_, &fr);
    }
  }
  if (layout_.LabelVisible() && label_) {
    // Black text on the picture, vertically centred in the label's box and cut by it.
    SDL_Rect box = ToSdl(layout_.LabelRect());
    int tw = 0, th = 0;
    SDL_QueryTexture(label_, nullptr, nullptr, &tw, &th);
    SDL_Rect src{0, 0, std::min(tw, box.w), std::min(th, box.h)};
    SDL_Rect dst{box.x, box.y + (box.h - src.h) / 2, src.w, src.h};
    SDL_RenderCopy(renderer_, label_, &src, &dst);
  }
  SDL_RenderPresent(renderer_);
}

void SdlLoadWindow::SetProgress(int percent, const std::string& text) {
  layout_.SetProgress(percent, text);
  if (!window_) return;
  KeepContext keep;
  if (layout_.LabelVisible()) {
    if (label_) SDL_DestroyTexture(label_);
    label_ = MakeTexture(renderer_, RenderLabelText(text, 8));
  }
  // Keep the window responsive while loading; input events are left for the game window.
  SDL_PumpEvents();
  SDL_FlushEvents(SDL_WINDOWEVENT, SDL_WINDOWEVENT);
  Paint();
}

bool SdlLoadWindow::Snapshot(RPixels& out) {
  if (!renderer_) return false;
  Paint();
  int w = layout_.ClientWidth(), h = layout_.ClientHeight();
  out.width = w;
  out.height = h;
  out.bgra.assign(size_t(w) * size_t(h) * 4, 0);
  SDL_Rect all{0, 0, w, h};
  return SDL_RenderReadPixels(renderer_, &all, SDL_PIXELFORMAT_ARGB8888, out.bgra.data(), w * 4) == 0;
}

void SdlLoadWindow::Close() {
  KeepContext keep;
  for (SDL_Texture** t : {&image_, &empty_, &full_, &label_}) {
    if (*t) SDL_DestroyTexture(*t);
    *t = nullptr;
  }
  if (renderer_) SDL_DestroyRenderer(renderer_);
  renderer_ = nullptr;
  if (window_) SDL_DestroyWindow(window_);
  window_ = nullptr;
  layout_.Close();
}

}  // namespace kestro::platform
