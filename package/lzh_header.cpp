#include "lzh_header.h"

#include "crc16.h"

namespace lzh {
namespace {

// Fields every level shares.
constexpr size_t kMethodOffset = 2;
constexpr size_t kPackedSizeOffset = 7;
constexpr size_t kSizeOffset = 11;
constexpr size_t kLevelOffset = 20;
// Levels 0 and 1: one byte of header size, one of checksum, the name in the base header.
constexpr size_t kChecksummedFrom = 2;
constexpr size_t kNameSizeOffset = 21;
constexpr size_t kNameOffset = 22;
constexpr size_t kCrcSize = 2;
constexpr size_t kOsIdSize = 1;
// LHARK writes a method of its own under the -lh7- id, in level 1 headers with this OS id.
constexpr uint8_t kOsIdLhark = ' ';
// Level 2: two bytes of total header size, the rest in extended headers.
constexpr size_t kLevel2CrcOffset = 21;
constexpr size_t kLevel2FirstExtensionOffset = 24;
constexpr size_t kLevel2BaseSize = 26;
// An extended header: its type, its data, and the size of the next one (0 ends the chain).
constexpr size_t kExtensionSizeSize = 2;
constexpr size_t kExtensionMinSize = 1 + kExtensionSizeSize;
constexpr uint8_t kExtensionCommon = 0x00;  // the header CRC
constexpr uint8_t kExtensionName = 0x01;
constexpr uint8_t kExtensionFolder = 0x02;

uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

// Code page 932: a "\" (0x5C) after one of these bytes is the second half of a character.
bool is_lead_byte(uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// Builds Entry::path. '/' and 0xFF (the level 2 folder separator) are never part of a
// character in code page 932 and always separate; "\" does unless it is a second byte.
class PathBuilder {
 public:
  explicit PathBuilder(Entry& entry) : entry_(entry) { entry_.path_size = 0; }

  void add(const uint8_t* bytes, size_t size) {
    bool second_byte = false;
    for (size_t i = 0; i < size; ++i) {
      const uint8_t b = bytes[i];
      if (b == '/' || b == 0xFF || (b == '\\' && !second_byte)) {
        end_part();
        second_byte = false;
        continue;
      }
      second_byte = !second_byte && is_lead_byte(b);
      // A drive letter, or an NTFS stream name, which writes beside the file.
      if (b == ':') unsafe_ = true;
      if (!in_part_) {
        if (entry_.path_size > 0) put('/');
        part_ = entry_.path_size;
        in_part_ = true;
      }
      put(b);
    }
    end_part();
  }
  bool unsafe() const { return unsafe_; }
  bool too_long() const { return too_long_; }

 private:
  void put(uint8_t b) {
    if (entry_.path_size == kMaxPathBytes) {
      too_long_ = true;
      return;
    }
    entry_.path[entry_.path_size++] = static_cast<char>(b);
  }
  void end_part() {
    if (!in_part_) return;
    in_part_ = false;
    const char* part = entry_.path + part_;
    const size_t size = entry_.path_size - part_;
    if (size == 1 && part[0] == '.')
      entry_.path_size = static_cast<uint16_t>(part_ > 0 ? part_ - 1 : 0);
    else if (size == 2 && part[0] == '.' && part[1] == '.')
      unsafe_ = true;
  }

  Entry& entry_;
  size_t part_ = 0;
  bool in_part_ = false;
  bool unsafe_ = false;
  bool too_long_ = false;
};

// "-lh?-": ok for the methods we unpack, unsupported for the other members of the family,
// bad_header for anything else. Compared byte by byte so that no method string lands in the
// extractor stub, where other readers would take it for the archive.
Result read_method(const uint8_t* id, Method& method) {
  if (id[0] != '-' || id[1] != 'l' || id[2] != 'h' || id[4] != '-') return Result::bad_header;
  switch (id[3]) {
    case '0': method = Method::stored; return Result::ok;
    case '5': method = Method::lh5; return Result::ok;
    case '6': method = Method::lh6; return Result::ok;
    case '7': method = Method::lh7; return Result::ok;
    case 'd': method = Method::folder; return Result::ok;
    default: return Result::unsupported;
  }
}

bool checksum_matches(const uint8_t* header, size_t size) {
  unsigned sum = 0;
  for (size_t i = kChecksummedFrom; i < size; ++i) sum += header[i];
  return (sum & 0xFF) == header[1];
}

struct Extensions {
  const uint8_t* name = nullptr;
  size_t name_size = 0;
  const uint8_t* folder = nullptr;
  size_t folder_size = 0;
  size_t crc_offset = 0;  // of the header CRC in the common header; 0 if there is none
  size_t end = 0;
};

// Follows the chain of extended headers from `pos`, none of which may reach past `limit`.
Result read_extensions(const uint8_t* data, size_t limit, size_t pos, size_t next, Result past_limit,
                       Extensions& extensions) {
  while (next != 0) {
    if (next < kExtensionMinSize) return Result::bad_header;
    if (next > limit - pos) return past_limit;
    const uint8_t* payload = data + pos + 1;
    const size_t payload_size = next - kExtensionMinSize;
    switch (data[pos]) {
      case kExtensionCommon:
        if (payload_size >= kCrcSize) extensions.crc_offset = pos + 1;
        break;
      case kExtensionName:
        extensions.name = payload;
        extensions.name_size = payload_size;
        break;
      case kExtensionFolder:
        extensions.folder = payload;
        extensions.folder_size = payload_size;
        break;
    }
    pos += next;
    next = le16(data + pos - kExtensionSizeSize);
  }
  extensions.end = pos;
  return Result::ok;
}

// Levels 0 and 1 start alike: the size of the base header in its first byte, its checksum,
// and at least the name's length.
Result read_base(const uint8_t* data, size_t size, size_t& base) {
  base = size_t{data[0]} + kChecksummedFrom;
  if (base > size) return Result::truncated;
  if (base < kNameOffset || !checksum_matches(data, base)) return Result::bad_header;
  return Result::ok;
}

Result read_level0(const uint8_t* data, size_t size, Entry& entry, PathBuilder& path) {
  size_t total;
  if (const Result result = read_base(data, size, total); result != Result::ok) return result;
  const size_t name_size = data[kNameSizeOffset];
  if (kNameOffset + name_size + kCrcSize > total) return Result::bad_header;
  entry.packed_size = le32(data + kPackedSizeOffset);
  entry.crc = le16(data + kNameOffset + name_size);
  path.add(data + kNameOffset, name_size);
  entry.header_size = total;
  return Result::ok;
}

Result read_level1(const uint8_t* data, size_t size, Entry& entry, PathBuilder& path) {
  size_t base;
  if (const Result result = read_base(data, size, base); result != Result::ok) return result;
  const size_t name_size = data[kNameSizeOffset];
  if (kNameOffset + name_size + kCrcSize + kOsIdSize + kExtensionSizeSize > base) return Result::bad_header;
  Extensions extensions;
  const Result result = read_extensions(data, size, base, le16(data + base - kExtensionSizeSize),
                                        Result::truncated, extensions);
  if (result != Result::ok) return result;
  // Level 1 counts the extended headers in the packed size.
  const size_t extension_bytes = extensions.end - base;
  const uint32_t skip_size = le32(data + kPackedSizeOffset);
  if (extension_bytes > skip_size) return Result::bad_header;
  entry.packed_size = static_cast<uint32_t>(skip_size - extension_bytes);
  entry.crc = le16(data + kNameOffset + name_size);
  path.add(extensions.folder, extensions.folder_size);
  if (extensions.name != nullptr)
    path.add(extensions.name, extensions.name_size);
  else
    path.add(data + kNameOffset, name_size);
  entry.header_size = extensions.end;
  return Result::ok;
}

Result read_level2(const uint8_t* data, size_t size, Entry& entry, PathBuilder& path) {
  if (size < kLevel2BaseSize) return Result::truncated;
  const size_t total = le16(data);
  if (total < kLevel2BaseSize) return Result::bad_header;
  if (total > size) return Result::truncated;
  Extensions extensions;
  const Result result = read_extensions(data, total, kLevel2BaseSize, le16(data + kLevel2FirstExtensionOffset),
                                        Result::bad_header, extensions);
  if (result != Result::ok) return result;
  // The header CRC covers the whole header with the CRC itself taken as zero.
  if (extensions.crc_offset == 0) return Result::bad_header;
  const uint8_t zero[kCrcSize] = {};
  uint16_t crc = crc16(0, data, extensions.crc_offset);
  crc = crc16(crc, zero, kCrcSize);
  crc = crc16(crc, data + extensions.crc_offset + kCrcSize, total - extensions.crc_offset - kCrcSize);
  if (crc != le16(data + extensions.crc_offset)) return Result::bad_header;
  entry.packed_size = le32(data + kPackedSizeOffset);
  entry.crc = le16(data + kLevel2CrcOffset);
  path.add(extensions.folder, extensions.folder_size);
  path.add(extensions.name, extensions.name_size);
  entry.header_size = total;
  return Result::ok;
}

}  // namespace

Result read_header(const uint8_t* data, size_t size, Entry& entry) {
  entry.header_size = 0;
  entry.method = Method::stored;
  entry.path_size = 0;
  if (size == 0) return Result::truncated;
  if (data[0] == 0) return Result::end_of_archive;
  if (size <= kLevelOffset) return Result::truncated;
  const Result method = read_method(data + kMethodOffset, entry.method);
  if (method == Result::bad_header) return method;
  entry.level = data[kLevelOffset];
  entry.size = le32(data + kSizeOffset);
  PathBuilder path(entry);
  Result result = Result::unsupported;
  switch (entry.level) {
    case 0: result = read_level0(data, size, entry, path); break;
    case 1: result = read_level1(data, size, entry, path); break;
    case 2: result = read_level2(data, size, entry, path); break;
  }
  if (result != Result::ok) return result;
  if (entry.packed_size > size - entry.header_size) return Result::truncated;
  const bool lhark = entry.level == 1 && entry.method == Method::lh7 &&
                     data[kNameOffset + data[kNameSizeOffset] + kCrcSize] == kOsIdLhark;
  if (method != Result::ok || lhark || path.too_long()) return Result::unsupported;
  if (path.unsafe() || (entry.method != Method::folder && entry.path_size == 0)) return Result::unsafe_name;
  return Result::ok;
}

size_t find_archive(const uint8_t* data, size_t size, size_t from) {
  Entry entry;
  for (size_t pos = from; pos < size && size - pos > kLevelOffset; ++pos) {
    const uint8_t* id = data + pos + kMethodOffset;
    if (id[0] != '-' || id[1] != 'l' || id[2] != 'h' || id[4] != '-') continue;
    const Result result = read_header(data + pos, size - pos, entry);
    if (result != Result::bad_header && entry.header_size != 0) return pos;
  }
  return size;
}

}  // namespace lzh
