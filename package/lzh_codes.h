// The shape of an -lh5-/-lh6-/-lh7- stream, shared by decoder and encoder.
//
// The stream is a series of blocks, each: the number of codes in it (16 bits); the code lengths
// of the "length code" (at most 19 entries); the lengths of the literal/match-length code,
// themselves coded with the length code; the lengths of the position code; then the codes.
// A code below 256 is a byte; code c >= 256 copies c - 253 bytes from an earlier position whose
// distance minus one is coded as its bit width with the position code, followed by the bits
// below its top bit. All Huffman codes are canonical and at most 16 bits long.
#pragma once
#include <cstdint>

namespace lzh::codes {

constexpr unsigned kMaxCodeBits = 16;
constexpr unsigned kMinMatch = 3;
constexpr unsigned kMaxMatch = 256;
constexpr unsigned kLiteralCodes = 256 + kMaxMatch - kMinMatch + 1;  // 510
constexpr unsigned kLiteralCountBits = 9;
constexpr unsigned kLengthCodes = kMaxCodeBits + 3;  // 3 codes for runs of zero lengths, then 1..16
constexpr unsigned kLengthCountBits = 5;
constexpr unsigned kLengthZeroSkipAfter = 3;  // after the third length, 2 bits give zeros to skip
constexpr unsigned kBlockCountBits = 16;
constexpr unsigned kMaxBlockCodes = (1u << kBlockCountBits) - 1;
constexpr unsigned kShortLengthBits = 3;  // lengths 0..6 in 3 bits; 7 and up as 111, ones, a zero
constexpr unsigned kLongLengthMark = 7;
constexpr unsigned kShortZeroRun = 1;            // code 0: one zero length
constexpr unsigned kMediumZeroRun = 3;           // code 1: 3..18 zeros, 4 more bits
constexpr unsigned kMediumZeroRunBits = 4;
constexpr unsigned kLongZeroRun = 20;            // code 2: 20..531 zeros, 9 more bits
constexpr unsigned kLongZeroRunBits = 9;

// The methods differ only in the window: 2^window_bits bytes, window_bits + 1 position codes.
template <unsigned kWindowBitsValue>
struct Window {
  static constexpr unsigned kWindowBits = kWindowBitsValue;
  static constexpr unsigned kPositionCodes = kWindowBits + 1;
  static constexpr unsigned kPositionCountBits = kPositionCodes < 16 ? 4 : 5;
};
using Lh5 = Window<13>;
using Lh6 = Window<15>;
using Lh7 = Window<16>;

}  // namespace lzh::codes
