// The choosers drawn with Dear ImGui, frame by frame: the view's events become ImGui's input, a
// frame of widgets is built over the view's state, and its triangles are drawn through the drawing
// layer as user primitives (each clip rectangle a viewport of its own). This file alone uses ImGui.
#include <imgui.h>
#include <imgui_internal.h>
#include <imgui_stdlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

#include "dialogs/ChooserView.h"
#include "graphics/Graphics.h"

namespace kestro::dialogs {

namespace {

constexpr int kKeyTab = 9, kKeyEnter = 13, kKeyShift = 16, kKeyControl = 17, kKeyEscape = 27, kKeySpace = 32,
              kKeyPageUp = 33, kKeyPageDown = 34, kKeyEnd = 35, kKeyHome = 36, kKeyLeft = 37, kKeyUp = 38,
              kKeyRight = 39, kKeyDown = 40, kKeyInsert = 45, kKeyDelete = 46, kKeyBackspace = 8;

// The dialogs' ImGui context, made on first use; its font sheet is a texture of the drawing layer,
// made again whenever the device's textures were replaced.
struct RImGuiState {
  ImGuiContext* context = nullptr;
  int fontTexture = -1;
  int generation = -1;
  std::chrono::steady_clock::time_point last = std::chrono::steady_clock::now();
};

RImGuiState& State() {
  static RImGuiState s;
  if (!s.context) {
    s.context = ImGui::CreateContext();
    ImGui::SetCurrentContext(s.context);
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = nullptr;
    io.LogFilename = nullptr;
    // Keys by the games' virtual-key codes.
    io.KeyMap[ImGuiKey_Tab] = kKeyTab;
    io.KeyMap[ImGuiKey_LeftArrow] = kKeyLeft;
    io.KeyMap[ImGuiKey_RightArrow] = kKeyRight;
    io.KeyMap[ImGuiKey_UpArrow] = kKeyUp;
    io.KeyMap[ImGuiKey_DownArrow] = kKeyDown;
    io.KeyMap[ImGuiKey_PageUp] = kKeyPageUp;
    io.KeyMap[ImGuiKey_PageDown] = kKeyPageDown;
    io.KeyMap[ImGuiKey_Home] = kKeyHome;
    io.KeyMap[ImGuiKey_End] = kKeyEnd;
    io.KeyMap[ImGuiKey_Insert] = kKeyInsert;
    io.KeyMap[ImGuiKey_Delete] = kKeyDelete;
    io.KeyMap[ImGuiKey_Backspace] = kKeyBackspace;
    io.KeyMap[ImGuiKey_Space] = kKeySpace;
    io.KeyMap[ImGuiKey_Enter] = kKeyEnter;
    io.KeyMap[ImGuiKey_Escape] = kKeyEscape;
    io.KeyMap[ImGuiKey_A] = 'A';
    io.KeyMap[ImGuiKey_C] = 'C';
    io.KeyMap[ImGuiKey_V] = 'V';
    io.KeyMap[ImGuiKey_X] = 'X';
    io.KeyMap[ImGuiKey_Y] = 'Y';
    io.KeyMap[ImGuiKey_Z] = 'Z';
    ImGui::StyleColorsDark();
    ImGui::GetStyle().WindowRounding = 4;
    unsigned char* pixels = nullptr;
    int w = 0, h = 0;
    io.Fonts->GetTexDataAsRGBA32(&pixels, &w, &h);
  }
  ImGui::SetCurrentContext(s.context);
  CGraphics& g = Graphics();
  if (s.generation != g.Generation()) {
    s.generation = g.Generation();
    s.fontTexture = -1;
    if (g.HasDevice()) {
      unsigned char* pixels = nullptr;
      int w = 0, h = 0;
      ImGui::GetIO().Fonts->GetTexDataAsRGBA32(&pixels, &w, &h);
      std::vector<uint8_t> bgra(size_t(w) * size_t(h) * 4);
      for (size_t i = 0; i < size_t(w) * size_t(h); ++i) {
        bgra[i * 4] = pixels[i * 4 + 2];
        bgra[i * 4 + 1] = pixels[i * 4 + 1];
        bgra[i * 4 + 2] = pixels[i * 4];
        bgra[i * 4 + 3] = pixels[i * 4 + 3];
      }
      s.fontTexture = g.TextureCreateFromPixels(w, h, bgra.data());
    }
  }
  ImGui::GetIO().Fonts->SetTexID(reinterpret_cast<ImTextureID>(intptr_t(s.fontTexture + 1)));
  return s;
}

// Hands the view's waiting events to ImGui: one press, release or pointer move per frame (ImGui
// reads states, so two changes in one frame would be one), typed characters together.
void TakeEvents(CChooserView& v) {
  ImGuiIO& io = ImGui::GetIO();
  // Keys count as pressed for one frame; a held key's repeats come as more presses.
  for (int k = 0; k < 256; ++k)
    if (v.heldDown[k]) io.KeysDown[k] = v.heldDown[k] = false;
  std::deque<RInputEvent>& pending = v.Pending();
  while (!pending.empty() && !v.Done()) {
    const RInputEvent e = pending.front();
    pending.pop_front();
    const bool inRange = e.value >= 0 && e.value < 256;
    switch (e.kind) {
      case RInputEvent::kChar:
        if (e.value >= 32 && e.value < 0x110000 && e.value != 127) io.AddInputCharacter(unsigned(e.value));
        if (!pending.empty() && pending.front().kind == RInputEvent::kChar) continue;
        return;
      case RInputEvent::kKeyDown:
        if (e.value == kKeyEscape) return v.Cancel();
        if (e.value == kKeyEnter) return v.Accept();
        if (e.value == kKeyControl || e.value == 162 || e.value == 163) io.KeyCtrl = true;
        if (e.value == kKeyShift || e.value == 160 || e.value == 161) io.KeyShift = true;
        if (inRange) io.KeysDown[e.value] = v.heldDown[e.value] = true;
        return;
      case RInputEvent::kKeyUp:
        if (e.value == kKeyControl || e.value == 162 || e.value == 163) io.KeyCtrl = false;
        if (e.value == kKeyShift || e.value == 160 || e.value == 161) io.KeyShift = false;
        continue;
      case RInputEvent::kMouse: io.MousePos = ImVec2(float(e.x), float(e.y)); return;
      case RInputEvent::kButtonDown:
      case RInputEvent::kButtonUp:
        if (e.value >= 1 && e.value <= 3)
          io.MouseDown[e.value == 1 ? 0 : e.value == 2 ? 1 : 2] = e.kind == RInputEvent::kButtonDown;
        return;
      case RInputEvent::kWheel: io.MouseWheel += e.value > 0 ? 1.f : -1.f; return;
      case RInputEvent::kClose: return v.Cancel();
    }
  }
}

void FileWidgets(CChooserView& v) {
  ImGui::TextUnformatted(v.folder.c_str());
  if (v.Kind() != CChooserView::kFolder && !v.filters.empty()) {
    const char* current = v.filters[size_t(std::clamp(v.filter, 0, int(v.filters.size()) - 1))].description.c_str();
    if (ImGui::BeginCombo("Type", current)) {
      for (size_t i = 0; i < v.filters.size(); ++i)
        if (ImGui::Selectable(v.filters[i].description.c_str(), int(i) == v.filter)) {
          v.filter = int(i);
          v.ReadFolder();
        }
      ImGui::EndCombo();
    }
  }
  const float listHeight = std::max(40.f, ImGui::GetContentRegionAvail().y - 2 * ImGui::GetFrameHeightWithSpacing());
  std::string enter;
  if (ImGui::BeginListBox("##entries", ImVec2(-1, listHeight))) {
    for (size_t i = 0; i < v.entries.size(); ++i) {
      const RFolderEntry& e = v.entries[i];
      std::string label = e.folder ? "[" + e.name + "]" : e.name;
      if (ImGui::Selectable(label.c_str(), v.selected == int(i), ImGuiSelectableFlags_AllowDoubleClick)) {
        v.selected = int(i);
        if (e.folder && ImGui::IsMouseDoubleClicked(0)) enter = e.name;
        if (!e.folder) v.name = e.name;
        if (!e.folder && ImGui::IsMouseDoubleClicked(0)) v.Accept();
      }
    }
    ImGui::EndListBox();
  }
  if (!enter.empty()) {
    v.selected = -1;
    v.Enter(enter);
  }
  if (v.nameReset) {
    ImGui::ClearActiveID();
    v.nameReset = false;
  }
  if (v.frames == 0) ImGui::SetKeyboardFocusHere();
  ImGui::InputText(v.Kind() == CChooserView::kFolder ? "Folder" : "Name", &v.name, ImGuiInputTextFlags_AutoSelectAll);
}

void BuildFrame(CChooserView& v) {
  ImGuiIO& io = ImGui::GetIO();
  const float w = float(std::max(Graphics().RegionWidth(), 1)), h = float(std::max(Graphics().RegionHeight(), 1));
  io.DisplaySize = ImVec2(w, h);
  ImGui::NewFrame();
  const ImVec2 size(std::min(w - 16, 480.f), std::min(h - 16, v.Kind() == CChooserView::kColour ? 330.f : 340.f));
  ImGui::SetNextWindowPos(ImVec2((w - size.x) / 2, (h - size.y) / 2));
  ImGui::SetNextWindowSize(size);
  ImGui::Begin(v.caption.empty() ? "##chooser" : v.caption.c_str(), nullptr,
               ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoCollapse |
                   ImGuiWindowFlags_NoSavedSettings);
  if (v.Kind() == CChooserView::kColour) {
    float rgb[3] = {float(v.colour & 0xFF) / 255.f, float((v.colour >> 8) & 0xFF) / 255.f,
                    float((v.colour >> 16) & 0xFF) / 255.f};
    if (ImGui::ColorPicker3("##colour", rgb, ImGuiColorEditFlags_NoSidePreview | ImGuiColorEditFlags_DisplayRGB)) {
      auto byte = [](float f) { return int(std::lround(std::clamp(f, 0.f, 1.f) * 255)); };
      v.colour = byte(rgb[0]) | byte(rgb[1]) << 8 | byte(rgb[2]) << 16;
    }
  } else {
    FileWidgets(v);
  }
  bool ok = ImGui::Button(v.Kind() == CChooserView::kSave   ? "Save"
                          : v.Kind() == CChooserView::kOpen ? "Open"
                                                            : "OK",
                          ImVec2(80, 0));
  ImGui::SameLine();
  bool cancel = ImGui::Button("Cancel", ImVec2(80, 0));
  ImGui::End();
  ImGui::Render();
  if (ok) v.Accept();
  if (cancel) v.Cancel();
  ++v.frames;
}

uint32_t Argb(ImU32 c) {
  // ImGui packs R in the low byte, then G, B, A.
  return (c & 0xFF00FF00u) | ((c & 0xFFu) << 16) | ((c >> 16) & 0xFFu);
}

}  // namespace

void CChooserView::Update() {
  RImGuiState& s = State();
  auto now = std::chrono::steady_clock::now();
  ImGui::GetIO().DeltaTime = std::clamp(std::chrono::duration<float>(now - s.last).count(), 1.f / 1000.f, 0.5f);
  s.last = now;
  if (frames >= kWarmUpFrames) TakeEvents(*this);
  if (!Done()) BuildFrame(*this);
}

void CChooserView::Draw() {
  RImGuiState& s = State();
  const ImDrawData* data = ImGui::GetDrawData();
  CGraphics& g = Graphics();
  if (!data || !data->Valid || !g.HasDevice()) return;
  const RTexture* font = g.Texture(s.fontTexture);
  const float su = font && font->wt > 0 ? float(font->w) / float(font->wt) : 1.f;
  const float sv = font && font->ht > 0 ? float(font->h) / float(font->ht) : 1.f;
  const CGraphics::RViewState view = g.SaveView();
  std::vector<RVertex> tri;
  for (int n = 0; n < data->CmdListsCount; ++n) {
    const ImDrawList* list = data->CmdLists[n];
    for (const ImDrawCmd& cmd : list->CmdBuffer) {
      if (cmd.UserCallback) continue;
      const int x0 = std::max(0, int(cmd.ClipRect.x)), y0 = std::max(0, int(cmd.ClipRect.y));
      const int x1 = std::min(g.RegionWidth(), int(std::ceil(cmd.ClipRect.z)));
      const int y1 = std::min(g.RegionHeight(), int(std::ceil(cmd.ClipRect.w)));
      if (x1 <= x0 || y1 <= y0) continue;
      g.SetViewport(x0, y0, x1 - x0, y1 - y0);
      g.SetProjection(x0, y0, x1 - x0, y1 - y0, 0);
      tri.clear();
      const int tex = int(reinterpret_cast<intptr_t>(cmd.TextureId)) - 1;
      for (unsigned i = 0; i < cmd.ElemCount; ++i) {
        const ImDrawVert& src = list->VtxBuffer[int(cmd.VtxOffset + list->IdxBuffer[int(cmd.IdxOffset + i)])];
        RVertex vx;
        vx.x = src.pos.x;
        vx.y = src.pos.y;
        vx.colour = Argb(src.col);
        vx.u = src.uv.x * su;
        vx.v = src.uv.y * sv;
        tri.push_back(vx);
      }
      if (!tri.empty()) g.DrawPrimitive(EPrimitive::TriangleList, tri.data(), int(tri.size()), tex);
    }
  }
  g.RestoreView(view);
}

}  // namespace kestro::dialogs
