// CRC-16 as LHA archives use it (polynomial 0x8005, reflected, initial value 0).
#pragma once
#include <cstddef>
#include <cstdint>

namespace lzh {

uint16_t crc16(uint16_t crc, const uint8_t* data, size_t size);

}  // namespace lzh
