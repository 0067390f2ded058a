// Where sprites and backgrounds get their textures. A resource owns one texture per image, made
// when its images change and freed when it is cleared; the drawing layer installs itself as the
// source once it exists. Without a source (the builder, tools, model tests) images get none (-1).
#pragma once

namespace kestro {

class TBitmap32;

class ITextureSource {
 public:
  virtual ~ITextureSource() = default;
  // A texture of the image, or -1 when none can be made.
  virtual int CreateTexture(const TBitmap32& bitmap) = 0;
  virtual void FreeTexture(int texture) = 0;
};

void SetTextureSource(ITextureSource* source);  // nullptr: none
ITextureSource* TextureSource();

}  // namespace kestro
