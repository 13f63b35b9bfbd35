// What the LHA archive code talks in: member methods and results. Shared by the freestanding
// core (decoder, header reader), which the extractor stub links without any C++ library, and
// by the packer.
#pragma once
#include <cstdint>

namespace lzh {

enum class Method : uint8_t {
  stored,  // -lh0-
  lh5,     // 8 KiB window
  lh6,     // 32 KiB window
  lh7,     // 64 KiB window
  folder,  // -lhd-: a folder entry, no data
};

enum class Result : uint8_t {
  ok,
  end_of_archive,  // the end mark: one zero byte
  truncated,       // the input ends inside a header, a member or before the end mark
  bad_header,      // a checksum, CRC or length of a header does not fit
  unsupported,     // a method or header level we do not read, or an overlong name
  bad_data,        // the compressed stream is malformed
  bad_crc,         // the unpacked bytes do not match the member's CRC
  unsafe_name,     // a name with a drive letter, a ".." part or nothing at all
};

}  // namespace lzh
