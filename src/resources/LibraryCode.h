// The library initialisation code: pieces of code the action libraries run at game start.
#pragma once

#include <string>
#include <vector>

namespace kestro {

class CStream;

struct CLibraryCode {
  std::vector<std::string> pieces;  // in stored order

  void Clear() { pieces.clear(); }
  // int 500, int n, n strings.
  bool LoadFromStream(CStream& s);
  void SaveToStream(CStream& s) const;
};

}  // namespace kestro
