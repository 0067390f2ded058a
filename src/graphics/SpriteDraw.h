// Textures and drawing of sprites and backgrounds through the drawing layer.
#pragma once

#include <cstdint>

namespace kestro {

class CSprite;
class CBackground;
struct CGameResources;

// The graphics preparation of the start-up: textures of every background, then every sprite
// image, then every font sheet of `res`. A texture that cannot be made stays -1; always true.
bool CreateGameTextures(CGameResources& res);
// The same for the run's own resources.
bool CreateGameTextures();

// Sprite image ind (wrapping) drawn with the origin placed at (x, y); angles in degrees, colours
// are game colours. Nothing is drawn without images.
void DrawSimple(const CSprite& s, int ind, double x, double y);
void Draw(const CSprite& s, int ind, int32_t colour, double alpha, double angle, double xscale, double yscale,
          double x, double y);
void DrawStretched(const CSprite& s, int ind, int32_t colour, double alpha, double w, double h, double x, double y);
void DrawPart(const CSprite& s, int ind, int32_t colour, double alpha, double left, double top, double width,
              double height, double x, double y, double xscale, double yscale);
// Corner colours top-left, top-right, bottom-right, bottom-left.
void DrawGeneral(const CSprite& s, int ind, const int32_t colours[4], double alpha, double left, double top,
                 double width, double height, double x, double y, double xscale, double yscale, double angle);
void DrawTiled(const CSprite& s, int ind, bool htiled, bool vtiled, double x, double y, double xscale,
               double yscale, double areaLeft, double areaTop, double areaWidth, double areaHeight, int32_t colour,
               double alpha);

// The same for backgrounds: origin (0, 0), no image index.
void DrawSimple(const CBackground& b, double x, double y);
void Draw(const CBackground& b, int32_t colour, double alpha, double angle, double xscale, double yscale, double x,
          double y);
void DrawStretched(const CBackground& b, int32_t colour, double alpha, double w, double h, double x, double y);
void DrawPart(const CBackground& b, int32_t colour, double alpha, double left, double top, double width,
              double height, double x, double y, double xscale, double yscale);
void DrawGeneral(const CBackground& b, const int32_t colours[4], double alpha, double left, double top,
                 double width, double height, double x, double y, double xscale, double yscale, double angle);
void DrawTiled(const CBackground& b, bool htiled, bool vtiled, double x, double y, double xscale, double yscale,
               double areaLeft, double areaTop, double areaWidth, double areaHeight, int32_t colour, double alpha);

}  // namespace kestro
