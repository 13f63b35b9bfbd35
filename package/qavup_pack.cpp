// qavup-pack: builds the self-extracting update package (stub + level 2 -lh5- archive), and
// lists, tests and extracts packages and plain LHA archives.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "lzh_decode.h"
#include "lzh_header.h"
#include "lzh_write.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kUsage =
    "usage: qavup-pack -o PACKAGE.EXE -s STUB.exe FILE   build a package: the stub, then FILE as -lh5-\n"
    "       qavup-pack -a ARCHIVE.lzh FILE...             write a plain archive\n"
    "       qavup-pack -l PACKAGE|ARCHIVE                 list the members\n"
    "       qavup-pack -t PACKAGE|ARCHIVE                 test every member's CRC\n"
    "       qavup-pack -x [-d DIR] PACKAGE|ARCHIVE        extract below DIR (default: .)\n"
    "exit codes: 0 done, 1 usage or unusable input, 2 reading or writing a file failed,\n"
    "            3 damaged archive (truncated, bad header, bad data, CRC mismatch),\n"
    "            4 a member name that would leave DIR, 5 unsupported method or header level\n";

enum Exit { kOk = 0, kUsageError = 1, kIoError = 2, kDamaged = 3, kUnsafeName = 4, kUnsupported = 5 };

struct Failure : std::runtime_error {
  Failure(Exit code, const std::string& message) : std::runtime_error(message), exit_code(code) {}
  Exit exit_code;
};

std::string quoted(const fs::path& path) { return std::string("'").append(path.string()).append("'"); }

Failure io_failure(const std::string& what, const fs::path& path) {
  return Failure(kIoError, "cannot " + what + " " + quoted(path) + ": " + std::strerror(errno));
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::vector<uint8_t> read_file(const fs::path& path) {
  File file(std::fopen(path.c_str(), "rb"));
  if (!file) throw io_failure("open", path);
  std::vector<uint8_t> bytes;
  uint8_t chunk[1 << 16];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
  if (std::ferror(file.get())) throw io_failure("read", path);
  return bytes;
}

// Writes beside the target and renames over it only when all is written, so that a failure
// never leaves a half-written file and an old one stays as it was.
void write_file_replacing(const fs::path& path, const uint8_t* data, size_t size) {
  fs::path partial = path;
  partial += ".qavup-part";
  File file(std::fopen(partial.c_str(), "wb"));
  if (!file) throw io_failure("create", partial);
  const bool written = std::fwrite(data, 1, size, file.get()) == size;
  if (std::fclose(file.release()) != 0 || !written) {
    const Failure failure = io_failure("write", partial);
    std::remove(partial.c_str());
    throw failure;
  }
  std::error_code error;
  fs::rename(partial, path, error);
  if (error) {
    std::remove(partial.c_str());
    throw Failure(kIoError, "cannot replace " + quoted(path) + ": " + error.message());
  }
}

Exit exit_for(lzh::Result result) {
  switch (result) {
    case lzh::Result::unsafe_name: return kUnsafeName;
    case lzh::Result::unsupported: return kUnsupported;
    default: return kDamaged;
  }
}

const char* describe(lzh::Result result) {
  switch (result) {
    case lzh::Result::ok: return "ok";
    case lzh::Result::end_of_archive: return "end of archive";
    case lzh::Result::truncated: return "archive truncated";
    case lzh::Result::bad_header: return "damaged header";
    case lzh::Result::unsupported: return "unsupported method, header level or name length";
    case lzh::Result::bad_data: return "damaged compressed data";
    case lzh::Result::bad_crc: return "CRC mismatch";
    case lzh::Result::unsafe_name: return "unsafe member name (drive letter, \"..\" or empty)";
  }
  return "unknown result";
}

const char* method_name(lzh::Method method) {
  switch (method) {
    case lzh::Method::stored: return "-lh0-";
    case lzh::Method::lh5: return "-lh5-";
    case lzh::Method::lh6: return "-lh6-";
    case lzh::Method::lh7: return "-lh7-";
    case lzh::Method::folder: return "-lhd-";
  }
  return "?";
}

struct Member {
  lzh::Entry entry;
  const uint8_t* packed;
  lzh::Result problem;  // ok, or why it cannot be unpacked: unsupported, unsafe_name
  std::string path() const { return std::string(entry.path, entry.path_size); }
};

bool is_executable(const std::vector<uint8_t>& file) { return file.size() >= 2 && file[0] == 'M' && file[1] == 'Z'; }

// Every member of the archive in `file`, headers all checked. A plain archive starts at its
// first byte, so that a damaged first header is reported, not passed over; an executable (a
// package) is searched for its archive.
std::vector<Member> read_members(const std::vector<uint8_t>& file, const fs::path& name) {
  size_t pos = is_executable(file) ? lzh::find_archive(file.data(), file.size(), 0) : 0;
  if (pos == file.size()) throw Failure(kDamaged, quoted(name) + ": no LHA archive found");
  std::vector<Member> members;
  for (;;) {
    Member member{};
    member.problem = lzh::read_header(file.data() + pos, file.size() - pos, member.entry);
    if (member.problem == lzh::Result::end_of_archive) return members;
    const bool complete = member.problem == lzh::Result::ok || member.problem == lzh::Result::unsafe_name ||
                          (member.problem == lzh::Result::unsupported && member.entry.header_size != 0);
    if (!complete)
      throw Failure(exit_for(member.problem), quoted(name) + " at offset " + std::to_string(pos) + ": " +
                                                  describe(member.problem));
    member.packed = file.data() + pos + member.entry.header_size;
    pos += member.entry.header_size + member.entry.packed_size;
    members.push_back(member);
  }
}

// Before anything is unpacked: a member we could not unpack, or not safely, fails the whole run.
void check_members(const std::vector<Member>& members, const fs::path& name) {
  for (const Member& m : members)
    if (m.problem != lzh::Result::ok)
      throw Failure(exit_for(m.problem), quoted(name) + ": member '" + m.path() + "': " + describe(m.problem));
}

std::unique_ptr<uint8_t[]> unpack(const Member& m, const fs::path& name) {
  const lzh::Entry& e = m.entry;
  std::unique_ptr<uint8_t[]> out(new uint8_t[e.size > 0 ? e.size : 1]);
  const lzh::Result result = lzh::unpack(e.method, m.packed, e.packed_size, out.get(), e.size, e.crc);
  if (result != lzh::Result::ok)
    throw Failure(exit_for(result), quoted(name) + ": member '" + m.path() + "': " + describe(result));
  return out;
}

void list(const fs::path& name) {
  const std::vector<uint8_t> file = read_file(name);
  std::printf("%10s %10s %-6s %-4s %s\n", "size", "packed", "method", "crc", "name");
  for (const Member& m : read_members(file, name))
    std::printf("%10u %10u %-6s %04x %s%s\n", m.entry.size, m.entry.packed_size,
                m.problem == lzh::Result::unsupported ? "?" : method_name(m.entry.method), m.entry.crc,
                m.path().c_str(), m.problem == lzh::Result::ok ? "" : "  (cannot be unpacked)");
}

void test(const fs::path& name) {
  const std::vector<uint8_t> file = read_file(name);
  const std::vector<Member> members = read_members(file, name);
  check_members(members, name);
  for (const Member& m : members) unpack(m, name);
  std::printf("%s: %zu members, all CRCs match\n", name.string().c_str(), members.size());
}

// Members land below `dir` only: the reader has refused drive letters and ".." parts and made
// names relative; a link inside dir could still lead out, so the resolved folder is checked.
fs::path target_folder(const fs::path& root, const fs::path& folder, const std::string& member) {
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) throw Failure(kIoError, "cannot create folder " + quoted(folder) + ": " + error.message());
  const fs::path resolved = fs::canonical(folder, error);
  if (error) throw Failure(kIoError, "cannot resolve folder " + quoted(folder) + ": " + error.message());
  const auto [end, unused] = std::mismatch(root.begin(), root.end(), resolved.begin(), resolved.end());
  if (end != root.end()) throw Failure(kUnsafeName, "member '" + member + "' would be written outside the folder");
  return resolved;
}

void extract(const fs::path& name, const fs::path& dir) {
  const std::vector<uint8_t> file = read_file(name);
  const std::vector<Member> members = read_members(file, name);
  check_members(members, name);
  std::error_code error;
  fs::create_directories(dir, error);
  const fs::path root = fs::canonical(dir, error);
  if (error) throw Failure(kIoError, "cannot use folder " + quoted(dir) + ": " + error.message());
  for (const Member& m : members) {
    const fs::path relative(m.path());
    if (m.entry.method == lzh::Method::folder) {
      target_folder(root, root / relative, m.path());
      continue;
    }
    const std::unique_ptr<uint8_t[]> data = unpack(m, name);
    const fs::path folder = target_folder(root, (root / relative).parent_path(), m.path());
    write_file_replacing(folder / relative.filename(), data.get(), m.entry.size);
    std::printf("%s\n", m.path().c_str());
  }
}

int64_t mtime_of(const fs::path& path) {
  std::error_code error;
  const fs::file_time_type time = fs::last_write_time(path, error);
  if (error) throw Failure(kIoError, "cannot read the time of " + quoted(path) + ": " + error.message());
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::file_clock::to_sys(time).time_since_epoch())
      .count();
}

// Reads back what was built, so that a package never leaves here unless it unpacks exactly.
void verify(const std::vector<uint8_t>& archive, const std::vector<std::vector<uint8_t>>& inputs,
            const fs::path& name) {
  const std::vector<Member> members = read_members(archive, name);
  check_members(members, name);
  if (members.size() != inputs.size()) throw Failure(kDamaged, quoted(name) + ": member count differs");
  for (size_t i = 0; i < members.size(); ++i) {
    const std::unique_ptr<uint8_t[]> data = unpack(members[i], name);
    if (members[i].entry.size != inputs[i].size() || !std::equal(inputs[i].begin(), inputs[i].end(), data.get()))
      throw Failure(kDamaged, quoted(name) + ": member '" + members[i].path() + "' does not read back");
  }
}

void build(const fs::path& out, const std::vector<uint8_t>& prefix, const std::vector<fs::path>& files) {
  std::vector<uint8_t> bytes = prefix;
  std::vector<std::vector<uint8_t>> inputs;
  for (const fs::path& file : files) {
    inputs.push_back(read_file(file));
    lzh::write_member(bytes, file.filename().string(), inputs.back(), mtime_of(file));
  }
  lzh::write_end(bytes);
  verify(bytes, inputs, out);
  write_file_replacing(out, bytes.data(), bytes.size());
}

void build_package(const fs::path& out, const fs::path& stub_path, const fs::path& file) {
  const std::vector<uint8_t> stub = read_file(stub_path);
  if (!is_executable(stub)) throw Failure(kUsageError, quoted(stub_path) + " is not a Windows program");
  if (lzh::find_archive(stub.data(), stub.size(), 0) != stub.size())
    throw Failure(kUsageError, quoted(stub_path) + " holds an LHA header itself; readers would take it for the archive");
  build(out, stub, {file});
}

struct Arguments {
  char command = 0;
  fs::path output, stub, dir = ".";
  std::vector<fs::path> files;
};

Arguments parse_arguments(int argc, char** argv) {
  Arguments a;
  const auto usage = [](const std::string& why) { return Failure(kUsageError, why + "\n" + kUsage); };
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const auto value = [&]() -> fs::path {
      if (i + 1 >= argc) throw usage(arg + " needs a value");
      return argv[++i];
    };
    if (arg == "-o" || arg == "-a" || arg == "-l" || arg == "-t" || arg == "-x") {
      if (a.command != 0) throw usage("give one of -o, -a, -l, -t, -x");
      a.command = arg[1];
      if (arg == "-o" || arg == "-a") a.output = value();
    } else if (arg == "-s") {
      a.stub = value();
    } else if (arg == "-d") {
      a.dir = value();
    } else if (arg.size() > 1 && arg[0] == '-') {
      throw usage("unknown option " + arg);
    } else {
      a.files.push_back(arg);
    }
  }
  if (a.command == 0) throw usage("no command given");
  if (a.command == 'o' && (a.stub.empty() || a.files.size() != 1)) throw usage("-o needs -s STUB and one file");
  if (a.command == 'a' && a.files.empty()) throw usage("-a needs files");
  if ((a.command == 'l' || a.command == 't' || a.command == 'x') && a.files.size() != 1)
    throw usage("give one package or archive");
  return a;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const Arguments a = parse_arguments(argc, argv);
    switch (a.command) {
      case 'o': build_package(a.output, a.stub, a.files[0]); break;
      case 'a': build(a.output, {}, a.files); break;
      case 'l': list(a.files[0]); break;
      case 't': test(a.files[0]); break;
      case 'x': extract(a.files[0], a.dir); break;
    }
    return kOk;
  } catch (const Failure& failure) {
    std::fprintf(stderr, "qavup-pack: %s\n", failure.what());
    return failure.exit_code;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "qavup-pack: %s\n", e.what());
    return kIoError;
  }
}
