// The checksum of stored data.
#pragma once

#include <cstdint>

namespace kestro {

// CRC-32 table for polynomial 0xEDB88320, without the final inversion: the result is the
// complement of the standard CRC-32. Zero bytes give 0xFFFFFFFF.
void InitFastCRC();
uint32_t CalcCRC(const uint8_t* data, int64_t count);
// Byte-at-a-time reference of CalcCRC over the table, kept for checking the fast path.
uint32_t CalcCRCReference(const uint8_t* data, int64_t count);

}  // namespace kestro
