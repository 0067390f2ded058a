// The game's constants: names and value texts in stored order; the script layer turns them into
// its constant table.
#pragma once

#include <string>
#include <vector>

namespace kestro {

class CStream;

struct CConstants {
  std::vector<std::string> names;
  std::vector<std::string> values;

  int Count() const { return int(names.size()); }
  void Clear() {
    names.clear();
    values.clear();
  }
  // int 800, int count, count pairs of strings (not packed).
  bool LoadFromStream(CStream& s);
  void SaveToStream(CStream& s) const;
};

}  // namespace kestro
