#include "lzh_encode.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "lzh_codes.h"

namespace lzh {
namespace {

using namespace codes;

constexpr unsigned kPositionCodes = Lh5::kPositionCodes;
constexpr size_t kWindowSize = size_t{1} << Lh5::kWindowBits;
constexpr unsigned kHashBits = 16;
// Search effort: the nodes of the tree and the positions of the chain of three bytes looked at
// per position, and the length from which a match is taken as it stands without looking at the
// positions inside it.
constexpr unsigned kMaxDepth = 96;
constexpr unsigned kMaxChain3 = 4;
constexpr unsigned kNiceLength = 256;
// Each pass parses against the codes of the blocks the previous pass chose: their symbols'
// shares, and in the last pass the code lengths that are written.
constexpr int kPasses = 6;
// What an unused code is assumed to cost in the next pass.
constexpr uint32_t kUnusedCodeBits = 16;
// Blocks are built by merging runs of this many codes.
constexpr size_t kSplitCodes = 1024;
// Then each boundary moves to where the blocks beside it cost least: first in steps of
// kCoarseShift codes, then kFineShift, up to kShiftSteps steps either way. Only the last passes
// do this, as the earlier ones find the costs rather than the blocks that are written.
constexpr size_t kCoarseShift = 128;
constexpr size_t kFineShift = 16;
constexpr size_t kShiftSteps = 16;
constexpr int kRefinedPasses = 2;
// The length code and the split of zero runs are chosen in up to kLengthRounds rounds; the
// first splits as if each run code cost kRunGuessBits, later ones price an unused run code at
// kUnusedRunBits.
constexpr int kLengthRounds = 4;
constexpr uint32_t kRunGuessBits = 2;
constexpr uint32_t kUnusedRunBits = 6;

struct Match {
  uint16_t length;    // 1 for a literal
  uint16_t distance;  // back from the current position, 1..kWindowSize
};

// Per position, the matches that are longer than every nearer one, nearest first.
struct MatchTable {
  std::vector<size_t> first;  // matches of position i: list[first[i] .. first[i + 1])
  std::vector<Match> list;
};

uint32_t load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
uint32_t three_bytes(const uint8_t* p) { return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16; }
unsigned hash3(const uint8_t* p) { return (three_bytes(p) * 2654435761u) >> (32 - kHashBits); }
unsigned hash4(const uint8_t* p) { return (load32(p) * 2654435761u) >> (32 - kHashBits); }

// The bytes a and b have in common, at most limit.
size_t common_length(const uint8_t* a, const uint8_t* b, size_t limit) {
  size_t length = 0;
  if constexpr (std::endian::native == std::endian::little) {
    for (; length + 8 <= limit; length += 8) {
      uint64_t x, y;
      std::memcpy(&x, a + length, 8);
      std::memcpy(&y, b + length, 8);
      if (x != y) return length + static_cast<size_t>(std::countr_zero(x ^ y)) / 8;
    }
  }
  while (length < limit && a[length] == b[length]) ++length;
  return length;
}

// Matches of four bytes and more come from a binary search tree per hash of four bytes over the
// positions in the window, ordered by the bytes that follow them; each position becomes its
// tree's root, so a node is nearer than every node below it, and the search path meets, for
// every length, the nearest position with a match that long. Matches of three bytes come from a
// short chain per hash of three.
MatchTable find_matches(std::span<const uint8_t> in) {
  const size_t n = in.size();
  MatchTable table;
  table.first.resize(n + 1);
  constexpr int32_t kNone = -1;
  std::vector<int32_t> head3(size_t{1} << kHashBits, kNone);
  std::vector<int32_t> head(size_t{1} << kHashBits, kNone);
  std::vector<int32_t> previous3(n, kNone);
  // Children of the positions in the window: [2p] leads to smaller strings, [2p + 1] to greater.
  constexpr size_t kRing = 2 * kWindowSize;
  std::vector<int32_t> child(2 * kRing, kNone);
  const auto in_window = [&](int32_t candidate, size_t i) { return candidate >= 0 && i - candidate <= kWindowSize; };
  // Makes i the root of its tree; when record is set, lists the matches found on the way.
  const auto insert = [&](size_t i, size_t limit, size_t& best, bool record) {
    const uint8_t* here = &in[i];
    int32_t& slot3 = head3[hash3(here)];
    previous3[i] = slot3;
    slot3 = static_cast<int32_t>(i);
    int32_t& root = head[hash4(here)];
    int32_t candidate = root;
    root = static_cast<int32_t>(i);
    int32_t* smaller = &child[2 * (i % kRing)];
    int32_t* greater = smaller + 1;
    size_t smaller_length = 0, greater_length = 0;
    for (unsigned depth = kMaxDepth; in_window(candidate, i) && depth > 0; --depth) {
      const uint8_t* there = &in[candidate];
      int32_t* pair = &child[2 * (candidate % kRing)];
      size_t length = std::min(smaller_length, greater_length);
      length += common_length(there + length, here + length, limit - length);
      if (record && length > best) {
        best = length;
        table.list.push_back({static_cast<uint16_t>(length), static_cast<uint16_t>(i - candidate)});
      }
      if (length == limit) {
        // Equal as far as we look: the candidate's place and subtrees become i's.
        *smaller = pair[0];
        *greater = pair[1];
        return;
      }
      if (there[length] < here[length]) {
        *smaller = candidate;
        smaller = pair + 1;
        candidate = *smaller;
        smaller_length = length;
      } else {
        *greater = candidate;
        greater = pair;
        candidate = *greater;
        greater_length = length;
      }
    }
    *smaller = *greater = kNone;
  };
  size_t i = 0;
  while (i < n) {
    table.first[i] = table.list.size();
    if (n - i < kMinMatch + 1) {  // the hashes read four bytes
      ++i;
      continue;
    }
    const uint8_t* here = &in[i];
    const size_t limit = std::min<size_t>(kMaxMatch, n - i);
    size_t best = kMinMatch - 1;
    const uint32_t three = three_bytes(here);
    int32_t nearest = head3[hash3(here)];
    for (unsigned step = 1; step < kMaxChain3 && in_window(nearest, i) && three_bytes(&in[nearest]) != three; ++step)
      nearest = previous3[nearest];
    // One that has the fourth byte too is the tree's, with its whole length.
    if (in_window(nearest, i) && three_bytes(&in[nearest]) == three && in[nearest + 3] != here[3]) {
      best = kMinMatch;
      table.list.push_back({static_cast<uint16_t>(best), static_cast<uint16_t>(i - nearest)});
    }
    insert(i, limit, best, true);
    if (best < kNiceLength) {
      ++i;
      continue;
    }
    for (size_t k = 1; k < best; ++k) {
      table.first[i + k] = table.list.size();
      if (n - i - k >= kMinMatch + 1) {
        size_t ignored = 0;
        insert(i + k, std::min<size_t>(kMaxMatch, n - i - k), ignored, false);
      }
    }
    i += best;
  }
  table.first[n] = table.list.size();
  return table;
}

// The position code of a distance: the bit width of distance - 1, then the bits below its top.
unsigned position_code(unsigned distance) { return static_cast<unsigned>(std::bit_width(distance - 1)); }
unsigned extra_bits(unsigned code) { return code > 1 ? code - 1 : 0; }

struct Histogram {
  uint32_t code[kLiteralCodes] = {};
  uint32_t position[kPositionCodes] = {};
  size_t codes = 0;

  void add(const Match& token, uint8_t literal) {
    ++codes;
    if (token.length == 1) {
      ++code[literal];
      return;
    }
    ++code[256 + token.length - kMinMatch];
    ++position[position_code(token.distance)];
  }
  void remove(const Histogram& other) {
    for (unsigned s = 0; s < kLiteralCodes; ++s) code[s] -= other.code[s];
    for (unsigned s = 0; s < kPositionCodes; ++s) position[s] -= other.position[s];
    codes -= other.codes;
  }
  void add(const Histogram& other) {
    for (unsigned s = 0; s < kLiteralCodes; ++s) code[s] += other.code[s];
    for (unsigned s = 0; s < kPositionCodes; ++s) position[s] += other.position[s];
    codes += other.codes;
  }
};

// Huffman code lengths of at most kMaxCodeBits; all zero when fewer than two symbols occur.
void huffman_lengths(const uint32_t* freq, unsigned n, uint8_t* lengths) {
  constexpr unsigned kMaxSymbols = kLiteralCodes;
  std::fill(lengths, lengths + n, 0);
  unsigned symbols[kMaxSymbols];
  unsigned m = 0;
  for (unsigned s = 0; s < n; ++s)
    if (freq[s] != 0) symbols[m++] = s;
  if (m < 2) return;
  {
    // Sorting plain keys (frequency, then symbol) is much faster than an indirect comparison.
    uint64_t keys[kMaxSymbols];
    for (unsigned k = 0; k < m; ++k) keys[k] = uint64_t{freq[symbols[k]]} << 16 | symbols[k];
    std::sort(keys, keys + m);
    for (unsigned k = 0; k < m; ++k) symbols[k] = static_cast<unsigned>(keys[k] & 0xFFFF);
  }

  // Two queues: the sorted leaves and the inner nodes, whose weights come out in order too.
  uint64_t weight[2 * kMaxSymbols];
  unsigned parent[2 * kMaxSymbols];
  for (unsigned k = 0; k < m; ++k) weight[k] = freq[symbols[k]];
  unsigned leaf = 0, inner = m, next = m;
  const auto pick = [&] { return leaf < m && (inner == next || weight[leaf] <= weight[inner]) ? leaf++ : inner++; };
  for (; next < 2 * m - 1; ++next) {
    const unsigned a = pick();
    const unsigned b = pick();
    weight[next] = weight[a] + weight[b];
    parent[a] = parent[b] = next;
  }
  unsigned depth[2 * kMaxSymbols];
  unsigned count[kMaxSymbols + 1] = {};
  depth[2 * m - 2] = 0;
  unsigned deepest = 0;
  for (unsigned k = 2 * m - 2; k-- > 0;) {
    depth[k] = depth[parent[k]] + 1;
    if (k < m) {
      ++count[depth[k]];
      deepest = std::max(deepest, depth[k]);
    }
  }
  // Too deep leaves: a pair at the bottom moves up, a shallower leaf becomes the parent of two.
  for (unsigned bits = deepest; bits > kMaxCodeBits; --bits) {
    while (count[bits] > 0) {
      unsigned j = bits - 2;
      while (count[j] == 0) --j;
      count[bits] -= 2;
      count[bits - 1] += 1;
      count[j + 1] += 2;
      count[j] -= 1;
    }
  }
  unsigned k = m;
  for (unsigned bits = 1; bits <= kMaxCodeBits; ++bits)
    for (unsigned c = 0; c < count[bits]; ++c) lengths[symbols[--k]] = static_cast<uint8_t>(bits);
}

// Canonical codes, in the order the decoder assigns them.
void canonical_codes(const uint8_t* lengths, unsigned n, uint16_t* codes) {
  unsigned count[kMaxCodeBits + 1] = {};
  for (unsigned s = 0; s < n; ++s) ++count[lengths[s]];
  count[0] = 0;
  unsigned next[kMaxCodeBits + 1] = {};
  unsigned code = 0;
  for (unsigned bits = 1; bits <= kMaxCodeBits; ++bits) {
    code = (code + count[bits - 1]) << 1;
    next[bits] = code;
  }
  for (unsigned s = 0; s < n; ++s) codes[s] = lengths[s] ? static_cast<uint16_t>(next[lengths[s]]++) : 0;
}

int single_symbol(const uint32_t* freq, unsigned n) {
  int symbol = 0;
  unsigned used = 0;
  for (unsigned s = 0; s < n; ++s)
    if (freq[s] != 0) {
      symbol = static_cast<int>(s);
      ++used;
    }
  return used < 2 ? symbol : -1;
}

unsigned used_count(const uint8_t* lengths, unsigned n) {
  while (n > 0 && lengths[n - 1] == 0) --n;
  return n;
}

// The literal code's lengths as the length code codes them: code 0..2 for runs of zeros with
// their extra bits, code length + 2 otherwise. Each run of zeros is split into the pieces that
// cost least under run_bits, the bits of codes 0, 1 and 2 (kNoCode for one that cannot be used).
constexpr uint32_t kNoCode = 1u << 20;

template <class Emit>
void for_each_length_item(const uint8_t* lengths, unsigned n, const uint32_t (&run_bits)[3], Emit emit) {
  unsigned longest = 0;
  for (unsigned i = 0, run = 0; i < n; ++i) {
    run = lengths[i] == 0 ? run + 1 : 0;
    longest = std::max(longest, run);
  }
  // cost[r]: the cheapest pieces for r zeros; piece[r]: the last of them.
  uint32_t cost[kLiteralCodes + 1];
  uint16_t piece[kLiteralCodes + 1];
  cost[0] = 0;
  piece[0] = 0;
  const uint32_t one = run_bits[0];
  const uint32_t medium = run_bits[1] + kMediumZeroRunBits;
  const uint32_t long_run = run_bits[2] + kLongZeroRunBits;
  uint32_t prefix_best = kNoCode * 4;  // least cost[0 .. r - kLongZeroRun]
  unsigned prefix_at = 0;
  for (unsigned r = 1; r <= longest; ++r) {
    uint32_t best = cost[r - 1] + one;
    unsigned take = 1;
    for (unsigned k = kMediumZeroRun; k < kMediumZeroRun + (1u << kMediumZeroRunBits) && k <= r; ++k)
      if (cost[r - k] + medium < best) {
        best = cost[r - k] + medium;
        take = k;
      }
    if (r >= kLongZeroRun) {
      if (cost[r - kLongZeroRun] < prefix_best) {
        prefix_best = cost[r - kLongZeroRun];
        prefix_at = r - kLongZeroRun;
      }
      if (prefix_best + long_run < best) {
        best = prefix_best + long_run;
        take = r - prefix_at;
      }
    }
    cost[r] = std::min<uint32_t>(best, kNoCode * 4);
    piece[r] = static_cast<uint16_t>(take);
  }
  for (unsigned i = 0; i < n;) {
    if (lengths[i] != 0) {
      emit(lengths[i++] + 2u, 0u, 0u);
      continue;
    }
    unsigned run = 1;
    while (i + run < n && lengths[i + run] == 0) ++run;
    i += run;
    // The pieces come out last first; their order does not matter to the decoder's sum.
    for (unsigned r = run; r > 0; r -= piece[r]) {
      const unsigned k = piece[r];
      if (k == 1)
        emit(0u, 0u, 0u);
      else if (k < kLongZeroRun)
        emit(1u, kMediumZeroRunBits, k - kMediumZeroRun);
      else
        emit(2u, kLongZeroRunBits, k - kLongZeroRun);
    }
  }
}

// The bits of the run codes under a length code.
void run_bits_of(const uint8_t* length, int single, uint32_t (&bits)[3]) {
  for (unsigned c = 0; c < 3; ++c)
    bits[c] = single >= 0 ? (static_cast<unsigned>(single) == c ? 0 : kNoCode) : length[c] ? length[c] : kNoCode;
}

template <class Sink>
void write_short_lengths(const uint8_t* lengths, unsigned symbols, unsigned count_bits, unsigned skip_after,
                         int single, Sink& out);
struct BitCounter {
  uint64_t bits = 0;
  void put(unsigned n, uint32_t) { bits += n; }
};

// The three codes of a block. An alphabet with one symbol (or none) is sent as that symbol.
struct BlockCode {
  uint8_t code[kLiteralCodes];
  uint8_t position[kPositionCodes];
  uint8_t length[kLengthCodes];
  int code_single;
  int position_single;
  int length_single;
};

// Bits of the length code and of the literal code's lengths coded with it.
uint64_t literal_table_bits(const uint8_t* code, unsigned n, const uint8_t* length, int single) {
  BitCounter counter;
  write_short_lengths(length, kLengthCodes, kLengthCountBits, kLengthZeroSkipAfter, single, counter);
  uint32_t run_bits[3];
  run_bits_of(length, single, run_bits);
  uint64_t bits = counter.bits;
  for_each_length_item(code, n, run_bits, [&](unsigned item, unsigned extra, unsigned) {
    bits += (single >= 0 ? 0 : length[item]) + extra;
  });
  return bits;
}

BlockCode plan_block(const Histogram& h) {
  BlockCode b{};
  huffman_lengths(h.code, kLiteralCodes, b.code);
  b.code_single = single_symbol(h.code, kLiteralCodes);
  huffman_lengths(h.position, kPositionCodes, b.position);
  b.position_single = single_symbol(h.position, kPositionCodes);
  if (b.code_single >= 0) return b;
  // The length code and the split of the zero runs depend on each other: starting from runs
  // split as if every piece cost its extra bits only, each round codes the pieces the last
  // chose, keeping the cheapest.
  const unsigned n = used_count(b.code, kLiteralCodes);
  uint32_t run_bits[3] = {kRunGuessBits, kRunGuessBits, kRunGuessBits};
  uint64_t best = std::numeric_limits<uint64_t>::max();
  for (int round = 0; round < kLengthRounds; ++round) {
    uint32_t items[kLengthCodes] = {};
    for_each_length_item(b.code, n, run_bits, [&](unsigned item, unsigned, unsigned) { ++items[item]; });
    uint8_t length[kLengthCodes];
    huffman_lengths(items, kLengthCodes, length);
    const int single = single_symbol(items, kLengthCodes);
    const uint64_t bits = literal_table_bits(b.code, n, length, single);
    if (bits < best) {
      best = bits;
      std::copy(length, length + kLengthCodes, b.length);
      b.length_single = single;
    } else {
      break;
    }
    for (unsigned c = 0; c < 3; ++c) run_bits[c] = single >= 0 ? (single == int(c) ? 0 : kUnusedRunBits) : length[c] ? length[c] : kUnusedRunBits;
  }
  return b;
}

template <class Sink>
void write_short_lengths(const uint8_t* lengths, unsigned symbols, unsigned count_bits, unsigned skip_after,
                         int single, Sink& out) {
  if (single >= 0) {
    out.put(count_bits, 0);
    out.put(count_bits, static_cast<uint32_t>(single));
    return;
  }
  const unsigned n = used_count(lengths, symbols);
  out.put(count_bits, n);
  for (unsigned i = 0; i < n;) {
    const unsigned length = lengths[i++];
    if (length < kLongLengthMark)
      out.put(kShortLengthBits, length);
    else
      out.put(length - kShortLengthBits, (1u << (length - kShortLengthBits)) - 2);
    if (i == skip_after) {
      unsigned zeros = 0;
      while (zeros < 3 && i + zeros < n && lengths[i + zeros] == 0) ++zeros;
      out.put(2, zeros);
      i += zeros;
    }
  }
}

template <class Sink>
void write_tables(const BlockCode& b, Sink& out) {
  write_short_lengths(b.length, kLengthCodes, kLengthCountBits, kLengthZeroSkipAfter, b.length_single, out);
  if (b.code_single >= 0) {
    out.put(kLiteralCountBits, 0);
    out.put(kLiteralCountBits, static_cast<uint32_t>(b.code_single));
  } else {
    uint16_t length_codes[kLengthCodes];
    canonical_codes(b.length, kLengthCodes, length_codes);
    const unsigned n = used_count(b.code, kLiteralCodes);
    out.put(kLiteralCountBits, n);
    uint32_t run_bits[3];
    run_bits_of(b.length, b.length_single, run_bits);
    for_each_length_item(b.code, n, run_bits, [&](unsigned item, unsigned bits, unsigned value) {
      out.put(b.length[item], length_codes[item]);
      out.put(bits, value);
    });
  }
  write_short_lengths(b.position, kPositionCodes, Lh5::kPositionCountBits, 0, b.position_single, out);
}

class BitWriter {
 public:
  explicit BitWriter(std::vector<uint8_t>& out) : out_(out) {}
  void put(unsigned bits, uint32_t value) {
    buffer_ = buffer_ << bits | value;
    count_ += bits;
    while (count_ >= 8) {
      count_ -= 8;
      out_.push_back(static_cast<uint8_t>(buffer_ >> count_));
    }
  }
  void flush() {
    if (count_ > 0) out_.push_back(static_cast<uint8_t>(buffer_ << (8 - count_)));
    count_ = 0;
  }

 private:
  std::vector<uint8_t>& out_;
  uint64_t buffer_ = 0;
  unsigned count_ = 0;
};

uint64_t block_bits(const Histogram& h) {
  const BlockCode b = plan_block(h);
  BitCounter counter;
  write_tables(b, counter);
  uint64_t bits = kBlockCountBits + counter.bits;
  for (unsigned s = 0; s < kLiteralCodes; ++s) bits += uint64_t{h.code[s]} * b.code[s];
  for (unsigned s = 0; s < kPositionCodes; ++s) bits += uint64_t{h.position[s]} * (b.position[s] + extra_bits(s));
  return bits;
}

// What a code costs in one stretch of the input, in 1/16 bits, position codes with their extra
// bits. Costs from the symbols' shares rather than from code lengths let later passes move away
// from what the rounding to whole bits chose; the last pass takes the lengths that are written.
constexpr uint32_t kCostUnit = 16;

struct Costs {
  size_t start;  // input position from which these costs hold
  uint32_t code[kLiteralCodes];
  uint32_t position[kPositionCodes];
};

Costs first_guess() {
  Costs c{};
  std::fill(std::begin(c.code), std::end(c.code), 8 * kCostUnit);
  for (unsigned s = 0; s < kPositionCodes; ++s) c.position[s] = (3 + extra_bits(s)) * kCostUnit;
  return c;
}

template <size_t kSymbols>
void entropy_costs(const uint32_t (&freq)[kSymbols], uint32_t* costs) {
  uint64_t total = 0;
  for (uint32_t f : freq) total += f;
  for (size_t s = 0; s < kSymbols; ++s)
    costs[s] = freq[s] != 0 ? static_cast<uint32_t>(std::lround(kCostUnit * std::log2(double(total) / freq[s])))
                            : kUnusedCodeBits * kCostUnit;
}

Costs entropy_costs(const Histogram& h, size_t start) {
  Costs c{};
  c.start = start;
  entropy_costs(h.code, c.code);
  entropy_costs(h.position, c.position);
  for (unsigned s = 0; s < kPositionCodes; ++s) c.position[s] += extra_bits(s) * kCostUnit;
  return c;
}

uint32_t code_bits(const uint8_t* lengths, int single, unsigned s) {
  if (single >= 0) return s == static_cast<unsigned>(single) ? 0 : kUnusedCodeBits;
  return lengths[s] ? lengths[s] : kUnusedCodeBits;
}

Costs code_length_costs(const Histogram& h, size_t start) {
  const BlockCode b = plan_block(h);
  Costs c{};
  c.start = start;
  for (unsigned s = 0; s < kLiteralCodes; ++s) c.code[s] = code_bits(b.code, b.code_single, s) * kCostUnit;
  for (unsigned s = 0; s < kPositionCodes; ++s)
    c.position[s] = (code_bits(b.position, b.position_single, s) + extra_bits(s)) * kCostUnit;
  return c;
}

// The cheapest sequence of literals and matches under the given costs (a shortest path over
// the positions), except that a match of kNiceLength or more is taken without looking inside.
// The buffers are the caller's so that the passes reuse them.
struct ParseSpace {
  std::vector<uint64_t> cost;
  std::vector<Match> step;
};

std::vector<Match> parse(std::span<const uint8_t> in, const MatchTable& matches, const std::vector<Costs>& costs,
                         ParseSpace& space) {
  const size_t n = in.size();
  std::vector<uint64_t>& cost = space.cost;
  std::vector<Match>& step = space.step;
  cost.assign(n + 1, std::numeric_limits<uint64_t>::max());
  step.resize(n + 1);
  cost[0] = 0;
  size_t stretch = 0;
  const auto relax = [&](size_t to, uint64_t c, Match how) {
    if (c < cost[to]) {
      cost[to] = c;
      step[to] = how;
    }
  };
  for (size_t i = 0; i < n;) {
    while (stretch + 1 < costs.size() && costs[stretch + 1].start <= i) ++stretch;
    const Costs& c = costs[stretch];
    const uint64_t here = cost[i];
    relax(i + 1, here + c.code[in[i]], {1, 0});
    unsigned length = kMinMatch;
    const size_t begin = matches.first[i], end = matches.first[i + 1];
    for (size_t m = begin; m < end; ++m) {
      const Match& match = matches.list[m];
      const uint64_t base = here + c.position[position_code(match.distance)];
      for (; length <= match.length; ++length)
        relax(i + length, base + c.code[256 + length - kMinMatch], {static_cast<uint16_t>(length), match.distance});
    }
    i += (end > begin && matches.list[end - 1].length >= kNiceLength) ? matches.list[end - 1].length : 1;
  }
  std::vector<Match> tokens;
  for (size_t pos = n; pos > 0; pos -= step[pos].length) tokens.push_back(step[pos]);
  std::reverse(tokens.begin(), tokens.end());
  return tokens;
}

struct Block {
  size_t first_token;
  size_t start;  // input position of the first token
  Histogram histogram;
  uint64_t bits;
};

// Moves each boundary by up to kShiftSteps steps of step codes to where its two blocks cost
// least.
void shift_boundaries(std::span<const uint8_t> in, const std::vector<Match>& tokens, const std::vector<size_t>& at,
                      std::vector<Block>& blocks, size_t step) {
  for (size_t i = 0; i + 1 < blocks.size(); ++i) {
    Block& a = blocks[i];
    Block& b = blocks[i + 1];
    const size_t boundary = b.first_token;
    const size_t b_end = i + 2 < blocks.size() ? blocks[i + 2].first_token : tokens.size();
    uint64_t best_bits = a.bits + b.bits;
    size_t best_boundary = boundary;
    Histogram best_a, best_b;
    uint64_t best_a_bits = 0, best_b_bits = 0;
    const auto consider = [&](const Histogram& ha, const Histogram& hb, size_t where) {
      if (ha.codes > kMaxBlockCodes || hb.codes > kMaxBlockCodes) return;
      const uint64_t bits_a = block_bits(ha), bits_b = block_bits(hb);
      if (bits_a + bits_b >= best_bits) return;
      best_bits = bits_a + bits_b;
      best_boundary = where;
      best_a = ha;
      best_b = hb;
      best_a_bits = bits_a;
      best_b_bits = bits_b;
    };
    // Earlier: the codes before the boundary move to b. Each block keeps at least one code.
    Histogram moved;
    for (size_t t = boundary, s = 0; s < kShiftSteps && t > a.first_token + 1; ++s) {
      const size_t stop = t - std::min(step, t - a.first_token - 1);
      while (t > stop) {
        --t;
        moved.add(tokens[t], in[at[t]]);
      }
      Histogram ha = a.histogram, hb = b.histogram;
      ha.remove(moved);
      hb.add(moved);
      consider(ha, hb, t);
    }
    // Later: the codes after it move to a.
    moved = Histogram{};
    for (size_t t = boundary, s = 0; s < kShiftSteps && t + 1 < b_end; ++s) {
      const size_t stop = t + std::min(step, b_end - t - 1);
      for (; t < stop; ++t) moved.add(tokens[t], in[at[t]]);
      Histogram ha = a.histogram, hb = b.histogram;
      ha.add(moved);
      hb.remove(moved);
      consider(ha, hb, t);
    }
    if (best_boundary != boundary) {
      a.histogram = best_a;
      a.bits = best_a_bits;
      b.histogram = best_b;
      b.bits = best_b_bits;
      b.first_token = best_boundary;
      b.start = at[best_boundary];
    }
  }
}

// Starts from runs of kSplitCodes codes and merges neighbours while that saves the most bits;
// then, when refine is set, shifts the boundaries.
std::vector<Block> split_blocks(std::span<const uint8_t> in, const std::vector<Match>& tokens, bool refine) {
  std::vector<Block> runs;
  size_t pos = 0;
  for (size_t t = 0; t < tokens.size(); ++t) {
    if (t % kSplitCodes == 0) runs.push_back({t, pos, {}, 0});
    runs.back().histogram.add(tokens[t], in[pos]);
    pos += tokens[t].length;
  }
  const size_t k = runs.size();
  for (Block& b : runs) b.bits = block_bits(b.histogram);
  // The blocks as a list over the runs, each named by its first run: merging moves no histograms.
  constexpr size_t kNone = std::numeric_limits<size_t>::max();
  constexpr uint64_t kNoMerge = std::numeric_limits<uint64_t>::max();
  std::vector<size_t> next(k), previous(k);
  for (size_t i = 0; i < k; ++i) {
    next[i] = i + 1 < k ? i + 1 : kNone;
    previous[i] = i > 0 ? i - 1 : kNone;
  }
  const auto merged_bits = [&](size_t i) {
    const size_t j = next[i];
    if (j == kNone) return kNoMerge;
    const Histogram& a = runs[i].histogram;
    const Histogram& b = runs[j].histogram;
    if (a.codes + b.codes > kMaxBlockCodes) return kNoMerge;
    Histogram both = a;
    both.add(b);
    return block_bits(both);
  };
  std::vector<uint64_t> merged(k);
  for (size_t i = 0; i < k; ++i) merged[i] = merged_bits(i);
  for (;;) {
    size_t best = kNone;
    int64_t best_gain = 0;
    for (size_t i = 0; i != kNone; i = next[i]) {
      if (merged[i] == kNoMerge) continue;
      const int64_t gain = static_cast<int64_t>(runs[i].bits + runs[next[i]].bits - merged[i]);
      if (gain > best_gain) {
        best_gain = gain;
        best = i;
      }
    }
    if (best == kNone) break;
    const size_t gone = next[best];
    runs[best].histogram.add(runs[gone].histogram);
    runs[best].bits = merged[best];
    next[best] = next[gone];
    if (next[gone] != kNone) previous[next[gone]] = best;
    merged[best] = merged_bits(best);
    if (previous[best] != kNone) merged[previous[best]] = merged_bits(previous[best]);
  }
  std::vector<Block> blocks;
  for (size_t i = 0; i != kNone; i = next[i]) blocks.push_back(runs[i]);
  if (refine) {
    std::vector<size_t> at(tokens.size() + 1);
    for (size_t t = 0; t < tokens.size(); ++t) at[t + 1] = at[t] + tokens[t].length;
    shift_boundaries(in, tokens, at, blocks, kCoarseShift);
    shift_boundaries(in, tokens, at, blocks, kFineShift);
  }
  return blocks;
}

void write_block(std::span<const uint8_t> in, size_t pos, std::span<const Match> tokens, const Histogram& h,
                 BitWriter& out) {
  const BlockCode b = plan_block(h);
  out.put(kBlockCountBits, static_cast<uint32_t>(tokens.size()));
  write_tables(b, out);
  uint16_t code_codes[kLiteralCodes];
  uint16_t position_codes[kPositionCodes];
  canonical_codes(b.code, kLiteralCodes, code_codes);
  canonical_codes(b.position, kPositionCodes, position_codes);
  for (const Match& token : tokens) {
    if (token.length == 1) {
      out.put(b.code[in[pos]], code_codes[in[pos]]);
    } else {
      const unsigned code = 256 + token.length - kMinMatch;
      out.put(b.code[code], code_codes[code]);
      const unsigned distance = token.distance - 1u;
      const unsigned p = position_code(token.distance);
      out.put(b.position[p], position_codes[p]);
      if (p > 1) out.put(p - 1, distance - (1u << (p - 1)));
    }
    pos += token.length;
  }
}

}  // namespace

std::vector<uint8_t> encode_lh5(std::span<const uint8_t> input) {
  // Positions are kept as 32-bit numbers.
  if (input.size() > size_t{std::numeric_limits<int32_t>::max()}) throw std::length_error("input of 2 GiB or more");
  std::vector<uint8_t> out;
  if (input.empty()) return out;
  const MatchTable matches = find_matches(input);
  std::vector<Costs> costs{first_guess()};
  std::vector<Match> tokens;
  std::vector<Block> blocks;
  ParseSpace space;
  for (int pass = 0; pass < kPasses; ++pass) {
    tokens = parse(input, matches, costs, space);
    blocks = split_blocks(input, tokens, pass >= kPasses - kRefinedPasses);
    costs.clear();
    for (const Block& b : blocks)
      costs.push_back(pass + 2 < kPasses ? entropy_costs(b.histogram, b.start) : code_length_costs(b.histogram, b.start));
  }
  BitWriter writer(out);
  for (size_t i = 0; i < blocks.size(); ++i) {
    const size_t end = i + 1 < blocks.size() ? blocks[i + 1].first_token : tokens.size();
    write_block(input, blocks[i].start,
                std::span(tokens).subspan(blocks[i].first_token, end - blocks[i].first_token), blocks[i].histogram,
                writer);
  }
  writer.flush();
  return out;
}

}  // namespace lzh
