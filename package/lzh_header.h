// Reading LHA member headers of levels 0, 1 and 2, and finding an archive inside a larger file
// (a self-extracting package: an executable with the archive appended).
// Freestanding: no exceptions, no allocation, no C++ library.
#pragma once
#include <cstddef>
#include <cstdint>

#include "lzh.h"

namespace lzh {

constexpr size_t kMaxPathBytes = 1024;

struct Entry {
  size_t header_size;  // bytes from the start of the header to the member's data; 0 while unknown
  uint32_t packed_size;
  uint32_t size;
  uint16_t crc;
  Method method;
  uint8_t level;
  // Folders and name joined by '/', as stored (code page bytes; a "\" that is the second byte
  // of a double-byte character stays). Leading separators, empty and "." parts are dropped, so
  // the path is relative; a folder entry's path may be empty.
  uint16_t path_size;
  char path[kMaxPathBytes];
};

// Reads the header at data[0..size), which may run on to the end of the file. On ok, on
// unsafe_name, and on unsupported with a header_size, the entry is complete and the member's
// data data[header_size .. header_size + packed_size) lies within size; the next header follows.
// end_of_archive for the end mark; truncated, also when size is 0, as the end mark is missing.
Result read_header(const uint8_t* data, size_t size, Entry& entry);

// The offset of the first member header at or after `from`: the method id at offset 2 and a
// header that checks out (level 0 and 1 checksum, level 2 header CRC). size if there is none.
size_t find_archive(const uint8_t* data, size_t size, size_t from);

}  // namespace lzh
