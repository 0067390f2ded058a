#include "io/Crc.h"

#include <zlib.h>

#include <array>

namespace kestro {

namespace {
std::array<uint32_t, 256> g_crcTable;
bool g_crcReady = false;
}  // namespace

void InitFastCRC() {
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : (c >> 1);
    g_crcTable[i] = c;
  }
  g_crcReady = true;
}

uint32_t CalcCRCReference(const uint8_t* data, int64_t count) {
  if (!g_crcReady) InitFastCRC();
  uint32_t c = 0xFFFFFFFFu;
  for (int64_t i = 0; i < count; ++i) c = (c >> 8) ^ g_crcTable[(c ^ data[i]) & 0xFF];
  return c;
}

uint32_t CalcCRC(const uint8_t* data, int64_t count) {
  if (count <= 0) return 0xFFFFFFFFu;
  // zlib's CRC-32 is the same polynomial with the final inversion, computed many bytes at a time.
  uLong crc = crc32(0L, Z_NULL, 0);
  while (count > 0) {
    uInt chunk = count > (1 << 30) ? (1u << 30) : uInt(count);
    crc = crc32(crc, data, chunk);
    data += chunk;
    count -= chunk;
  }
  return ~uint32_t(crc);
}

}  // namespace kestro
