// libFuzzer target for the encoder: whatever it is given must come back byte for byte from the
// decoder, and the stream must stay within what a block and the window allow.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "crc16.h"
#include "lzh_decode.h"
#include "lzh_encode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The first byte, when there is one, repeats the rest up to 16 times, at most 32 KiB in all,
  // so that long and far matches, the window's edge and the tree's reuse of its slots come up.
  constexpr size_t kMaxInput = 1 << 15;
  std::vector<uint8_t> input;
  if (size > 1) {
    for (unsigned copy = 0; copy <= (data[0] & 15u) && input.size() < kMaxInput; ++copy)
      input.insert(input.end(), data + 1, data + size);
    if (input.size() > kMaxInput) input.resize(kMaxInput);
  } else {
    input.assign(data, data + size);
  }
  const std::vector<uint8_t> packed = lzh::encode_lh5(input);
  std::vector<uint8_t> out(input.size());  // exactly: the sanitizer sees a write past it
  const uint16_t crc = lzh::crc16(0, input.data(), input.size());
  if (lzh::unpack(lzh::Method::lh5, packed.data(), packed.size(), out.data(), out.size(), crc) != lzh::Result::ok)
    std::abort();
  if (out != input) std::abort();
  return 0;
}
