#include "graphics/ScreenSnapshot.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

#include "graphics/Graphics.h"
#include "resources/Bitmap32.h"
#include "resources/BmpFile.h"
#include "world/ErrorReport.h"

namespace kestro {

namespace {

bool GrabRegion(RGrab& g) {
  CGraphics& gr = Graphics();
  if (!gr.GrabScreen(0, 0, gr.RegionWidth(), gr.RegionHeight(), g)) return false;
  for (size_t i = 3; i < g.bgra.size(); i += 4) g.bgra[i] = 255;
  return true;
}

bool WritePng(const RGrab& g, const std::string& file) {
  TBitmap32 bm(g.width, g.height);
  std::copy(g.bgra.begin(), g.bgra.end(), reinterpret_cast<uint8_t*>(bm.Data()));
  std::string error;
  return bm.SaveToPng(file, error);
}

}  // namespace

bool SaveScreenSnapshot(const std::string& file) {
  if (file.empty()) {
    ReportActionError("Trying to save screen to empty image file name.", false);
    return false;
  }
  RGrab g;
  if (!GrabRegion(g)) return false;
  std::string ext = std::filesystem::path(file).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  if (ext == ".png") return WritePng(g, file);
  RPixels p{g.width, g.height, std::move(g.bgra)};
  const std::vector<uint8_t> bytes = EncodeBmp32(p);
  std::ofstream f(file, std::ios::binary | std::ios::trunc);
  return f && f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

bool WriteScreenPng(const std::string& file) {
  RGrab g;
  return GrabRegion(g) && WritePng(g, file);
}

}  // namespace kestro
