// Decoding speed of the first member of an archive, in memory: ours against liblhasa's.
// Prints two numbers, MB/s (unpacked bytes), best of several runs each, CRC checked.
#include <lha_decoder.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "crc16.h"
#include "lzh_decode.h"
#include "lzh_header.h"

namespace {

constexpr int kRuns = 15;

struct Source {
  const uint8_t* next;
  size_t left;
};

size_t read_source(void* buf, size_t len, void* user) {
  Source& s = *static_cast<Source*>(user);
  const size_t n = std::min(len, s.left);
  std::memcpy(buf, s.next, n);
  s.next += n;
  s.left -= n;
  return n;
}

template <class Decode>
double best_mbps(size_t size, Decode decode) {
  double best = 1e30;
  for (int run = 0; run < kRuns; ++run) {
    const auto start = std::chrono::steady_clock::now();
    if (!decode()) {
      std::fprintf(stderr, "decode_speed: decoding failed\n");
      std::exit(1);
    }
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return double(size) / best / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: decode_speed ARCHIVE.lzh\n");
    return 1;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), {});
  lzh::Entry entry;
  if (lzh::read_header(file.data(), file.size(), entry) != lzh::Result::ok || entry.method != lzh::Method::lh5) {
    std::fprintf(stderr, "decode_speed: no -lh5- member at the start of %s\n", argv[1]);
    return 1;
  }
  const uint8_t* packed = file.data() + entry.header_size;
  std::vector<uint8_t> out(entry.size);
  const double ours = best_mbps(entry.size, [&] {
    return lzh::unpack(entry.method, packed, entry.packed_size, out.data(), out.size(), entry.crc) == lzh::Result::ok;
  });
  char method[] = "-lh5-";
  LHADecoderType* type = lha_decoder_for_name(method);
  const double lhasa = best_mbps(entry.size, [&] {
    Source source{packed, entry.packed_size};
    LHADecoder* decoder = lha_decoder_new(type, read_source, &source, entry.size);
    size_t got = 0;
    while (got < out.size()) {
      const size_t n = lha_decoder_read(decoder, out.data() + got, out.size() - got);
      if (n == 0) break;
      got += n;
    }
    const bool good = got == out.size() && lha_decoder_get_crc(decoder) == entry.crc;
    lha_decoder_free(decoder);
    return good;
  });
  std::printf("%.0f %.0f\n", ours, lhasa);
}
