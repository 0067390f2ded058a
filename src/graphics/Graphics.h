// The drawing layer every part of the game draws through: the texture table, the kept drawing
// state, textured quads, untextured primitives, views and projection, clearing and the frame
// cycle. It computes all geometry and colours itself and hands vertices to an IGraphicsDevice.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "graphics/GraphicsDevice.h"
#include "graphics/Matrix.h"
#include "graphics/Texture.h"
#include "graphics/Window.h"

namespace kestro {

// A vertex colour from a game colour (0x00BBGGRR) and an alpha 0..1: ARGB, alpha rounded.
uint32_t VertexColour(int32_t gameColour, double alpha);
// The factor pair of a blend mode: 1 additive, 2 "max", 3 subtract, anything else normal.
void BlendModeFactors(int mode, int& src, int& dest);

// A grabbed part of the screen: BGRA rows from the top. On a 16-bit display the colours are
// those of the display's 5-6-5 pixels (`bits` 16), widened back to 8 bits per channel.
struct RGrab {
  int width = 0, height = 0;
  int bits = 32;
  std::vector<uint8_t> bgra;
};

class CGraphics {
 public:
  // The layer draws through `device` and presents into the destination `window` computes.
  void Attach(IGraphicsDevice* device, CWindowState* window);
  IGraphicsDevice* Device() const { return device_; }
  bool HasDevice() const { return device_ != nullptr; }

  // Device creation for the game window: region 640 x 480 clipped to the screen, the
  // synchronisation setting, clear to black, viewport and projection over the region, an empty
  // texture table, every kept state written to the device.
  void Start(bool synchronise);
  // Forgets the device (textures die with it).
  void Stop();

  // Textures. Ids are slots of the table; -1 means none or failure.
  int TextureCreate(int w, int h, bool renderTarget);
  int TextureCreateFromPixels(int w, int h, const uint8_t* bgra);
  int TextureCreateFromAlpha(int w, int h, const uint8_t* alpha);
  void TextureFree(int id);
  bool TextureExists(int id) const { return textures_.Exists(id); }
  double TextureWidth(int id) const { return textures_.ExtentU(id); }
  double TextureHeight(int id) const { return textures_.ExtentV(id); }
  const RTexture* Texture(int id) const { return textures_.Get(id); }
  void SetTexture(int id);

  // Textured quads (angles in radians; colours are game colours).
  void DrawTextureSimple(int id, double x, double y);
  void DrawTexture(int id, int32_t colour, double xorig, double yorig, double x, double y, double xscale,
                   double yscale, double angle, double alpha);
  void DrawTexturePart(int id, int32_t colour, double left, double top, double width, double height, double x,
                       double y, double xscale, double yscale, double angle, double alpha);
  // Corner colours top-left, top-right, bottom-right, bottom-left.
  void DrawTextureGeneral(int id, const int32_t colours[4], double alpha, double left, double top, double width,
                          double height, double x, double y, double xscale, double yscale, double angle);
  void DrawTextureTiled(int id, bool htiled, bool vtiled, double xorig, double yorig, double x, double y,
                        double xscale, double yscale, double areaLeft, double areaTop, double areaWidth,
                        double areaHeight, int32_t colour, double alpha);

  // Untextured primitives. Colours are ARGB vertex colours (see ColourWithAlpha for the
  // multi-colour forms and DrawColour for the kept one).
  void DrawPoint(double x, double y, uint32_t c);        // the kept-colour form
  void DrawPointColour(double x, double y, uint32_t c);  // the coloured form, shifted by 0.01
  void DrawLine(double x1, double y1, double x2, double y2, uint32_t c1, uint32_t c2);
  void DrawLineWidth(double x1, double y1, double x2, double y2, double w, uint32_t c1, uint32_t c2);
  void DrawTriangle(double x1, double y1, double x2, double y2, double x3, double y3, uint32_t c1, uint32_t c2,
                    uint32_t c3, bool outline);
  // Colours in the order (x1, y1), (x2, y1), (x2, y2), (x1, y2).
  void DrawRectangle(double x1, double y1, double x2, double y2, const uint32_t c[4], bool outline);
  void DrawEllipse(double x1, double y1, double x2, double y2, uint32_t centre, uint32_t edge, bool outline);
  void DrawRoundRect(double x1, double y1, double x2, double y2, double cw, double ch, uint32_t centre,
                     uint32_t edge, bool outline);
  // User primitives with an optional texture; the repeat setting applies to them.
  void DrawPrimitive(EPrimitive type, const RVertex* v, int count, int textureId);
  void SetCirclePrecision(int p);
  int CirclePrecision() const { return circleN_; }

  // The kept drawing colour and alpha.
  void SetColour(int32_t gameColour);
  void SetAlpha(double alpha);
  int32_t Colour() const { return colour_; }
  double Alpha() const { return alpha_; }
  uint32_t DrawColour() const { return drawColour_; }
  uint32_t ColourWithAlpha(int32_t gameColour) const { return VertexColour(gameColour, alpha_); }

  // Frame cycle.
  void BeginFrame() {}
  bool PresentFrame();
  bool RefreshWindow();
  // Only the wait for the display's next refresh (screen_wait_vsync).
  void WaitVerticalBlank();
  void ClearScreen(int32_t gameColour, double alpha = 1.0);
  void ClearDepth();

  // Views.
  void SetViewport(int left, int top, int width, int height);
  void SetProjection(double left, double top, double width, double height, double angle);
  void SetDepth(double d);
  double Depth() const { return z_; }
  void SetDeviceRegion(int w, int h);
  int RegionWidth() const { return regionW_; }
  int RegionHeight() const { return regionH_; }
  void SetWorld(const RMatrix& m);
  const RMatrix& World() const { return world_; }
  // The camera game code sets in the 3-D mode: the view transform, or the view and projection.
  // The room sets its own again for every view.
  void SetCamera(const RMatrix& view);
  void SetCamera(const RMatrix& view, const RMatrix& projection);
  const RMatrix& View() const { return view_; }
  const RMatrix& Projection() const { return projection_; }

  // Render states.
  void SetBlendMode(int mode);
  void SetBlendFactors(int src, int dest);
  void SetInterpolation(bool on);
  void SetTextureBlending(bool on);
  void SetTextureRepeat(bool on);
  void SetSynchronisation(bool on);
  bool Synchronisation() const { return sync_; }
  const RRenderState& KeptState() const { return kept_; }
  // 3-D switches kept for the render-state restore.
  void Set3DMode(bool on, bool hiddenSurface, bool perspective);
  void SetCulling(bool on);
  void SetShading(bool gouraud) { kept_.gouraud = gouraud; }
  void SetLightingOn(bool on) { kept_.lighting = on; }
  // The ambient light (a game colour) and the lights; kept and written to the device.
  void SetAmbient(int32_t gameColour);
  void SetLight(int index, const RLight& light);
  void EnableLight(int index, bool on);
  const RLighting& Lighting() const { return lighting_; }
  void SetFog(bool on, int32_t gameColour, double start, double end);
  bool Mode3D() const { return mode3d_; }
  bool Perspective() const { return perspective_; }
  bool HiddenSurface() const { return hidden_; }

  // Render targets: a texture made with the render-target flag, or -1 for the screen.
  bool SetRenderTarget(int id);
  int RenderTarget() const { return target_; }

  // Part of the current target (cut to the device region); empty when nothing is left.
  bool GrabScreen(int left, int top, int w, int h, RGrab& out);
  // Part of a render-target texture (cut to its image size); false when nothing can be read.
  bool GrabTexture(int id, int left, int top, int w, int h, RGrab& out);

  // The view (viewport, view and projection transforms) to put back after drawing elsewhere.
  struct RViewState {
    RPixelRect viewport;
    RMatrix view, projection;
  };
  RViewState SaveView() const { return {viewport_, view_, projection_}; }
  void RestoreView(const RViewState& v);
  // Changes whenever the texture table is emptied (device start and stop), so that holders of
  // texture ids outside the resources can tell that theirs are gone.
  int Generation() const { return generation_; }
  // A game colour of one pixel, -1 when it cannot be read.
  int32_t GetPixel(int x, int y);

  // Writes every kept state into the device again (after creation or reset).
  void RestoreRenderStates();

  // display_aa: the multisample levels 2, 4, 8, 16 the device offers, or-ed together.
  int DisplayAA() const { return device_ ? device_->MultisampleLevels() : 0; }
  // display_reset: asks for a reset with 2, 4 or 8 samples (anything else none), carried out by
  // the main loop after the frame is presented.
  void RequestDisplayReset(int level) {
    resetPending_ = true;
    resetLevel_ = level;
  }
  bool DisplayResetPending() const { return resetPending_; }
  // The asked-for reset: the desktop's own display mode back, the multisample level, the
  // target and depth cleared to black and every kept state written again.
  void ApplyDisplayReset();
  // The device reset itself (also after a failed present).
  void ResetDevice();

 private:
  void Quad(int id, const RVertex corners[4], double dxs[4], double dys[4], double x, double y, double angle);
  void Send(EPrimitive type, const RVertex* v, int count, uint32_t texture, bool wrap);
  RVertex V(double x, double y, uint32_t c, double u = 0, double v = 0) const;

  IGraphicsDevice* device_ = nullptr;
  CWindowState* window_ = nullptr;
  CTextureTable textures_;
  int32_t colour_ = 0;
  double alpha_ = 1;
  uint32_t drawColour_ = 0xFF000000u;
  double z_ = 0;
  bool mode3d_ = false, hidden_ = false, perspective_ = false;
  bool sync_ = false;
  RRenderState kept_;
  RLighting lighting_;
  int regionW_ = 640, regionH_ = 480;
  int target_ = -1;
  bool resetPending_ = false;
  int resetLevel_ = 0, multisample_ = 0;
  RPixelRect viewport_{0, 0, 640, 480};
  RMatrix world_ = RMatrix::Identity();
  RMatrix view_ = RMatrix::Identity();
  RMatrix projection_ = RMatrix::Identity();
  int generation_ = 0;
  int circleN_ = 24;
  std::vector<double> cos_, sin_;
  std::vector<RVertex> scratch_;
};

// The process-wide drawing layer.
CGraphics& Graphics();

}  // namespace kestro
