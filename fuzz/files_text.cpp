// Settings files, directory masks and numbers in text, from arbitrary bytes: a settings file of
// any bytes loads, writes itself back and loads again to the same document; a value of any bytes
// reads as a number; a mask of any shape is matched against a name in bounded time.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "files/GameFiles.h"
#include "files/IniDocument.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kestro::files;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  CIniDocument doc;
  doc.Load(bytes);
  const std::string saved = doc.Save();
  CIniDocument again;
  again.Load(saved);
  if (again.Save() != saved) std::abort();
  std::string value;
  doc.ReadString(bytes.substr(0, 8), bytes.substr(0, 4), value);

  (void)IniRealValue(bytes);
  (void)IniRealText(IniRealValue(bytes));

  // The first zero byte splits the input into a mask and a name (names are at most 255 bytes).
  const size_t zero = bytes.find('\0');
  if (zero != std::string_view::npos) {
    const std::string_view name = bytes.substr(zero + 1, 255);
    (void)MaskMatches(bytes.substr(0, zero), name);
  }
  return 0;
}
