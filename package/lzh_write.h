// Writing LHA archives: level 2 headers as Windows LHA tools write them, -lh5- data, end mark.
#pragma once
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace lzh {

constexpr uint32_t kCodePageShiftJis = 932;

// Appends one member: the name bytes as given (code page 932), compressed with -lh5-, with
// mtime (seconds since 1970) as its modification time.
void write_member(std::vector<uint8_t>& archive, std::string_view name, std::span<const uint8_t> data,
                  int64_t mtime);

void write_end(std::vector<uint8_t>& archive);

}  // namespace lzh
