// Interop with other LHA programs, both ways: lhasa, 7z and unar read what we write, byte for
// byte; we read what jlha writes. A missing peer is a failure: the set-up installs them all.
#include "test_support.h"

namespace {

using test::Bytes;
using test::fs::path;

bool have(const std::string& program) {
  const bool found = test::run("command -v " + program) == 0;
  if (!found) ADD_FAILURE() << "interop peer '" << program << "' is not installed (tools/bootstrap installs it)";
  return found;
}

struct Input {
  const char* name;
  Bytes data;
};

std::vector<Input> inputs() {
  return {
      {"gpl-2", test::read_file(test::kGpl2)},
      {"empty", {}},
      {"random.bin", test::random_bytes(70000, 11)},
      {"zeros.bin", Bytes(100000, 0)},
      {"QAV.exe", test::read_file(test::kWindowsExecutable)},
  };
}

// How each peer extracts everything of an archive into a folder.
struct Peer {
  const char* program;
  std::string (*command)(const path& archive, const path& out);
};

const Peer kLhasa = {"lhasa", [](const path& a, const path& o) { return "lhasa xqw=" + test::quote(o) + " " + test::quote(a); }};
const Peer k7z = {"7z", [](const path& a, const path& o) { return "7z x -y -o" + test::quote(o) + " " + test::quote(a); }};
const Peer kUnar = {"unar", [](const path& a, const path& o) { return "unar -q -D -o " + test::quote(o) + " " + test::quote(a); }};

void expect_peer_reads(const Peer& peer, const path& archive, const std::vector<Input>& expected) {
  SCOPED_TRACE(std::string(peer.program) + " on " + archive.filename().string());
  if (!have(peer.program)) return;
  test::TempDir out;
  ASSERT_EQ(test::run(peer.command(archive, out.path())), 0);
  for (const Input& input : expected) EXPECT_TRUE(test::read_file(out / input.name) == input.data) << input.name;
}

TEST(Interop, PeersReadOurArchive) {
  test::TempDir dir;
  const std::vector<Input> files = inputs();
  std::string names;
  for (const Input& input : files) {
    test::write_file(dir / input.name, input.data);
    names.append(" ").append(test::quote(dir / input.name));
  }
  ASSERT_EQ(test::run(std::string(QAVUP_PACK) + " -a " + test::quote(dir / "ours.lzh") + names), 0);
  for (const Peer& peer : {kLhasa, k7z, kUnar}) expect_peer_reads(peer, dir / "ours.lzh", files);
}

// lhasa looks for the archive in an executable's first 64 KiB, 7z anywhere; unar does not read
// packages of unknown stubs at all.
TEST(Interop, PeersReadOurPackage) {
  test::TempDir dir;
  test::write_file(dir / "stub.exe", test::dummy_stub(31744, 12));
  const Input program = {"QAV.exe", test::read_file(test::kWindowsExecutable)};
  test::write_file(dir / program.name, program.data);
  ASSERT_EQ(test::run(std::string(QAVUP_PACK) + " -o " + test::quote(dir / "QAVUP.EXE") + " -s " +
                      test::quote(dir / "stub.exe") + " " + test::quote(dir / program.name)),
            0);
  for (const Peer& peer : {kLhasa, k7z}) expect_peer_reads(peer, dir / "QAVUP.EXE", {program});
}

TEST(Interop, WeReadJlhaArchives) {
  if (!have("jlha")) return;
  const Bytes executable = test::read_file(test::kWindowsExecutable);
  const std::vector<Input> files = {
      {"gpl-2", test::read_file(test::kGpl2)},
      {"part.exe", Bytes(executable.begin(), executable.begin() + 300000)},
      {"random.bin", test::random_bytes(20000, 13)},
  };
  for (const Input& input : files) {
    SCOPED_TRACE(input.name);
    test::TempDir dir;
    test::write_file(dir / input.name, input.data);
    ASSERT_EQ(test::run("cd " + test::quote(dir.path()) + " && jlha c2o5q out.lzh " + input.name), 0);
    std::vector<test::Unpacked> members;
    ASSERT_EQ(test::read_all(test::read_file(dir / "out.lzh"), &members), lzh::Result::ok);
    ASSERT_EQ(members.size(), 1u);
    EXPECT_EQ(members[0].path, input.name);
    EXPECT_TRUE(members[0].data == input.data);
  }
}

}  // namespace
