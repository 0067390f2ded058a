// Reads arbitrary text as the text form of a data structure: it must be read, refused as another
// kind or refused as damaged, never crash, hang or allocate beyond what the text can hold. The
// first byte picks the kind. Whatever is read must write a text that reads back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <type_traits>

#include "datastructures/DataStructures.h"

namespace {

using namespace kestro;

template <class T>
void Check(std::string_view text) {
  T d;
  if (d.Read(text) != EDsRead::kRead) return;
  const std::string once = d.Write();
  T again;
  if (again.Read(once) != EDsRead::kRead || again.Size() != d.Size()) std::abort();
  // A map's keys go where the comparison puts them, which for keys equal within the precision
  // need not be where they were written; every other kind writes back exactly.
  if constexpr (!std::is_same_v<T, CDS_Map>) {
    if (again.Write() != once) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  switch (data[0] % 6) {
    case 0: Check<CDS_Stack>(text); break;
    case 1: Check<CDS_Queue>(text); break;
    case 2: Check<CDS_List>(text); break;
    case 3: Check<CDS_Map>(text); break;
    case 4: Check<CDS_Priority>(text); break;
    default: Check<CDS_Grid>(text); break;
  }
  return 0;
}
