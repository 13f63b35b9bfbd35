// The -lh5- encoder and the decoder: round trips, what the encoder achieves, damaged streams.
#include <functional>

#include "crc16.h"
#include "lzh_encode.h"
#include "test_support.h"

namespace {

using test::Bytes;

lzh::Result decode(lzh::Method method, const Bytes& packed, Bytes& out, uint16_t crc) {
  return lzh::unpack(method, packed.data(), packed.size(), out.data(), out.size(), crc);
}

Bytes text_of(size_t size) {
  const Bytes gpl = test::read_file(test::kGpl2);
  Bytes b;
  while (b.size() < size) b.insert(b.end(), gpl.begin(), gpl.end());
  b.resize(size);
  return b;
}

Bytes repeated(const Bytes& unit, size_t times, const Bytes& between = {}) {
  Bytes b;
  for (size_t i = 0; i < times; ++i) {
    b.insert(b.end(), unit.begin(), unit.end());
    b.insert(b.end(), between.begin(), between.end());
  }
  return b;
}

Bytes concat(const std::vector<Bytes>& parts) {
  Bytes b;
  for (const Bytes& p : parts) b.insert(b.end(), p.begin(), p.end());
  return b;
}

struct RoundTrip {
  const char* name;
  std::function<Bytes()> make;
  size_t max_packed;  // what the encoder must at least achieve
};

const RoundTrip kRoundTrips[] = {
    {"empty", [] { return Bytes{}; }, 0},
    {"one byte", [] { return Bytes{0x41}; }, 8},
    {"two bytes", [] { return Bytes{0x00, 0xFF}; }, 10},
    {"three equal bytes", [] { return Bytes{7, 7, 7}; }, 10},
    {"text 8191", [] { return text_of(8191); }, 3600},
    {"text 8192", [] { return text_of(8192); }, 3600},
    {"text 8193", [] { return text_of(8193); }, 3600},
    {"random 65535", [] { return test::random_bytes(65535, 1); }, 65535 + 1024},
    {"random 65536", [] { return test::random_bytes(65536, 2); }, 65536 + 1024},
    {"random 65537", [] { return test::random_bytes(65537, 3); }, 65537 + 1024},
    // More codes than one block may hold.
    {"random 200000", [] { return test::random_bytes(200000, 4); }, 200000 + 3072},
    {"zeros 300000", [] { return Bytes(300000, 0); }, 400},
    {"run of 1000", [] { return concat({Bytes{1, 2}, Bytes(1000, 'a'), Bytes{3}}); }, 40},
    {"matches of exactly 256", [] { return repeated(test::random_bytes(256, 5), 40, Bytes{0xAA}); }, 400},
    {"match at the window's far edge", [] { return repeated(test::random_bytes(8192, 6), 2); }, 8192 + 400},
    {"repeat just beyond the window", [] { return repeated(test::random_bytes(8193, 7), 2); }, 2 * 8193 + 512},
    {"GPL-2", [] { return test::read_file(test::kGpl2); }, 6979},  // LHARK 0.4d, the best in the corpus: 6,980
    {"2 MB Windows executable", [] { return test::read_file(test::kWindowsExecutable); }, 760000},
};

class RoundTripTest : public testing::TestWithParam<RoundTrip> {};

TEST_P(RoundTripTest, DecodesToTheInput) {
  const Bytes input = GetParam().make();
  const Bytes packed = lzh::encode_lh5(input);
  EXPECT_LE(packed.size(), GetParam().max_packed);
  Bytes out(input.size(), 0xCD);
  ASSERT_EQ(decode(lzh::Method::lh5, packed, out, lzh::crc16(0, input.data(), input.size())), lzh::Result::ok);
  EXPECT_TRUE(out == input);
}

INSTANTIATE_TEST_SUITE_P(Inputs, RoundTripTest, testing::ValuesIn(kRoundTrips), [](const auto& info) {
  std::string name = info.param.name;
  for (char& c : name)
    if (!isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
});

TEST(Crc16, KnownValue) {
  const Bytes check = test::bytes_of("123456789");
  EXPECT_EQ(lzh::crc16(0, check.data(), check.size()), 0xBB3D);
}

// Every cut of a stream is noticed: as truncation, damage, or a CRC that does not match.
TEST(Decoder, RefusesEveryTruncation) {
  const Bytes input = text_of(4000);
  const Bytes packed = lzh::encode_lh5(input);
  const uint16_t crc = lzh::crc16(0, input.data(), input.size());
  for (size_t cut = 0; cut < packed.size(); ++cut) {
    const Bytes part(packed.begin(), packed.begin() + static_cast<ptrdiff_t>(cut));
    Bytes out(input.size());
    EXPECT_NE(decode(lzh::Method::lh5, part, out, crc), lzh::Result::ok) << "cut at " << cut;
  }
}

// A flipped bit is noticed, or leaves the output as it was: another distance to the same
// bytes, or a padding bit at the end, carries nothing.
TEST(Decoder, NeverTurnsAFlippedBitIntoOtherBytes) {
  const Bytes input = text_of(4000);
  const Bytes packed = lzh::encode_lh5(input);
  const uint16_t crc = lzh::crc16(0, input.data(), input.size());
  size_t noticed = 0;
  for (size_t bit = 0; bit < packed.size() * 8; ++bit) {
    Bytes damaged = packed;
    damaged[bit / 8] ^= static_cast<uint8_t>(0x80 >> (bit % 8));
    Bytes out(input.size());
    if (decode(lzh::Method::lh5, damaged, out, crc) != lzh::Result::ok)
      ++noticed;
    else
      EXPECT_TRUE(out == input) << "bit " << bit;
  }
  EXPECT_GT(noticed, packed.size() * 8 * 99 / 100);
}

TEST(Decoder, StoredNeedsEqualSizes) {
  const Bytes packed = test::bytes_of("abc");
  Bytes out(3);
  EXPECT_EQ(decode(lzh::Method::stored, packed, out, lzh::crc16(0, packed.data(), 3)), lzh::Result::ok);
  EXPECT_TRUE(out == packed);
  Bytes longer(4);
  EXPECT_EQ(decode(lzh::Method::stored, packed, longer, 0), lzh::Result::bad_data);
}

// Hand-made streams, MSB first, for what an encoder of ours never writes.
class Bits {
 public:
  Bits& put(unsigned n, uint32_t value) {
    for (unsigned i = n; i-- > 0;) {
      if (count_ % 8 == 0) bytes_.push_back(0);
      if ((value >> i) & 1) bytes_.back() |= static_cast<uint8_t>(0x80 >> (count_ % 8));
      ++count_;
    }
    return *this;
  }
  // A block header whose three codes each have a single symbol, so that codes take no bits.
  Bits& single_block(unsigned codes, unsigned literal_code, unsigned position_code, unsigned position_bits = 4) {
    return put(16, codes).put(5, 0).put(5, 0).put(9, 0).put(9, literal_code).put(position_bits, 0).put(position_bits,
                                                                                                   position_code);
  }
  const Bytes& bytes() const { return bytes_; }

 private:
  Bytes bytes_;
  size_t count_ = 0;
};

struct Crafted {
  const char* name;
  lzh::Method method;
  Bits stream;
  size_t size;
  lzh::Result expected;
};

TEST(Decoder, CraftedStreams) {
  const Crafted cases[] = {
      {"one literal", lzh::Method::lh5, Bits().single_block(1, 'A', 0), 1, lzh::Result::ok},
      {"a match copies a literal", lzh::Method::lh5, Bits().single_block(1, 'A', 0).single_block(1, 256, 0), 4,
       lzh::Result::ok},
      {"stream ends before the data does", lzh::Method::lh5, Bits().single_block(1, 'A', 0), 2,
       lzh::Result::truncated},
      {"block of no codes", lzh::Method::lh5, Bits().put(16, 0).put(16, 0), 1, lzh::Result::bad_data},
      {"match before the start", lzh::Method::lh5, Bits().single_block(1, 256, 0), 3, lzh::Result::bad_data},
      {"match past the end", lzh::Method::lh5, Bits().single_block(1, 'A', 0).single_block(1, 256 + 5, 0), 4,
       lzh::Result::bad_data},
      {"position code beyond lh5's", lzh::Method::lh5, Bits().single_block(1, 'A', 14), 1, lzh::Result::bad_data},
      {"position code 16 fits lh7", lzh::Method::lh7, Bits().single_block(1, 'A', 16, 5), 1, lzh::Result::ok},
      {"single literal code beyond 509", lzh::Method::lh5, Bits().single_block(1, 510, 0), 1, lzh::Result::bad_data},
      {"too many length code lengths", lzh::Method::lh5, Bits().put(16, 1).put(5, 20).put(32, 0).put(32, 0), 1,
       lzh::Result::bad_data},
      {"code length over 16", lzh::Method::lh5, Bits().put(16, 1).put(5, 1).put(3, 7).put(11, 0x7FF).put(32, 0), 1,
       lzh::Result::bad_data},
      {"oversubscribed length code", lzh::Method::lh5,
       Bits().put(16, 1).put(5, 3).put(3, 1).put(3, 1).put(3, 1).put(2, 0).put(32, 0), 1, lzh::Result::bad_data},
      {"incomplete length code", lzh::Method::lh5, Bits().put(16, 1).put(5, 1).put(3, 1).put(32, 0).put(32, 0), 1,
       lzh::Result::bad_data},
      {"too many literal code lengths", lzh::Method::lh5, Bits().put(16, 1).put(5, 0).put(5, 3).put(9, 511).put(32, 0),
       1, lzh::Result::bad_data},
      {"zero run past the literal code", lzh::Method::lh5,
       Bits().put(16, 1).put(5, 0).put(5, 2).put(9, 510).put(9, 511).put(32, 0), 1, lzh::Result::bad_data},
  };
  for (const Crafted& c : cases) {
    Bytes out(c.size, 0xCD);
    const Bytes& packed = c.stream.bytes();
    // The right CRC for what a good stream gives; the literal is 'A' throughout.
    const Bytes expected_out(c.size, 'A');
    const lzh::Result result = decode(c.method, packed, out, lzh::crc16(0, expected_out.data(), expected_out.size()));
    EXPECT_EQ(result, c.expected) << c.name;
  }
}

}  // namespace
