#pragma once
// Checksums of the wire protocol: CRC-16/CCITT-FALSE guards a frame header,
// CRC-32 (the zlib polynomial) guards a whole frame and a bulk transfer.
#include <cstdint>
#include <span>

namespace aktarim::wire {

uint16_t Crc16Ccitt(std::span<const uint8_t> bytes);
// Chainable: Crc32(b, Crc32(a)) == Crc32(a + b).
uint32_t Crc32(std::span<const uint8_t> bytes, uint32_t previous = 0);

}  // namespace aktarim::wire
