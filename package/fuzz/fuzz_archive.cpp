// libFuzzer target for the freestanding core: the input is read as an archive (or a package)
// the way the extractor reads it, and, independently, as a raw compressed stream.
#include <cstddef>
#include <cstdint>

#include "lzh_decode.h"
#include "lzh_header.h"

namespace {

constexpr size_t kMaxUnpacked = 1 << 20;  // larger members are only walked past
uint8_t unpacked[kMaxUnpacked];

void read_archive(const uint8_t* data, size_t size, size_t pos) {
  lzh::Entry entry;
  while (pos < size) {
    const lzh::Result result = lzh::read_header(data + pos, size - pos, entry);
    if (result != lzh::Result::ok && result != lzh::Result::unsafe_name) return;
    if (entry.size <= kMaxUnpacked)
      lzh::unpack(entry.method, data + pos + entry.header_size, entry.packed_size, unpacked, entry.size, entry.crc);
    pos += entry.header_size + entry.packed_size;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  read_archive(data, size, 0);
  read_archive(data, size, lzh::find_archive(data, size, 0));
  // As a raw stream: the first byte picks the method, the next two the unpacked size.
  if (size >= 3) {
    constexpr lzh::Method kMethods[] = {lzh::Method::stored, lzh::Method::lh5, lzh::Method::lh6, lzh::Method::lh7};
    const size_t out_size = (size_t{data[1]} << 8 | data[2]) * 16;
    lzh::unpack(kMethods[data[0] % 4], data + 3, size - 3, unpacked, out_size, 0);
  }
  return 0;
}
