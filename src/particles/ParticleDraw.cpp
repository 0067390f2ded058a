#include "particles/ParticleDraw.h"

#include <array>
#include <cmath>
#include <memory>

#include "graphics/Graphics.h"
#include "graphics/SpriteDraw.h"
#include "particles/ParticleShapes.h"
#include "resources/GameResources.h"

namespace kestro {

namespace {

constexpr int kBlendNormal = 0, kBlendAdd = 1;

struct RShapeSprites {
  std::array<std::unique_ptr<CSprite>, kParticleShapes> sprites;
  int generation = -1;
};

}  // namespace

const CSprite* ParticleShapeSprite(int shape) {
  static RShapeSprites shapes;
  if (shape < 0 || shape >= kParticleShapes) return nullptr;
  if (!shapes.sprites[0]) {
    for (int k = 0; k < kParticleShapes; ++k) {
      auto s = std::make_unique<CSprite>();
      s->i_bitmap = {ParticleShapeImage(k)};
      s->i_numb = 1;
      s->i_xorig = s->i_yorig = kParticleShapeSize / 2;
      shapes.sprites[size_t(k)] = std::move(s);
    }
  }
  // The textures go with the device: a new device (or none yet) means new textures. The old ids
  // belong to a table that no longer exists and are not freed.
  if (shapes.generation != Graphics().Generation()) {
    for (auto& s : shapes.sprites) {
      s->i_tex.assign(1, -1);
      if (Graphics().HasDevice()) s->InitTexture();
    }
    shapes.generation = Graphics().Generation();
  }
  return shapes.sprites[size_t(shape)].get();
}

void DrawParticleSystem(CParticles& particles, const RParticleSystem& ps) {
  CGraphics& g = Graphics();
  const RRenderState kept = g.KeptState();
  g.SetInterpolation(true);
  bool additive = false;
  const size_t n = ps.particles.size();
  for (size_t k = 0; k < n; ++k) {
    const RParticle& p = ps.particles[ps.oldtonew ? k : n - 1 - k];
    if (p.lifetime <= 0) continue;
    const RParticleType* t = particles.Type(p.parttype);
    if (!t) continue;
    const CSprite* s = Sprites().Get(t->sprite);
    if (!s) s = ParticleShapeSprite(t->shape);
    if (!s) continue;
    int frame = p.spritestart;
    if (t->spriteanim) {
      if (t->spritestretch)
        frame = int(std::floor(double(s->i_numb) * p.age / p.lifetime)) + p.spritestart;
      else
        frame = p.spritestart + p.age;
    }
    const double size = p.size + t->sizerand * ParticleWiggle(double((int64_t(p.age) + p.ran) % 16) / 4);
    const double angle = p.ang + (t->angdir ? p.dir : 0) +
                         t->angrand * ParticleWiggle(double((int64_t(p.age) + 2 * int64_t(p.ran)) % 16) / 4);
    if (t->additiveblend != additive) {
      additive = t->additiveblend;
      g.SetBlendMode(additive ? kBlendAdd : kBlendNormal);
    }
    Draw(*s, frame, p.color, p.alpha, angle, t->xscale * size, t->yscale * size, p.x + ps.xdraw, p.y + ps.ydraw);
  }
  // The blending and filtering the game had set stay as they were.
  g.SetBlendFactors(kept.srcBlend, kept.destBlend);
  g.SetInterpolation(kept.linearFilter);
}

}  // namespace kestro
