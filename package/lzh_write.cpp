#include "lzh_write.h"

#include <stdexcept>

#include "crc16.h"
#include "lzh_encode.h"

namespace lzh {
namespace {

constexpr uint8_t kAttributeArchive = 0x20;
constexpr uint8_t kLevel2 = 2;
constexpr uint8_t kOsMsDos = 'M';  // what the Windows LHA tools put there
constexpr uint8_t kExtensionCommon = 0x00;
constexpr uint8_t kExtensionName = 0x01;
constexpr uint8_t kExtensionWindowsTimes = 0x41;
constexpr uint8_t kExtensionCodePage = 0x46;
constexpr size_t kCrcSize = 2;
constexpr size_t kMaxHeaderSize = 0xFFFF;
constexpr int64_t kFileTimeUnitsPerSecond = 10'000'000;
constexpr int64_t kFileTimeAtUnixEpoch = 11'644'473'600 * kFileTimeUnitsPerSecond;

void put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}
void put64(std::vector<uint8_t>& out, uint64_t v) {
  put32(out, static_cast<uint32_t>(v));
  put32(out, static_cast<uint32_t>(v >> 32));
}
void set16(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  out[at] = static_cast<uint8_t>(v);
  out[at + 1] = static_cast<uint8_t>(v >> 8);
}

}  // namespace

void write_member(std::vector<uint8_t>& archive, std::string_view name, std::span<const uint8_t> data,
                  int64_t mtime) {
  if (data.size() > UINT32_MAX) throw std::length_error("member larger than 4 GiB");
  const std::vector<uint8_t> packed = encode_lh5(data);
  const uint16_t crc = crc16(0, data.data(), data.size());

  std::vector<uint8_t> header;
  put16(header, 0);  // total size, set at the end
  for (char c : {'-', 'l', 'h', '5', '-'}) header.push_back(static_cast<uint8_t>(c));
  put32(header, static_cast<uint32_t>(packed.size()));
  put32(header, static_cast<uint32_t>(data.size()));
  put32(header, static_cast<uint32_t>(mtime));
  header.push_back(kAttributeArchive);
  header.push_back(kLevel2);
  put16(header, crc);
  header.push_back(kOsMsDos);
  put16(header, 0);
  // Each extended header is announced by the two size bytes its predecessor ends with.
  const auto extension = [&](uint8_t type, std::span<const uint8_t> bytes) {
    set16(header, header.size() - 2, static_cast<uint32_t>(1 + bytes.size() + 2));
    header.push_back(type);
    const size_t at = header.size();
    header.insert(header.end(), bytes.begin(), bytes.end());
    put16(header, 0);
    return at;
  };
  const uint8_t crc_to_come[kCrcSize] = {};
  const size_t header_crc_at = extension(kExtensionCommon, crc_to_come);
  extension(kExtensionName, std::span(reinterpret_cast<const uint8_t*>(name.data()), name.size()));
  // Creation, modification and last access, all the modification time we know.
  std::vector<uint8_t> times;
  for (int i = 0; i < 3; ++i) put64(times, static_cast<uint64_t>(kFileTimeAtUnixEpoch + mtime * kFileTimeUnitsPerSecond));
  extension(kExtensionWindowsTimes, times);
  std::vector<uint8_t> code_page;
  put32(code_page, kCodePageShiftJis);
  extension(kExtensionCodePage, code_page);
  // Readers take a header whose first byte is zero for the end mark.
  if ((header.size() & 0xFF) == 0) header.push_back(0);
  if (header.size() > kMaxHeaderSize) throw std::length_error("member name too long");
  set16(header, 0, static_cast<uint32_t>(header.size()));
  set16(header, header_crc_at, crc16(0, header.data(), header.size()));

  archive.insert(archive.end(), header.begin(), header.end());
  archive.insert(archive.end(), packed.begin(), packed.end());
}

void write_end(std::vector<uint8_t>& archive) { archive.push_back(0); }

}  // namespace lzh
