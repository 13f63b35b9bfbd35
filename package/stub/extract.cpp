#include "extract.h"

#include <cstddef>
#include <cstdint>

#include "lzh_decode.h"
#include "lzh_header.h"

namespace stub {
namespace {

// Far beyond any package, and small enough that its size fits every buffer length here.
constexpr uint64_t kMaxPackageBytes = 1u << 30;
constexpr DWORD kReadChunk = 1u << 20;

class Memory {
 public:
  explicit Memory(size_t size)
      : data_(static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, size > 0 ? size : 1))) {}
  ~Memory() {
    if (data_ != nullptr) HeapFree(GetProcessHeap(), 0, data_);
  }
  Memory(const Memory&) = delete;
  Memory& operator=(const Memory&) = delete;
  uint8_t* get() const { return data_; }

 private:
  uint8_t* data_;
};

class File {
 public:
  explicit File(HANDLE handle) : handle_(handle) {}
  ~File() { close(); }
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  bool is_open() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }
  bool close() {
    const HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return handle == INVALID_HANDLE_VALUE || CloseHandle(handle);
  }

 private:
  HANDLE handle_;
};

Exit exit_for(lzh::Result result) {
  switch (result) {
    case lzh::Result::unsafe_name: return kUnsafeName;
    case lzh::Result::unsupported: return kUnsupported;
    default: return kDamaged;
  }
}

size_t length_of(const char* text) {
  size_t n = 0;
  while (text[n] != '\0') ++n;
  return n;
}

void copy_text(char* out, const char* text, size_t size) {
  for (size_t i = 0; i < size; ++i) out[i] = text[i];
  out[size] = '\0';
}

bool is_separator(char c) { return c == '\\' || c == '/'; }

// The packer appends the archive right after the last section's raw data.
size_t image_end() {
  const auto* base = reinterpret_cast<const uint8_t*>(GetModuleHandleA(nullptr));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
  size_t end = nt->OptionalHeader.SizeOfHeaders;
  for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
    const size_t section_end = size_t{section[i].PointerToRawData} + section[i].SizeOfRawData;
    if (section[i].SizeOfRawData != 0 && section_end > end) end = section_end;
  }
  return end;
}

bool is_plain_folder(const char* path) {
  const DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Makes `path` and every missing folder above it. The path is ANSI text: a "\" that is the
// second byte of a double-byte character (表, ソ, 能 in code page 932) separates nothing.
bool make_folder_chain(char* path) {
  for (char* p = path; *p != '\0'; p = CharNextA(p)) {
    if (!is_separator(*p) || p == path) continue;
    const char separator = *p;
    *p = '\0';
    CreateDirectoryA(path, nullptr);  // drives, shares and existing folders fail; checked below
    *p = separator;
  }
  CreateDirectoryA(path, nullptr);
  return is_plain_folder(path);
}

// Where the members go, and where each one lands.
class Target {
 public:
  Exit open(const char* folder) {
    const DWORD size = GetFullPathNameA(folder, kPathBytes, base_, nullptr);
    if (size == 0 || size >= kPathBytes) return kCannotCreateFolder;
    size_ = size;
    if (!make_folder_chain(base_)) return kCannotCreateFolder;
    return kDone;
  }

  const char* base() const { return base_; }

  // path = the folder, "\", and the member's parts, still joined by "/"; false when that is too
  // long for the system. The reader has made the member's path relative, without "..", ":" or
  // empty parts, and joined its parts by "/", which is never the second byte of a character
  // (a "\" in a part is one).
  bool join(const lzh::Entry& entry, char* path, size_t* folder_size) const {
    size_t n = size_;
    copy_text(path, base_, n);
    if (!ends_in_separator()) path[n++] = '\\';
    *folder_size = n > size_ ? n - 1 : n;
    if (n + entry.path_size >= kPathBytes) return false;
    for (size_t i = 0; i < entry.path_size; ++i) {
      if (entry.path[i] == '/') *folder_size = n;
      path[n++] = entry.path[i];
    }
    path[n] = '\0';
    return true;
  }

  // Makes the member's folders below the target, path[0..end), one part at a time, and turns
  // their "/" into "\"; each must be a plain folder, not a link that could lead out.
  Exit make_member_folders(char* path, size_t end) const {
    for (size_t i = size_ + 1; i <= end; ++i) {
      if (path[i] != '/' && i != end) continue;
      const char kept = path[i];
      path[i] = '\0';
      CreateDirectoryA(path, nullptr);
      const DWORD attributes = GetFileAttributesA(path);
      path[i] = kept == '/' ? '\\' : kept;
      if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return kCannotCreateFolder;
      if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return kUnsafeName;
    }
    return kDone;
  }

 private:
  bool ends_in_separator() const {
    const char* last = nullptr;
    for (const char* p = base_; *p != '\0'; p = CharNextA(p)) last = p;
    return last != nullptr && is_separator(*last);
  }

  char base_[kPathBytes] = {};
  size_t size_ = 0;
};

bool write_all(HANDLE file, const uint8_t* data, size_t size) {
  while (size > 0) {
    const DWORD chunk = size > kReadChunk ? kReadChunk : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(file, data, chunk, &written, nullptr) || written != chunk) return false;
    data += chunk;
    size -= chunk;
  }
  return true;
}

// Writes beside the file and moves over it only when everything is on disk, so that a failed
// or interrupted extraction leaves the old file as it was, never a part of the new one.
Exit write_replacing(const char* path, size_t folder_size, const uint8_t* data, size_t size) {
  char folder[kPathBytes];
  copy_text(folder, path, folder_size);
  char temporary[kPathBytes];
  if (GetTempFileNameA(folder, "qav", 0, temporary) == 0) return kCannotWrite;
  File file(CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL,
                        nullptr));
  bool written = file.is_open() && write_all(file.get(), data, size) && FlushFileBuffers(file.get());
  written = file.close() && written;
  if (!written || !MoveFileExA(temporary, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileA(temporary);
    return kCannotWrite;
  }
  return kDone;
}

// Every header first: a damaged, unsupported or unsafe member anywhere stops the run before a
// single file is written.
Exit check_headers(const uint8_t* archive, size_t size) {
  lzh::Entry entry;
  for (size_t at = 0;;) {
    const lzh::Result result = lzh::read_header(archive + at, size - at, entry);
    if (result == lzh::Result::end_of_archive) return kDone;
    if (result != lzh::Result::ok) return exit_for(result);
    at += entry.header_size + entry.packed_size;
  }
}

Exit unpack_members(const uint8_t* archive, size_t size, const Target& target, char* where) {
  lzh::Entry entry;
  for (size_t at = 0;;) {
    const lzh::Result result = lzh::read_header(archive + at, size - at, entry);
    if (result == lzh::Result::end_of_archive) return kDone;
    if (result != lzh::Result::ok) return exit_for(result);
    char path[kPathBytes];
    size_t folder_size = 0;
    if (!target.join(entry, path, &folder_size)) return kCannotWrite;
    if (entry.method == lzh::Method::folder) {
      const Exit made = target.make_member_folders(path, length_of(path));
      copy_text(where, path, length_of(path));
      if (made != kDone) return made;
    } else {
      Memory out(entry.size);
      if (out.get() == nullptr) return kOutOfMemory;
      const lzh::Result unpacked = lzh::unpack(entry.method, archive + at + entry.header_size,
                                               entry.packed_size, out.get(), entry.size, entry.crc);
      if (unpacked != lzh::Result::ok) return exit_for(unpacked);
      const Exit made = target.make_member_folders(path, folder_size);
      copy_text(where, path, length_of(path));
      if (made != kDone) return made;
      const Exit written = write_replacing(path, folder_size, out.get(), entry.size);
      if (written != kDone) return written;
    }
    at += entry.header_size + entry.packed_size;
  }
}

}  // namespace

Exit extract_package(const char* folder, char* where) {
  where[0] = '\0';
  char self[kPathBytes];
  const DWORD self_size = GetModuleFileNameA(nullptr, self, kPathBytes);
  if (self_size == 0 || self_size >= kPathBytes) return kCannotReadPackage;
  copy_text(where, self, self_size);
  File file(CreateFileA(self, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER file_size;
  if (!file.is_open() || !GetFileSizeEx(file.get(), &file_size) || file_size.QuadPart < 0 ||
      static_cast<uint64_t>(file_size.QuadPart) > kMaxPackageBytes)
    return kCannotReadPackage;
  const size_t size = static_cast<size_t>(file_size.QuadPart);
  Memory bytes(size);
  if (bytes.get() == nullptr) return kOutOfMemory;
  for (size_t done = 0; done < size;) {
    const DWORD chunk = size - done > kReadChunk ? kReadChunk : static_cast<DWORD>(size - done);
    DWORD read = 0;
    if (!ReadFile(file.get(), bytes.get() + done, chunk, &read, nullptr) || read == 0) return kCannotReadPackage;
    done += read;
  }
  file.close();

  const size_t end = image_end();
  if (end > size) return kCannotReadPackage;
  const size_t at = lzh::find_archive(bytes.get(), size, end);
  if (at >= size) return kDamaged;
  const Exit checked = check_headers(bytes.get() + at, size - at);
  if (checked != kDone) return checked;

  copy_text(where, folder, length_of(folder) < kPathBytes ? length_of(folder) : kPathBytes - 1);
  Target target;
  const Exit opened = target.open(folder);
  if (opened != kDone) return opened;
  copy_text(where, target.base(), length_of(target.base()));
  const Exit unpacked = unpack_members(bytes.get() + at, size - at, target, where);
  if (unpacked == kDone) copy_text(where, target.base(), length_of(target.base()));
  return unpacked;
}

}  // namespace stub
