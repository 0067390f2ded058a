#include <gtest/gtest.h>
#include <elf.h>

#include <cstring>

#include "runner/GameFile.h"
#include "io/Stream.h"

using namespace kestro;

namespace {

void PutWord(std::vector<uint8_t>& b, size_t at, uint32_t v) { std::memcpy(b.data() + at, &v, 4); }

// A minimal 64-bit ELF image of `size` bytes whose section table ends the image.
std::vector<uint8_t> FakeProgram(size_t size) {
  std::vector<uint8_t> b(size, 0);
  Elf64_Ehdr eh{};
  std::memcpy(eh.e_ident, ELFMAG, SELFMAG);
  eh.e_ident[EI_CLASS] = ELFCLASS64;
  eh.e_ehsize = sizeof eh;
  eh.e_shentsize = sizeof(Elf64_Shdr);
  eh.e_shnum = 1;
  eh.e_shoff = size - sizeof(Elf64_Shdr);
  std::memcpy(b.data(), &eh, sizeof eh);
  return b;
}

}  // namespace

TEST(ContainerScan, MarkerTestIgnoresMaskedBytes) {
  struct Case {
    uint32_t A, B;
    bool match;
  };
  const Case cases[] = {
      {0xF7000000, 0x00140067, true},
      {0xF7AB00CD, 0x12145667, true},   // noise in the masked-out bytes
      {0xF6000000, 0x00140067, false},
      {0xF7000000, 0x00140068, false},
      {0x00000000, 0x00000000, false},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> f(kContainerScanStart + 16, 0);
    PutWord(f, kContainerScanStart + 4, c.A);
    PutWord(f, kContainerScanStart + 8, c.B);
    int64_t at = FindContainer(f, kContainerScanStart);
    EXPECT_EQ(at == int64_t(kContainerScanStart) + 4, c.match) << std::hex << c.A << " " << c.B;
  }
  uint32_t A, B;
  for (uint32_t r : {0u, 1u, 0xFFFFFFFFu, 0x12345678u}) {
    MakeMarkerWords(r, A, B);
    EXPECT_EQ((A & 0xFF00FF00u) + (B & 0x00FF00FFu), kMarkerSum);
  }
}

TEST(ContainerScan, FirstMatchFromTheScanStartWins) {
  std::vector<uint8_t> f(kContainerScanStart + 64, 0);
  PutWord(f, kContainerScanStart - 8, 0xF7000000);  // before the scan start: never seen
  PutWord(f, kContainerScanStart - 4, 0x00140067);
  PutWord(f, kContainerScanStart + 20, 0xF7000000);
  PutWord(f, kContainerScanStart + 24, 0x00140067);
  PutWord(f, kContainerScanStart + 40, 0xF7000000);
  PutWord(f, kContainerScanStart + 44, 0x00140067);
  EXPECT_EQ(FindContainer(f, kContainerScanStart), int64_t(kContainerScanStart) + 20);
  f.resize(kContainerScanStart + 7);
  EXPECT_EQ(FindContainer(f, kContainerScanStart), -1);
}

TEST(ContainerScan, HeaderVersionKey) {
  EXPECT_EQ(HeaderVersionKey(3800004), 0);  // (-1) div 4 truncates to 0
  EXPECT_EQ(HeaderVersionKey(3800005), 0);
  EXPECT_EQ(HeaderVersionKey(3800009), 1);
  EXPECT_EQ(HeaderVersionKey(3800004 + 4001), 1000);
}

TEST(ContainerScan, ProgramImageLargerThanScanStartIsSkipped) {
  // A run-time whose own bytes past 3,800,004 happen to hold a marker pair.
  std::vector<uint8_t> f = FakeProgram(kContainerScanStart + 1000);
  PutWord(f, kContainerScanStart + 100, 0xF7000000);
  PutWord(f, kContainerScanStart + 104, 0x00140067);
  EXPECT_EQ(ElfImageEnd(f.data(), f.size()), kContainerScanStart + 1000);
  EXPECT_EQ(ContainerScanStart(f), kContainerScanStart + 1000);
  EXPECT_EQ(FindContainer(f, ContainerScanStart(f)), -1);
  size_t P = f.size();
  f.resize(P + 32, 0);
  PutWord(f, P, 0xF7000000);
  PutWord(f, P + 4, 0x00140067);
  EXPECT_EQ(FindContainer(f, ContainerScanStart(f)), int64_t(P));

  // A small program keeps the plain scan start; data that is not a program too.
  std::vector<uint8_t> small = FakeProgram(4096);
  small.resize(kContainerScanStart + 10);
  EXPECT_EQ(ContainerScanStart(small), kContainerScanStart);
  std::vector<uint8_t> data(100, 0xAB);
  EXPECT_EQ(ElfImageEnd(data.data(), data.size()), 0u);
}

TEST(ContainerScan, DamagedProgramHeadersAreNotTrusted) {
  std::vector<uint8_t> f = FakeProgram(8192);
  Elf64_Ehdr eh;
  std::memcpy(&eh, f.data(), sizeof eh);
  eh.e_shoff = 0xFFFFFFFFFFFF0000ull;  // table far outside the file
  std::memcpy(f.data(), &eh, sizeof eh);
  EXPECT_EQ(ElfImageEnd(f.data(), f.size()), 0u);

  // Offsets whose sum with the table's size wraps around to a small number: never read, never
  // trusted (they once pointed the reader far outside the file).
  struct Case {
    const char* what;
    uint64_t shoff, phoff;
    uint16_t shnum, phnum, ehsize;
  };
  const Case cases[] = {
      {"section table wraps", 0ull - 64ull * 65535, 64, 65535, 0, 64},
      {"program table wraps", 0, 0ull - 56, 0, 1, 64},
      {"program table just past the end", 0, 8192 - 55, 0, 1, 64},
      {"header size beyond the file", 0, 0, 0, 0, 0xFFFF},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> g(8192, 0);
    Elf64_Ehdr h{};
    std::memcpy(h.e_ident, ELFMAG, SELFMAG);
    h.e_ident[EI_CLASS] = ELFCLASS64;
    h.e_shoff = c.shoff;
    h.e_phoff = c.phoff;
    h.e_shnum = c.shnum;
    h.e_phnum = c.phnum;
    h.e_shentsize = sizeof(Elf64_Shdr);
    h.e_phentsize = sizeof(Elf64_Phdr);
    h.e_ehsize = c.ehsize;
    std::memcpy(g.data(), &h, sizeof h);
    EXPECT_EQ(ElfImageEnd(g.data(), g.size()), 0u) << c.what;
  }
  // A section or segment whose own offset and size wrap is skipped, the rest of the image counts.
  std::vector<uint8_t> g = FakeProgram(8192);
  std::memcpy(&eh, g.data(), sizeof eh);
  Elf64_Shdr sh{};
  sh.sh_type = SHT_PROGBITS;
  sh.sh_offset = 0xFFFFFFFFFFFFFF00ull;
  sh.sh_size = 0x200;
  std::memcpy(g.data() + eh.e_shoff, &sh, sizeof sh);
  EXPECT_EQ(ElfImageEnd(g.data(), g.size()), g.size());
}
