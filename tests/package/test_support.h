// Fixtures for the package tests: files, temporary folders, test inputs, running programs.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "lzh_decode.h"
#include "lzh_header.h"

namespace test {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

inline const fs::path kCorpus = LZH_CORPUS_DIR;
inline const fs::path kGpl2 = "/usr/share/common-licenses/GPL-2";
// A 2 MB Windows executable: one of Wine's DLLs (PE, i386), which the set-up installs.
inline const fs::path kWindowsExecutable = "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/setupapi.dll";

inline Bytes read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) ADD_FAILURE() << "cannot read " << path;
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

inline void write_file(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) ADD_FAILURE() << "cannot write " << path;
}

inline Bytes bytes_of(const std::string& s) { return Bytes(s.begin(), s.end()); }

inline Bytes random_bytes(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes b(size);
  for (uint8_t& x : b) x = static_cast<uint8_t>(rng());
  return b;
}

// A stand-in for the extractor stub: "MZ", then bytes without any LHA method id.
inline Bytes dummy_stub(size_t size, uint32_t seed) {
  Bytes stub = random_bytes(size, seed);
  for (uint8_t& b : stub)
    if (b == '-') b = '+';
  stub[0] = 'M';
  stub[1] = 'Z';
  return stub;
}

// A folder of its own below the system's temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "lzh-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const fs::path& path() const { return path_; }
  fs::path operator/(const fs::path& name) const { return path_ / name; }

 private:
  fs::path path_;
};

// Runs a shell command line; its exit code, or -1 if it did not exit normally.
inline int run(const std::string& command) {
  const int status = std::system((command + " >/dev/null 2>&1").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline std::string quote(const fs::path& path) { return std::string("'").append(path.string()).append("'"); }

struct Unpacked {
  std::string path;
  lzh::Method method;
  Bytes data;
};

// Reads every member of an archive or a package ("MZ") the way the packer does: find the
// archive, walk the headers, unpack each member with its CRC checked. ok if all of it held up.
inline lzh::Result read_all(const Bytes& file, std::vector<Unpacked>* members = nullptr) {
  const bool executable = file.size() >= 2 && file[0] == 'M' && file[1] == 'Z';
  size_t pos = executable ? lzh::find_archive(file.data(), file.size(), 0) : 0;
  if (pos == file.size()) return lzh::Result::truncated;
  lzh::Entry entry;
  for (;;) {
    const lzh::Result header = lzh::read_header(file.data() + pos, file.size() - pos, entry);
    if (header == lzh::Result::end_of_archive) return lzh::Result::ok;
    if (header != lzh::Result::ok) return header;
    Bytes data(entry.size);
    const lzh::Result unpacked =
        lzh::unpack(entry.method, file.data() + pos + entry.header_size, entry.packed_size, data.data(), data.size(),
                    entry.crc);
    if (unpacked != lzh::Result::ok) return unpacked;
    if (members) members->push_back({std::string(entry.path, entry.path_size), entry.method, std::move(data)});
    pos += entry.header_size + entry.packed_size;
  }
}

}  // namespace test
