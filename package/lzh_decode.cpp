#include "lzh_decode.h"

#include "crc16.h"
#include "lzh_codes.h"

namespace lzh {
namespace {

using namespace codes;

// MSB-first bit reader over a buffer. Past the end it supplies zero bits and counts them, so
// the hot loop needs no bounds checks; overrun() tells whether any of them were consumed.
class BitReader {
 public:
  BitReader(const uint8_t* data, size_t size) : next_(data), end_(data + size) {}

  // Afterwards at least 56 bits are buffered.
  void refill() {
    if (end_ - next_ >= 8) {
      uint64_t word = 0;
      for (int i = 0; i < 8; ++i) word = word << 8 | next_[i];
      bits_ |= word >> count_;
      next_ += (63 - count_) >> 3;
      count_ |= 56;
      return;
    }
    while (count_ <= 56) {
      uint64_t byte = 0;
      if (next_ < end_) byte = *next_++; else ++padding_;
      bits_ |= byte << (56 - count_);
      count_ += 8;
    }
  }
  // 1 <= n <= 16, after refill() for all bits taken since.
  unsigned peek(unsigned n) const { return static_cast<unsigned>(bits_ >> (64 - n)); }
  void skip(unsigned n) {
    bits_ <<= n;
    count_ -= n;
  }
  unsigned take(unsigned n) {
    unsigned value = peek(n);
    skip(n);
    return value;
  }
  bool overrun() const { return padding_ * 8 > count_; }

 private:
  const uint8_t* next_;
  const uint8_t* end_;
  uint64_t bits_ = 0;  // the next bits of the stream, from the top; the rest is stream too or 0
  unsigned count_ = 0;
  size_t padding_ = 0;
};

// Decoding table for a canonical code. Codes up to kDirectBits long are found with one lookup;
// the longer ones, which are rare, by comparing against the first code of each length.
template <unsigned kSymbols, unsigned kDirectBits>
class HuffmanTable {
 public:
  // False for lengths that do not make a complete prefix code.
  bool build(const uint8_t* lengths) {
    unsigned count[kMaxCodeBits + 1] = {};
    for (unsigned s = 0; s < kSymbols; ++s) ++count[lengths[s]];
    count[0] = 0;
    uint32_t code = 0;
    unsigned index = 0;
    unsigned next[kMaxCodeBits + 1];
    for (unsigned bits = 1; bits <= kMaxCodeBits; ++bits) {
      first_[bits] = code;
      offset_[bits] = static_cast<uint16_t>(index);
      next[bits] = index;
      code += count[bits] << (kMaxCodeBits - bits);
      index += count[bits];
    }
    first_[kMaxCodeBits + 1] = code;
    if (code != 1u << kMaxCodeBits) return false;
    for (unsigned s = 0; s < kSymbols; ++s)
      if (lengths[s] != 0) sorted_[next[lengths[s]]++] = static_cast<uint16_t>(s);

    // Canonical codes in order of length fill the table from the front; what is left are the
    // prefixes of longer codes.
    unsigned slot = 0;
    for (unsigned bits = 1; bits <= kDirectBits; ++bits) {
      const unsigned span = 1u << (kDirectBits - bits);
      for (unsigned i = 0; i < count[bits]; ++i) {
        const uint16_t entry = static_cast<uint16_t>(sorted_[offset_[bits] + i] << kLengthBits | bits);
        for (unsigned k = 0; k < span; ++k) direct_[slot++] = entry;
      }
    }
    while (slot < kDirectSize) direct_[slot++] = kLongCode;
    return true;
  }

  // A block whose alphabet has a single symbol codes it with no bits at all.
  void set_single(unsigned symbol) {
    for (unsigned i = 0; i < kDirectSize; ++i) direct_[i] = static_cast<uint16_t>(symbol << kLengthBits);
  }

  // Needs 16 buffered bits.
  unsigned decode(BitReader& reader) const {
    const unsigned bits16 = reader.peek(kMaxCodeBits);
    const unsigned entry = direct_[bits16 >> (kMaxCodeBits - kDirectBits)];
    if (entry != kLongCode) {
      reader.skip(entry & kLengthMask);
      return entry >> kLengthBits;
    }
    unsigned bits = kDirectBits + 1;
    while (bits16 >= first_[bits + 1]) ++bits;
    reader.skip(bits);
    return sorted_[offset_[bits] + ((bits16 - first_[bits]) >> (kMaxCodeBits - bits))];
  }

 private:
  static constexpr unsigned kDirectSize = 1u << kDirectBits;
  static constexpr unsigned kLengthBits = 5;
  static constexpr unsigned kLengthMask = (1u << kLengthBits) - 1;
  static constexpr uint16_t kLongCode = kLengthMask;  // no real code is 31 bits long

  uint16_t direct_[kDirectSize];  // symbol << kLengthBits | code length
  uint16_t sorted_[kSymbols];     // symbols in code order
  uint32_t first_[kMaxCodeBits + 2];  // first code of each length, left-aligned to 16 bits
  uint16_t offset_[kMaxCodeBits + 1];  // index in sorted_ of each length's first symbol
};

// Reads the lengths of the length code or of the position code: a count, then per symbol 3 bits
// or a unary extension. With count 0 the alphabet has one symbol, given next.
template <unsigned kSymbols, unsigned kDirectBits>
bool read_short_lengths(BitReader& reader, unsigned count_bits, unsigned symbols, unsigned skip_after,
                        HuffmanTable<kSymbols, kDirectBits>& table) {
  reader.refill();
  const unsigned count = reader.take(count_bits);
  if (count == 0) {
    const unsigned symbol = reader.take(count_bits);
    if (symbol >= symbols) return false;
    table.set_single(symbol);
    return true;
  }
  if (count > symbols) return false;
  uint8_t lengths[kSymbols] = {};
  unsigned i = 0;
  while (i < count) {
    reader.refill();
    unsigned length = reader.take(kShortLengthBits);
    if (length == kLongLengthMark) {
      while (reader.take(1) != 0)
        if (++length > kMaxCodeBits) return false;
    }
    lengths[i++] = static_cast<uint8_t>(length);
    if (i == skip_after) {
      const unsigned zeros = reader.take(2);
      if (zeros > symbols - i) return false;
      i += zeros;
    }
  }
  return table.build(lengths);
}

template <unsigned kLengthDirect, unsigned kLiteralDirect>
bool read_literal_lengths(BitReader& reader, const HuffmanTable<kLengthCodes, kLengthDirect>& length_table,
                          HuffmanTable<kLiteralCodes, kLiteralDirect>& table) {
  reader.refill();
  const unsigned count = reader.take(kLiteralCountBits);
  if (count == 0) {
    const unsigned symbol = reader.take(kLiteralCountBits);
    if (symbol >= kLiteralCodes) return false;
    table.set_single(symbol);
    return true;
  }
  if (count > kLiteralCodes) return false;
  uint8_t lengths[kLiteralCodes] = {};
  unsigned i = 0;
  while (i < count) {
    reader.refill();
    const unsigned code = length_table.decode(reader);
    if (code > 2) {
      lengths[i++] = static_cast<uint8_t>(code - 2);
      continue;
    }
    const unsigned zeros = code == 0   ? kShortZeroRun
                           : code == 1 ? kMediumZeroRun + reader.take(kMediumZeroRunBits)
                                       : kLongZeroRun + reader.take(kLongZeroRunBits);
    if (zeros > kLiteralCodes - i) return false;
    i += zeros;
  }
  return table.build(lengths);
}

template <class Window>
Result decode(const uint8_t* in, size_t in_size, uint8_t* out, size_t out_size) {
  constexpr unsigned kPositionDirect = 8;
  HuffmanTable<kLengthCodes, kPositionDirect> length_table;
  HuffmanTable<kLiteralCodes, 12> literal_table;
  HuffmanTable<Window::kPositionCodes, kPositionDirect> position_table;
  BitReader reader(in, in_size);
  size_t pos = 0;
  unsigned block_left = 0;
  while (pos < out_size) {
    if (block_left == 0) {
      if (reader.overrun()) return Result::truncated;
      reader.refill();
      block_left = reader.take(kBlockCountBits);
      if (block_left == 0) return reader.overrun() ? Result::truncated : Result::bad_data;
      if (!read_short_lengths(reader, kLengthCountBits, kLengthCodes, kLengthZeroSkipAfter, length_table) ||
          !read_literal_lengths(reader, length_table, literal_table) ||
          !read_short_lengths(reader, Window::kPositionCountBits, Window::kPositionCodes, 0, position_table))
        return reader.overrun() ? Result::truncated : Result::bad_data;
    }
    --block_left;
    reader.refill();
    const unsigned code = literal_table.decode(reader);
    if (code < 256) {
      out[pos++] = static_cast<uint8_t>(code);
      continue;
    }
    const size_t length = code - 256 + kMinMatch;
    const unsigned width = position_table.decode(reader);
    const size_t distance = (width <= 1 ? width : (size_t{1} << (width - 1)) | reader.take(width - 1)) + 1;
    if (distance > pos || length > out_size - pos) return reader.overrun() ? Result::truncated : Result::bad_data;
    uint8_t* to = out + pos;
    const uint8_t* from = to - distance;
    if (distance >= 8 && out_size - pos - length >= 8) {
      // Eight bytes at a time; the few written past the match are overwritten by what follows.
      for (size_t i = 0; i < length; i += 8) __builtin_memcpy(to + i, from + i, 8);
    } else {
      for (size_t i = 0; i < length; ++i) to[i] = from[i];
    }
    pos += length;
  }
  if (reader.overrun()) return Result::truncated;
  // Encoders end the last block with the data; a count beyond it is damage.
  return block_left == 0 ? Result::ok : Result::bad_data;
}

}  // namespace

Result unpack(Method method, const uint8_t* packed, size_t packed_size, uint8_t* out, size_t size,
              uint16_t crc) {
  Result result = Result::ok;
  switch (method) {
    case Method::stored:
      if (packed_size != size) return Result::bad_data;
      for (size_t i = 0; i < size; ++i) out[i] = packed[i];
      break;
    case Method::lh5: result = decode<Lh5>(packed, packed_size, out, size); break;
    case Method::lh6: result = decode<Lh6>(packed, packed_size, out, size); break;
    case Method::lh7: result = decode<Lh7>(packed, packed_size, out, size); break;
    case Method::folder: return size == 0 ? Result::ok : Result::bad_data;
  }
  if (result != Result::ok) return result;
  return crc16(0, out, size) == crc ? Result::ok : Result::bad_crc;
}

}  // namespace lzh
