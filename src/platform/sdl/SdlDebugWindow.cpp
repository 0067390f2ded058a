// The debug window's windows drawn with Dear ImGui (this file alone of the platform uses it): each
// SDL window has its own ImGui context (one font sheet shared by all) and a software renderer the
// draw lists go to as textured triangles.
#include "platform/sdl/SdlDebugWindow.h"

#include <imgui.h>
#include <imgui_stdlib.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>

namespace kestro::platform {

using namespace debug;

namespace {

constexpr Uint32 kTimerMs = 50;  // the window's own timer: the mouse panel, and drawing at most this often

// A caption without its access-key marks and without a trailing " ...".
std::string Plain(std::string_view caption) {
  std::string out;
  for (char c : caption)
    if (c != '&') out += c;
  if (out.size() > 4 && out.compare(out.size() - 4, 4, " ...") == 0) out.resize(out.size() - 4);
  return out;
}

Uint32 EventWindow(const SDL_Event& e) {
  switch (e.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: return e.key.windowID;
    case SDL_TEXTINPUT: return e.text.windowID;
    case SDL_MOUSEMOTION: return e.motion.windowID;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: return e.button.windowID;
    case SDL_MOUSEWHEEL: return e.wheel.windowID;
    case SDL_WINDOWEVENT: return e.window.windowID;
    default: return 0;
  }
}

std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

}  // namespace

struct SdlDebugWindow::RToolWindow {
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* font = nullptr;
  ImGuiContext* context = nullptr;
  Uint32 id = 0;
  const RInfoWindow* info = nullptr;  // null: the debug window itself
  std::deque<SDL_Event> events;       // under eventsLock_
  bool shown = false;
  Uint32 lastDraw = 0;
  Uint64 lastCounter = 0;
  uint64_t messagesDrawn = 0;
  int selected = 1;  // the grid's selected row
  // An input box or a message box over the window.
  struct RPrompt {
    std::string title, prompt, text;
    bool messageOnly = false;
    std::function<void(const std::string&)> ok;
  };
  std::optional<RPrompt> prompt;
  bool promptOpened = false;
  // What the frame asked for, carried out once it is drawn.
  std::vector<std::function<void()>> commands;
};

SdlDebugWindow::SdlDebugWindow() = default;

SdlDebugWindow::~SdlDebugWindow() { Close(); }

SDL_Window* SdlDebugWindow::Handle() const { return windows_.empty() ? nullptr : windows_[0]->window; }
SDL_Renderer* SdlDebugWindow::Renderer() const { return windows_.empty() ? nullptr : windows_[0]->renderer; }

std::vector<std::string> SdlDebugWindow::ShownCaptions() const {
  std::vector<std::string> captions;
  for (const auto& w : windows_)
    if (w->shown) captions.push_back(SDL_GetWindowTitle(w->window));
  return captions;
}

SDL_Window* SdlDebugWindow::InfoHandle(const RInfoWindow* info) const {
  for (const auto& w : windows_)
    if (w->info == info) return w->window;
  return nullptr;
}

int SdlDebugWindow::EventWatch(void* self, SDL_Event* e) {
  static_cast<SdlDebugWindow*>(self)->Receive(*e);
  return 0;
}

void SdlDebugWindow::Receive(const SDL_Event& e) {
  const Uint32 id = EventWindow(e);
  if (id == 0) return;
  std::lock_guard<std::mutex> lock(eventsLock_);
  for (auto& w : windows_)
    if (w->id == id) w->events.push_back(e);
}

void SdlDebugWindow::Open(CDebugWindow& model) {
  Close();
  model_ = &model;
  if (!SDL_WasInit(SDL_INIT_VIDEO)) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return;
    startedVideo_ = true;
  }
  fonts_ = std::make_unique<ImFontAtlas>();
  fonts_->AddFontDefault();
  // The client below the menu bar is 260 x 344; the window cannot be made smaller than that.
  RToolWindow* w = Make(kCaption, 10, 10, 260, 364, nullptr);
  if (!w) return;
  SDL_SetWindowMinimumSize(w->window, 260, 364);
  SDL_AddEventWatch(&SdlDebugWindow::EventWatch, this);
  watching_ = true;
  DrawNow();
}

SdlDebugWindow::RToolWindow* SdlDebugWindow::Make(const std::string& caption, int x, int y, int width, int height,
                                                  const RInfoWindow* info) {
  auto w = std::make_unique<RToolWindow>();
  w->info = info;
  w->window = SDL_CreateWindow(caption.c_str(), x, y, width, height, SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALWAYS_ON_TOP);
  if (!w->window) return nullptr;
  w->renderer = SDL_CreateRenderer(w->window, -1, SDL_RENDERER_SOFTWARE);
  if (!w->renderer) {
    SDL_DestroyWindow(w->window);
    return nullptr;
  }
  unsigned char* pixels = nullptr;
  int fw = 0, fh = 0;
  fonts_->GetTexDataAsRGBA32(&pixels, &fw, &fh);
  w->font = SDL_CreateTexture(w->renderer, SDL_PIXELFORMAT_ABGR8888, SDL_TEXTUREACCESS_STATIC, fw, fh);
  if (w->font) {
    SDL_UpdateTexture(w->font, nullptr, pixels, fw * 4);
    SDL_SetTextureBlendMode(w->font, SDL_BLENDMODE_BLEND);
  }
  ImGuiContext* saved = ImGui::GetCurrentContext();
  w->context = ImGui::CreateContext(fonts_.get());
  ImGui::SetCurrentContext(w->context);
  ImGuiIO& io = ImGui::GetIO();
  io.IniFilename = nullptr;
  io.LogFilename = nullptr;
  const std::pair<ImGuiKey, SDL_Scancode> keys[] = {
      {ImGuiKey_Tab, SDL_SCANCODE_TAB},
      {ImGuiKey_LeftArrow, SDL_SCANCODE_LEFT},
      {ImGuiKey_RightArrow, SDL_SCANCODE_RIGHT},
      {ImGuiKey_UpArrow, SDL_SCANCODE_UP},
      {ImGuiKey_DownArrow, SDL_SCANCODE_DOWN},
      {ImGuiKey_PageUp, SDL_SCANCODE_PAGEUP},
      {ImGuiKey_PageDown, SDL_SCANCODE_PAGEDOWN},
      {ImGuiKey_Home, SDL_SCANCODE_HOME},
      {ImGuiKey_End, SDL_SCANCODE_END},
      {ImGuiKey_Insert, SDL_SCANCODE_INSERT},
      {ImGuiKey_Delete, SDL_SCANCODE_DELETE},
      {ImGuiKey_Backspace, SDL_SCANCODE_BACKSPACE},
      {ImGuiKey_Space, SDL_SCANCODE_SPACE},
      {ImGuiKey_Enter, SDL_SCANCODE_RETURN},
      {ImGuiKey_Escape, SDL_SCANCODE_ESCAPE},
      {ImGuiKey_KeyPadEnter, SDL_SCANCODE_KP_ENTER},
      {ImGuiKey_A, SDL_SCANCODE_A},
      {ImGuiKey_C, SDL_SCANCODE_C},
      {ImGuiKey_V, SDL_SCANCODE_V},
      {ImGuiKey_X, SDL_SCANCODE_X},
      {ImGuiKey_Y, SDL_SCANCODE_Y},
      {ImGuiKey_Z, SDL_SCANCODE_Z},
  };
  for (auto [key, code] : keys) io.KeyMap[key] = code;
  ImGui::StyleColorsLight();
  ImGui::GetStyle().WindowRounding = 0;
  ImGui::SetCurrentContext(saved);
  w->id = SDL_GetWindowID(w->window);
  w->shown = true;
  std::lock_guard<std::mutex> lock(eventsLock_);
  windows_.push_back(std::move(w));
  return windows_.back().get();
}

void SdlDebugWindow::Close() {
  if (watching_) SDL_DelEventWatch(&SdlDebugWindow::EventWatch, this);
  watching_ = false;
  std::vector<std::unique_ptr<RToolWindow>> gone;
  {
    std::lock_guard<std::mutex> lock(eventsLock_);
    gone.swap(windows_);
  }
  for (auto& w : gone) {
    if (w->context) ImGui::DestroyContext(w->context);
    if (w->font) SDL_DestroyTexture(w->font);
    if (w->renderer) SDL_DestroyRenderer(w->renderer);
    if (w->window) SDL_DestroyWindow(w->window);
  }
  fonts_.reset();
  if (startedVideo_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  startedVideo_ = false;
  model_ = nullptr;
}

// The model's windows and their SDL windows kept alike: information windows appear when shown and
// hide when closed; the debug window hides when the model says so.
void SdlDebugWindow::Sync() {
  if (!model_ || windows_.empty()) return;
  auto show = [](RToolWindow& w, bool on) {
    if (w.shown == on) return;
    w.shown = on;
    if (on)
      SDL_ShowWindow(w.window);
    else
      SDL_HideWindow(w.window);
  };
  show(*windows_[0], model_->Shown());
  std::vector<const RInfoWindow*> infos;
  for (RInfoWindow* info : {model_->GlobalWindow(), model_->InstancesWindow(), model_->MessagesWindow()})
    if (info) infos.push_back(info);
  for (auto& local : model_->LocalWindows()) infos.push_back(local.get());
  for (const RInfoWindow* info : infos) {
    RToolWindow* w = nullptr;
    for (auto& t : windows_)
      if (t->info == info) w = t.get();
    if (!w) {
      if (!info->visible) continue;
      w = Make(info->caption, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, 296, 518, info);
      if (!w) continue;
    }
    if (info->visible && SDL_GetWindowTitle(w->window) != info->caption)
      SDL_SetWindowTitle(w->window, info->caption.c_str());
    show(*w, info->visible);
  }
}

void SdlDebugWindow::Pump() {
  if (inPump_ || !model_ || windows_.empty()) return;
  inPump_ = true;
  Sync();
  const Uint32 now = SDL_GetTicks();
  const bool tick = now - lastTick_ >= kTimerMs;
  if (tick) {
    lastTick_ = now;
    model_->Tick();
  }
  for (size_t k = 0; k < windows_.size(); ++k) {
    RToolWindow& w = *windows_[k];
    bool pending = false;
    {
      std::lock_guard<std::mutex> lock(eventsLock_);
      pending = !w.events.empty();
    }
    if (w.shown && (pending || now - w.lastDraw >= kTimerMs)) Draw(w);
  }
  Sync();
  inPump_ = false;
}

bool SdlDebugWindow::WaitWhilePaused() {
  if (!model_ || windows_.empty() || !model_->Shown()) return false;
  SDL_WaitEventTimeout(nullptr, 10);
  return true;
}

void SdlDebugWindow::Message(const std::string& text) {
  if (windows_.empty()) return;
  RToolWindow::RPrompt p;
  p.title = kCaption;
  p.prompt = text;
  p.messageOnly = true;
  windows_[0]->prompt = p;
  windows_[0]->promptOpened = false;
}

void SdlDebugWindow::DrawNow() {
  if (inPump_) return;
  inPump_ = true;
  Sync();
  for (size_t k = 0; k < windows_.size(); ++k)
    if (windows_[k]->shown) Draw(*windows_[k]);
  Sync();
  inPump_ = false;
}

void SdlDebugWindow::Draw(RToolWindow& w) {
  ImGuiContext* saved = ImGui::GetCurrentContext();
  ImGui::SetCurrentContext(w.context);
  ImGuiIO& io = ImGui::GetIO();
  int cw = 0, ch = 0;
  SDL_GetWindowSize(w.window, &cw, &ch);
  io.DisplaySize = ImVec2(float(std::max(cw, 1)), float(std::max(ch, 1)));
  const Uint64 counter = SDL_GetPerformanceCounter();
  io.DeltaTime = w.lastCounter
                     ? std::max(float(double(counter - w.lastCounter) / double(SDL_GetPerformanceFrequency())), 1e-4f)
                     : 1.0f / 60;
  w.lastCounter = counter;
  w.lastDraw = SDL_GetTicks();

  // The events since the last frame; a button that changes twice waits for the next frame, so a
  // quick click is seen as one.
  bool closeAsked = false;
  {
    std::lock_guard<std::mutex> lock(eventsLock_);
    bool button = false;
    while (!w.events.empty() && !button) {
      const SDL_Event e = w.events.front();
      w.events.pop_front();
      switch (e.type) {
        case SDL_MOUSEMOTION: io.MousePos = ImVec2(float(e.motion.x), float(e.motion.y)); break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
          const int b = e.button.button == SDL_BUTTON_LEFT ? 0 : e.button.button == SDL_BUTTON_RIGHT ? 1 : 2;
          io.MousePos = ImVec2(float(e.button.x), float(e.button.y));
          io.MouseDown[b] = e.type == SDL_MOUSEBUTTONDOWN;
          button = true;
          break;
        }
        case SDL_MOUSEWHEEL: io.MouseWheel += float(e.wheel.y > 0 ? 1 : e.wheel.y < 0 ? -1 : 0); break;
        case SDL_TEXTINPUT: io.AddInputCharactersUTF8(e.text.text); break;
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
          const int code = e.key.keysym.scancode;
          if (code >= 0 && code < int(IM_ARRAYSIZE(io.KeysDown))) io.KeysDown[code] = e.type == SDL_KEYDOWN;
          const SDL_Keymod mod = SDL_GetModState();
          io.KeyShift = (mod & KMOD_SHIFT) != 0;
          io.KeyCtrl = (mod & KMOD_CTRL) != 0;
          io.KeyAlt = (mod & KMOD_ALT) != 0;
          break;
        }
        case SDL_WINDOWEVENT:
          if (e.window.event == SDL_WINDOWEVENT_CLOSE) closeAsked = true;
          if (e.window.event == SDL_WINDOWEVENT_LEAVE) io.MousePos = ImVec2(-FLT_MAX, -FLT_MAX);
          break;
        default: break;
      }
    }
  }

  ImGui::NewFrame();
  ImGui::SetNextWindowPos(ImVec2(0, 0));
  ImGui::SetNextWindowSize(io.DisplaySize);
  const ImGuiWindowFlags flags = ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove |
                                 ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoBringToFrontOnFocus |
                                 (w.info ? 0 : ImGuiWindowFlags_MenuBar);
  ImGui::Begin("##window", nullptr, flags);
  if (w.info)
    BuildInfo(w);
  else
    BuildMain(w);
  // The input box or message box.
  if (w.prompt) {
    if (!w.promptOpened) {
      ImGui::OpenPopup("###prompt");
      w.promptOpened = true;
    }
    ImGui::SetNextWindowPos(ImVec2(io.DisplaySize.x / 2, io.DisplaySize.y / 2), ImGuiCond_Appearing,
                            ImVec2(0.5f, 0.5f));
    ImGui::SetNextWindowSizeConstraints(ImVec2(0, 0), ImVec2(io.DisplaySize.x - 8, io.DisplaySize.y - 8));
    const std::string title = w.prompt->title + "###prompt";
    if (ImGui::BeginPopupModal(title.c_str(), nullptr, ImGuiWindowFlags_AlwaysAutoResize)) {
      ImGui::PushTextWrapPos(io.DisplaySize.x - 24);
      ImGui::TextUnformatted(w.prompt->prompt.c_str());
      ImGui::PopTextWrapPos();
      bool ok = false;
      if (!w.prompt->messageOnly) {
        if (ImGui::IsWindowAppearing()) ImGui::SetKeyboardFocusHere();
        ImGui::SetNextItemWidth(std::min(220.0f, io.DisplaySize.x - 24));
        ok = ImGui::InputText("##text", &w.prompt->text, ImGuiInputTextFlags_EnterReturnsTrue);
      }
      ok = ImGui::Button("OK") || ok;
      bool cancel = false;
      if (!w.prompt->messageOnly) {
        ImGui::SameLine();
        cancel = ImGui::Button("Cancel");
      }
      if (ImGui::IsKeyPressed(SDL_SCANCODE_ESCAPE, false)) cancel = true;
      if (ok || cancel) {
        if (ok && w.prompt->ok) w.commands.push_back([f = w.prompt->ok, text = w.prompt->text] { f(text); });
        w.prompt.reset();
        ImGui::CloseCurrentPopup();
      }
      ImGui::EndPopup();
    } else {
      w.prompt.reset();
    }
  }
  ImGui::End();
  ImGui::Render();

  // The draw lists as triangles of the software renderer, each command clipped.
  SDL_SetRenderDrawColor(w.renderer, 240, 240, 240, 255);
  SDL_RenderClear(w.renderer);
  const ImDrawData* data = ImGui::GetDrawData();
  for (int n = 0; data && n < data->CmdListsCount; ++n) {
    const ImDrawList* list = data->CmdLists[n];
    const ImDrawVert* vtx = list->VtxBuffer.Data;
    const ImDrawIdx* idx = list->IdxBuffer.Data;
    for (const ImDrawCmd& cmd : list->CmdBuffer) {
      if (cmd.UserCallback) continue;
      SDL_Rect clip{int(cmd.ClipRect.x), int(cmd.ClipRect.y), int(cmd.ClipRect.z - cmd.ClipRect.x),
                    int(cmd.ClipRect.w - cmd.ClipRect.y)};
      if (clip.w <= 0 || clip.h <= 0) continue;
      SDL_RenderSetClipRect(w.renderer, &clip);
      const ImDrawVert* v = vtx + cmd.VtxOffset;
      SDL_RenderGeometryRaw(w.renderer, w.font, &v->pos.x, int(sizeof(ImDrawVert)),
                            reinterpret_cast<const SDL_Color*>(&v->col), int(sizeof(ImDrawVert)), &v->uv.x,
                            int(sizeof(ImDrawVert)), list->VtxBuffer.Size - int(cmd.VtxOffset), idx + cmd.IdxOffset,
                            int(cmd.ElemCount), int(sizeof(ImDrawIdx)));
    }
  }
  SDL_RenderSetClipRect(w.renderer, nullptr);
  SDL_RenderPresent(w.renderer);
  ImGui::SetCurrentContext(saved);

  // What the frame asked for, now that no frame is being built (a command may run game code).
  std::vector<std::function<void()>> commands;
  commands.swap(w.commands);
  const RInfoWindow* info = w.info;
  for (auto& c : commands) c();
  if (closeAsked && model_) {
    if (!info) {
      model_->Close();
    } else {
      // Closing an information window hides it; its text and target stay.
      for (RInfoWindow* i : {model_->GlobalWindow(), model_->InstancesWindow(), model_->MessagesWindow()})
        if (i == info) i->visible = false;
      for (auto& local : model_->LocalWindows())
        if (local.get() == info) local->visible = false;
    }
  }
}

void SdlDebugWindow::BuildMain(RToolWindow& w) {
  CDebugWindow& m = *model_;
  ImGuiIO& io = ImGui::GetIO();
  auto ask = [&w](RInputRequest r, std::function<void(const std::string&)> ok) {
    w.prompt = RToolWindow::RPrompt{r.caption, r.prompt, r.initial, false, std::move(ok)};
    w.promptOpened = false;
  };
  auto askFile = [ask](const char* caption, std::function<void(const std::string&)> ok) {
    ask({caption, "File name (Text Files *.txt, All Files *.*):", ""}, std::move(ok));
  };
  auto fail = [this](bool done, const std::string& error) {
    if (!done) Message(error);
  };
  // A command of the menus, toolbar or keys.
  auto run = [&](int c) {
    w.commands.push_back([this, c, &w, ask, askFile, fail] {
      CDebugWindow& d = *model_;
      switch (c) {
        case kRun: d.Run(); break;
        case kPause: d.Pause(); break;
        case kStep: d.Step(); break;
        case kRestart: d.Restart(); break;
        case kStop: d.Stop(); break;
        case kWatchAdd: ask(CDebugWindow::AddRequest(), [this](const std::string& t) { model_->AddWatch(t); }); break;
        case kWatchChange: {
          const int row = w.selected;
          ask(d.ChangeRequest(row), [this, row](const std::string& t) { model_->ChangeWatch(row, t); });
          break;
        }
        case kWatchDelete: d.DeleteWatch(w.selected); break;
        case kWatchClear: d.ClearWatches(); break;
        case kWatchLoad:
          askFile("Open", [this, fail](const std::string& name) {
            std::string error;
            fail(model_->LoadWatches(WithDefaultExtension(name), error), error);
          });
          break;
        case kWatchSave:
          askFile("Save As", [this, fail, &w](const std::string& typed) {
            const std::string name = WithDefaultExtension(typed);
            auto save = [this, fail, name](const std::string&) {
              std::string error;
              fail(model_->SaveWatches(name, error), error);
            };
            std::error_code ec;
            if (!std::filesystem::exists(name, ec)) return save(name);
            w.prompt = RToolWindow::RPrompt{"Confirm Save As", name + " already exists.\nDo you want to replace it?",
                                            "", true, save};
            w.promptOpened = false;
          });
          break;
        case kExecute: ask(d.ExecuteRequest(), [this](const std::string& t) { model_->ExecuteCode(t); }); break;
        case kSpeed: ask(d.SpeedRequest(), [this](const std::string& t) { model_->SetSpeed(t); }); break;
        case kShowGlobal: d.ShowGlobal(); break;
        case kShowLocal:
          ask(CDebugWindow::LocalRequest(), [this](const std::string& t) { model_->ShowLocal(t); });
          break;
        case kShowInstances: d.ShowInstances(); break;
        case kShowMessages: d.ShowMessages(); break;
        default: break;
      }
    });
  };
  auto hint = [](int c) {
    const char* h = Command(ECommand(c)).hint;
    if (*h && ImGui::IsItemHovered()) ImGui::SetTooltip("%s", h);
  };

  if (ImGui::BeginMenuBar()) {
    for (const RMenu& menu : Menus()) {
      if (!ImGui::BeginMenu(Plain(menu.caption).c_str())) continue;
      for (int item : menu.items) {
        if (item == kSeparator) {
          ImGui::Separator();
          continue;
        }
        const RCommand& c = Command(ECommand(item));
        std::string caption(c.caption);
        caption.erase(std::remove(caption.begin(), caption.end(), '&'), caption.end());
        if (ImGui::MenuItem(caption.c_str(), *c.shortcut ? c.shortcut : nullptr, false, m.Enabled(ECommand(item))))
          run(item);
        hint(item);
      }
      ImGui::EndMenu();
    }
    ImGui::EndMenuBar();
  }

  // The toolbar; buttons wrap onto a second row when the window is narrow.
  const float right = ImGui::GetWindowContentRegionMax().x;
  bool first = true;
  for (int item : ToolbarItems()) {
    if (item == kSeparator) {
      first = true;
      continue;
    }
    const std::string label = Plain(Command(ECommand(item)).caption);
    const float width = ImGui::CalcTextSize(label.c_str()).x + ImGui::GetStyle().FramePadding.x * 2;
    if (!first && ImGui::GetItemRectMax().x + ImGui::GetStyle().ItemSpacing.x + width < right) ImGui::SameLine();
    first = false;
    ImGui::BeginDisabled(!m.Enabled(ECommand(item)));
    if (ImGui::Button(label.c_str())) run(item);
    ImGui::EndDisabled();
    hint(item);
  }

  // The watch grid: a header row, the watches, one empty row to enter a new one.
  const float statusHeight = ImGui::GetFrameHeightWithSpacing();
  const ImGuiTableFlags tableFlags =
      ImGuiTableFlags_Resizable | ImGuiTableFlags_Borders | ImGuiTableFlags_ScrollY | ImGuiTableFlags_SizingFixedFit;
  if (ImGui::BeginTable("watches", 2, tableFlags, ImVec2(0, -statusHeight))) {
    ImGui::TableSetupScrollFreeze(0, 1);
    ImGui::TableSetupColumn("Expression", ImGuiTableColumnFlags_WidthFixed, 136);
    ImGui::TableSetupColumn("Value", ImGuiTableColumnFlags_WidthStretch);
    ImGui::TableHeadersRow();
    const std::vector<RWatch>& watches = m.Watches();
    w.selected = std::clamp(w.selected, 1, m.RowCount() - 1);
    for (int row = 1; row < m.RowCount(); ++row) {
      ImGui::TableNextRow(0, 16);
      ImGui::TableSetColumnIndex(0);
      ImGui::PushID(row);
      const bool watch = row <= int(watches.size());
      if (ImGui::Selectable("##row", w.selected == row,
                            ImGuiSelectableFlags_SpanAllColumns | ImGuiSelectableFlags_AllowDoubleClick)) {
        w.selected = row;
        if (ImGui::IsMouseDoubleClicked(0)) run(kWatchChange);
      }
      ImGui::SameLine();
      ImGui::TextUnformatted(watch ? watches[size_t(row - 1)].expression.c_str() : "");
      ImGui::TableSetColumnIndex(1);
      ImGui::TextUnformatted(watch ? watches[size_t(row - 1)].value.c_str() : "");
      ImGui::PopID();
    }
    ImGui::EndTable();
  }

  // The status bar: frame rate, instance count, mouse id (60, 60 and 200 pixels).
  ImGui::Separator();
  const float x0 = ImGui::GetCursorPosX();
  ImGui::TextUnformatted(m.Panel(0).c_str());
  ImGui::SameLine(x0 + 60);
  ImGui::TextUnformatted(m.Panel(1).c_str());
  ImGui::SameLine(x0 + 120);
  ImGui::TextUnformatted(m.Panel(2).c_str());

  // The shortcut keys, while no box asks for a text.
  if (!w.prompt && !io.WantTextInput && ImGui::IsWindowFocused(ImGuiFocusedFlags_RootAndChildWindows)) {
    auto pressed = [](SDL_Scancode s) { return ImGui::IsKeyPressed(s, false); };
    const bool ctrl = io.KeyCtrl, alt = io.KeyAlt;
    if (ctrl && alt) {
      if (pressed(SDL_SCANCODE_R)) run(kRun);
      if (pressed(SDL_SCANCODE_P)) run(kPause);
      if (pressed(SDL_SCANCODE_S)) run(kStep);
      if (pressed(SDL_SCANCODE_N)) run(kRestart);
    } else if (alt && pressed(SDL_SCANCODE_F4)) {
      run(kStop);
    } else if (ctrl) {
      const std::pair<SDL_Scancode, int> keys[] = {{SDL_SCANCODE_A, kWatchAdd},   {SDL_SCANCODE_H, kWatchChange},
                                                   {SDL_SCANCODE_C, kWatchClear}, {SDL_SCANCODE_L, kWatchLoad},
                                                   {SDL_SCANCODE_S, kWatchSave},  {SDL_SCANCODE_E, kExecute}};
      for (auto [key, c] : keys)
        if (pressed(key)) run(c);
    } else if (pressed(SDL_SCANCODE_DELETE)) {
      run(kWatchDelete);
    }
  }
}

void SdlDebugWindow::BuildInfo(RToolWindow& w) {
  const RInfoWindow* info = w.info;
  const bool messages = info == model_->MessagesWindow();
  if (ImGui::Button("Save")) {
    w.prompt = RToolWindow::RPrompt{"Save As", "File name (Text Files *.txt, All Files *.*):", "", false,
                                    [this, info](const std::string& typed) {
                                      std::string error;
                                      if (!model_->SaveInfo(*info, WithDefaultExtension(typed), error)) Message(error);
                                    }};
    w.promptOpened = false;
  }
  if (ImGui::IsItemHovered()) ImGui::SetTooltip("Save the information");
  ImGui::Separator();
  ImGui::BeginChild("text", ImVec2(0, 0), false, ImGuiWindowFlags_HorizontalScrollbar);
  // The reader's place survives refreshes (the child keeps its scroll); the messages follow new
  // lines only while the reader is at their end.
  const bool atEnd = ImGui::GetScrollY() >= ImGui::GetScrollMaxY() - 1;
  std::vector<std::string_view> lines;
  if (messages) {
    for (const std::string& line : model_->Messages()) lines.push_back(line);
  } else {
    lines = Lines(info->text);
  }
  ImGuiListClipper clipper;
  clipper.Begin(int(lines.size()));
  while (clipper.Step())
    for (int k = clipper.DisplayStart; k < clipper.DisplayEnd; ++k) {
      const std::string_view line = lines[size_t(k)];
      ImGui::TextUnformatted(line.data(), line.data() + line.size());
    }
  clipper.End();
  if (messages && model_->MessageCount() != w.messagesDrawn) {
    if (atEnd) ImGui::SetScrollHereY(1.0f);
    w.messagesDrawn = model_->MessageCount();
  }
  ImGui::EndChild();
}

}  // namespace kestro::platform
