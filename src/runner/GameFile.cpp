#include "runner/GameFile.h"

#include <elf.h>

#include <algorithm>
#include <cstring>

#include "platform/posix/Files.h"
#include "resources/GameSettings.h"
#include "runner/Runner.h"
#include "io/Crc.h"
#include "io/Stream.h"

namespace kestro {

namespace {

uint32_t Word(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

bool Matches(const uint8_t* p) {
  return (Word(p) & 0xFF00FF00u) + (Word(p + 4) & 0x00FF00FFu) == kMarkerSum;
}

}  // namespace

// Whether the `length` bytes from `offset` lie inside a file of `size` bytes: no sum that could wrap.
static bool Inside(uint64_t offset, uint64_t length, size_t size) { return offset <= size && length <= size - offset; }

size_t ElfImageEnd(const uint8_t* data, size_t size) {
  if (size < sizeof(Elf64_Ehdr) || std::memcmp(data, ELFMAG, SELFMAG) != 0 ||
      data[EI_CLASS] != ELFCLASS64)
    return 0;
  Elf64_Ehdr eh;
  std::memcpy(&eh, data, sizeof eh);
  // Every offset, size and count comes from the file: a header that points outside it is not a
  // program image.
  if (eh.e_ehsize > size) return 0;
  uint64_t end = eh.e_ehsize;
  // Section and program header tables, then everything they point at.
  if (eh.e_shentsize == sizeof(Elf64_Shdr)) {
    const uint64_t tableSize = uint64_t(eh.e_shnum) * sizeof(Elf64_Shdr);
    if (!Inside(eh.e_shoff, tableSize, size)) return 0;
    end = std::max(end, eh.e_shoff + tableSize);
    for (unsigned i = 0; i < eh.e_shnum; ++i) {
      Elf64_Shdr sh;
      std::memcpy(&sh, data + eh.e_shoff + i * sizeof sh, sizeof sh);
      if (sh.sh_type != SHT_NOBITS && Inside(sh.sh_offset, sh.sh_size, size))
        end = std::max<uint64_t>(end, sh.sh_offset + sh.sh_size);
    }
  }
  if (eh.e_phentsize == sizeof(Elf64_Phdr)) {
    const uint64_t tableSize = uint64_t(eh.e_phnum) * sizeof(Elf64_Phdr);
    if (!Inside(eh.e_phoff, tableSize, size)) return 0;
    end = std::max(end, eh.e_phoff + tableSize);
    for (unsigned i = 0; i < eh.e_phnum; ++i) {
      Elf64_Phdr ph;
      std::memcpy(&ph, data + eh.e_phoff + i * sizeof ph, sizeof ph);
      if (Inside(ph.p_offset, ph.p_filesz, size)) end = std::max<uint64_t>(end, ph.p_offset + ph.p_filesz);
    }
  }
  return size_t(std::min<uint64_t>(end, size));
}

size_t ContainerScanStart(const std::vector<uint8_t>& file) {
  return std::max(kContainerScanStart, ElfImageEnd(file.data(), file.size()));
}

int64_t FindContainer(const std::vector<uint8_t>& file, size_t from) {
  const size_t n = file.size();
  for (size_t pos = from; pos + 8 <= n; ++pos)
    if (Matches(file.data() + pos)) return int64_t(pos);
  return -1;
}

int32_t HeaderVersionKey(size_t P) {
  // Truncating division: a container at exactly the scan start gives (-1) / 4 = 0.
  return int32_t((int64_t(P) - 1 - int64_t(kContainerScanStart)) / 4);
}

void MakeMarkerWords(uint32_t random, uint32_t& A, uint32_t& B) {
  // A contributes 0xF7000000 and B 0x00140067; the masked-out bytes carry noise.
  A = 0xF7000000u | (random & 0x00FF00FFu);
  B = 0x00140067u | ((random * 2654435761u) & 0xFF00FF00u);
}

OpenResult OpenContainer(CStream& stream, size_t& P) {
  std::vector<uint8_t>& buf = stream.Buffer();
  int64_t found = FindContainer(buf, ContainerScanStart(buf));
  // The header version must be there too; a marker in the last bytes is no container.
  if (found < 0) return OpenResult::NotAGame;
  P = size_t(found);
  if (P + 20 > buf.size()) return OpenResult::Damaged;
  int32_t version;
  std::memcpy(&version, buf.data() + P + 16, 4);
  version ^= HeaderVersionKey(P);
  std::memcpy(buf.data() + P + 16, &version, 4);
  if (!DecryptWad(stream, P + 8)) return OpenResult::BadChecksum;
  stream.SetPosition(P + 8);
  stream.ReadInteger();  // seed
  stream.ReadInteger();  // checksum
  return OpenResult::Ok;
}

const char* ReadHeaderStart(CStream& s, bool& debug, CGameSettings& settings) {
  if (s.ReadInteger() != kHeaderVersion) return msg::kWrongVersion;
  s.ReadInteger();  // reserved
  debug = s.ReadBoolean();
  s.ReadInteger();  // reserved
  if (!settings.LoadFromStream(s)) return msg::kResourceData;
  return nullptr;
}

void ReadSectionPreamble(CStream& section, int32_t& gameId, std::array<uint8_t, 16>& guid) {
  int32_t filler = section.ReadInteger();
  if (filler < 0) throw EStreamError();
  section.Skip(size_t(filler) * 4);
  section.ReadInteger();  // reserved flags
  gameId = section.ReadInteger();
  section.ReadBytes(guid.data(), 16);
}

OpenResult OpenGameFile(const std::string& path, CStream& stream, size_t& P) {
  InitFastCRC();
  if (!os::ReadFileBytes(path, stream.Buffer())) return OpenResult::CannotRead;
  return OpenContainer(stream, P);
}

// ---- descrambling the data region ----

uint32_t LocalRandom(uint32_t& z, uint32_t& w) {
  z = 36969u * (z & 0xFFFFu) + (z >> 16);
  w = 18000u * (w & 0xFFFFu) + (w >> 16);
  return (z << 16) + (w & 0xFFFFu);
}

std::u16string WadSeedText(uint32_t seed) {
  std::string text = std::string(kWadSeedPrefix) + std::to_string(seed) + std::string(kWadSeedSuffix);
  return std::u16string(text.begin(), text.end());  // ASCII only
}

namespace {
// Xors the region's words with the generator stream; its own inverse.
void XorWadRegion(uint8_t* R, int64_t L, uint32_t seed, uint32_t checksum) {
  std::u16string text = WadSeedText(seed);
  std::vector<uint8_t> utf16;
  for (char16_t c : text) {
    utf16.push_back(uint8_t(c & 0xFF));
    utf16.push_back(uint8_t(c >> 8));
  }
  uint32_t w = CalcCRC(utf16.data(), int64_t(utf16.size()));
  uint32_t z = checksum;
  for (int64_t i = int64_t(w & 0xFF) + 6; i < L - 5; i += 4) {
    uint32_t word;
    std::memcpy(&word, R + i, 4);
    word ^= LocalRandom(z, w);
    std::memcpy(R + i, &word, 4);
  }
}
}  // namespace

bool DecryptWad(CStream& stream, size_t base) {
  std::vector<uint8_t>& buf = stream.Buffer();
  if (base + 12 > buf.size()) return false;
  uint8_t* D = buf.data() + base;
  int64_t L = int64_t(buf.size() - base - 12);
  uint32_t seed, checksum;
  std::memcpy(&seed, D, 4);
  std::memcpy(&checksum, D + 4, 4);
  XorWadRegion(D + 12, L, seed, checksum);
  return CalcCRC(D + 12, L) == checksum;
}

void EncryptWad(CStream& stream, size_t base, uint32_t seed) {
  std::vector<uint8_t>& buf = stream.Buffer();
  uint8_t* D = buf.data() + base;
  int64_t L = int64_t(buf.size() - base - 12);
  uint32_t checksum = CalcCRC(D + 12, L);
  std::memcpy(D, &seed, 4);
  std::memcpy(D + 4, &checksum, 4);
  XorWadRegion(D + 12, L, seed, checksum);
}

}  // namespace kestro
