// Textures and drawing of sprites and backgrounds through the drawing layer. The member functions
// of CSprite and CBackground for these live in SpriteDraw.cpp.
#pragma once

namespace kestro {

struct CGameResources;

// The graphics preparation of the start-up: textures of every background, then every sprite
// image, then every font sheet of `res`. A texture that cannot be made stays -1; always true.
bool CreateGameTextures(CGameResources& res);
// The same for the run's own resources.
bool CreateGameTextures();

}  // namespace kestro
