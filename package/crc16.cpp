#include "crc16.h"

namespace lzh {
namespace {

struct Crc16Table {
  uint16_t entries[256];
};

constexpr Crc16Table make_table() {
  Crc16Table table{};
  for (unsigned byte = 0; byte < 256; ++byte) {
    unsigned value = byte;
    for (int bit = 0; bit < 8; ++bit) value = (value & 1) ? (value >> 1) ^ 0xA001u : value >> 1;
    table.entries[byte] = static_cast<uint16_t>(value);
  }
  return table;
}

constexpr Crc16Table kTable = make_table();

}  // namespace

uint16_t crc16(uint16_t crc, const uint8_t* data, size_t size) {
  for (size_t i = 0; i < size; ++i) crc = static_cast<uint16_t>((crc >> 8) ^ kTable.entries[(crc ^ data[i]) & 0xFF]);
  return crc;
}

}  // namespace lzh
