// The -lh5- encoder: optimal parsing against the code lengths of earlier passes, and blocks
// split where the statistics change. Uses the C++ library; the stub never links it.
#pragma once
#include <cstdint>
#include <span>
#include <vector>

namespace lzh {

// Inputs of 2 GiB or more throw std::length_error.
std::vector<uint8_t> encode_lh5(std::span<const uint8_t> input);

}  // namespace lzh
