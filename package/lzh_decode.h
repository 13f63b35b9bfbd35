// Unpacking one member: -lh0- copied, -lh5-/-lh6-/-lh7- decoded, and the CRC checked.
// Freestanding: no exceptions, no allocation, no C++ library; about 12 KiB of stack.
#pragma once
#include <cstddef>
#include <cstdint>

#include "lzh.h"

namespace lzh {

// Fills out[0..size) from packed[0..packed_size) and checks the result against crc.
// Any damage gives an error result; nothing outside the two buffers is touched.
Result unpack(Method method, const uint8_t* packed, size_t packed_size, uint8_t* out, size_t size,
              uint16_t crc);

}  // namespace lzh
