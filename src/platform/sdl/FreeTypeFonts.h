// Typefaces installed on the system through fontconfig (which also picks the metric-compatible
// stand-in for a face that is not installed) and FreeType (glyph images with 65 coverage levels).
#pragma once

#include <set>
#include <string>

#include "resources/Typeface.h"

namespace kestro::platform {

class FreeTypeRasterizer final : public ITypefaceRasterizer {
 public:
  FreeTypeRasterizer() = default;
  ~FreeTypeRasterizer() override;
  FreeTypeRasterizer(const FreeTypeRasterizer&) = delete;
  FreeTypeRasterizer& operator=(const FreeTypeRasterizer&) = delete;

  std::unique_ptr<ITypeface> Open(const std::string& name, int pixels, bool bold, bool italic) override;

  // The family fontconfig gives for a requested name ("" when none).
  static std::string MatchFamily(const std::string& name, bool bold, bool italic);

 private:
  void* library_ = nullptr;  // FT_Library, made on first use
  std::set<std::string> noted_;
};

}  // namespace kestro::platform
