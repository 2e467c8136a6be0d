// CRC-32 of the zip format (reflected polynomial 0xEDB88320), with zlib's convention:
// Crc32(crc, data, n) continues a CRC whose value so far is crc (0 for none).
#pragma once

#include <cstddef>
#include <cstdint>

namespace unzip {

uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t n);

}  // namespace unzip
