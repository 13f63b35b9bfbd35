// qavup-pack as a script uses it: what it builds, what it refuses, and its exit codes.
#include "lzh_write.h"
#include "test_support.h"

namespace {

using test::Bytes;
using test::fs::path;

constexpr int kOk = 0, kUsage = 1, kIo = 2, kDamaged = 3, kUnsafe = 4, kUnsupported = 5;

int pack(const std::string& arguments) { return test::run(std::string(QAVUP_PACK) + " " + arguments); }

Bytes dummy_stub() { return test::dummy_stub(4096, 7); }

Bytes program() {
  Bytes p = test::random_bytes(20000, 8);
  const Bytes gpl = test::read_file(test::kGpl2);
  p.insert(p.end(), gpl.begin(), gpl.end());
  return p;
}

std::vector<path> files_below(const path& dir) {
  std::vector<path> found;
  for (const auto& e : test::fs::recursive_directory_iterator(dir)) found.push_back(e.path());
  return found;
}

class PackerTest : public testing::Test {
 protected:
  void SetUp() override {
    test::write_file(dir / "stub.exe", dummy_stub());
    test::write_file(dir / "QAV.exe", program());
    ASSERT_EQ(pack("-o " + q("QAVUP.EXE") + " -s " + q("stub.exe") + " " + q("QAV.exe")), kOk);
    test::fs::create_directory(dir / "out");
  }
  std::string q(const path& name) const { return test::quote(dir / name); }

  test::TempDir dir;
};

TEST_F(PackerTest, BuildsStubThenArchive) {
  const Bytes package = test::read_file(dir / "QAVUP.EXE");
  const Bytes stub = dummy_stub();
  ASSERT_GT(package.size(), stub.size());
  EXPECT_TRUE(std::equal(stub.begin(), stub.end(), package.begin()));
  EXPECT_EQ(lzh::find_archive(package.data(), package.size(), 0), stub.size());
  std::vector<test::Unpacked> members;
  ASSERT_EQ(test::read_all(package, &members), lzh::Result::ok);
  ASSERT_EQ(members.size(), 1u);
  EXPECT_EQ(members[0].path, "QAV.exe");
  EXPECT_EQ(members[0].method, lzh::Method::lh5);
  EXPECT_TRUE(members[0].data == program());
  EXPECT_EQ(package.back(), 0) << "end mark";
}

TEST_F(PackerTest, ListsTestsAndExtractsThePackage) {
  EXPECT_EQ(pack("-l " + q("QAVUP.EXE")), kOk);
  EXPECT_EQ(pack("-t " + q("QAVUP.EXE")), kOk);
  test::write_file(dir / "out/QAV.exe", test::bytes_of("old version"));
  ASSERT_EQ(pack("-x -d " + q("out") + " " + q("QAVUP.EXE")), kOk);
  EXPECT_TRUE(test::read_file(dir / "out/QAV.exe") == program());
  EXPECT_EQ(files_below(dir / "out"), std::vector<path>{dir / "out/QAV.exe"});
}

TEST_F(PackerTest, PlainArchiveStoresNamesWithoutFolders) {
  test::fs::create_directory(dir / "sub");
  test::write_file(dir / "sub/a.txt", test::bytes_of("alpha"));
  ASSERT_EQ(pack("-a " + q("plain.lzh") + " " + q("sub/a.txt") + " " + q("QAV.exe")), kOk);
  std::vector<test::Unpacked> members;
  ASSERT_EQ(test::read_all(test::read_file(dir / "plain.lzh"), &members), lzh::Result::ok);
  ASSERT_EQ(members.size(), 2u);
  EXPECT_EQ(members[0].path, "a.txt");
  EXPECT_EQ(members[1].path, "QAV.exe");
}

TEST_F(PackerTest, ExitCodes) {
  Bytes stub_with_archive = dummy_stub();
  lzh::write_member(stub_with_archive, "x", test::bytes_of("x"), 0);
  test::write_file(dir / "bad-stub.exe", stub_with_archive);
  test::write_file(dir / "not-an-archive", dummy_stub());
  const std::pair<std::string, int> cases[] = {
      {"", kUsage},
      {"-z " + q("QAVUP.EXE"), kUsage},
      {"-l", kUsage},
      {"-l " + q("QAVUP.EXE") + " " + q("QAVUP.EXE"), kUsage},
      {"-o " + q("new.exe") + " " + q("QAV.exe"), kUsage},
      {"-o " + q("new.exe") + " -s " + q("bad-stub.exe") + " " + q("QAV.exe"), kUsage},
      {"-o " + q("new.exe") + " -s " + q("QAV.exe") + " " + q("QAV.exe"), kUsage},
      {"-t " + q("missing.lzh"), kIo},
      {"-o " + q("new.exe") + " -s " + q("stub.exe") + " " + q("missing.exe"), kIo},
      {"-o " + q("no-such-folder/new.exe") + " -s " + q("stub.exe") + " " + q("QAV.exe"), kIo},
      {"-t " + q("not-an-archive"), kDamaged},
      {"-t " + test::quote(test::kCorpus / "lhark04d/lh7.lzh"), kUnsupported},
      {"-l " + test::quote(test::kCorpus / "lhark04d/lh7.lzh"), kOk},
  };
  for (const auto& [arguments, code] : cases) EXPECT_EQ(pack(arguments), code) << arguments;
  EXPECT_FALSE(test::fs::exists(dir / "new.exe"));
}

// A damaged package changes nothing: the old QAV.exe stays, and no partial file is left.
TEST_F(PackerTest, DamagedPackageLeavesTheOldFile) {
  const Bytes package = test::read_file(dir / "QAVUP.EXE");
  Bytes flipped = package;
  flipped[package.size() - 100] ^= 0x10;
  const std::pair<const char*, Bytes> cases[] = {
      {"truncated", Bytes(package.begin(), package.end() - 1000)},
      {"without end mark", Bytes(package.begin(), package.end() - 1)},
      {"flipped bit", flipped},
  };
  for (const auto& [name, damaged] : cases) {
    test::write_file(dir / "damaged.exe", damaged);
    test::write_file(dir / "out/QAV.exe", test::bytes_of("old version"));
    EXPECT_EQ(pack("-t " + q("damaged.exe")), kDamaged) << name;
    EXPECT_EQ(pack("-x -d " + q("out") + " " + q("damaged.exe")), kDamaged) << name;
    EXPECT_TRUE(test::read_file(dir / "out/QAV.exe") == test::bytes_of("old version")) << name;
    EXPECT_EQ(files_below(dir / "out"), std::vector<path>{dir / "out/QAV.exe"}) << name;
  }
}

TEST_F(PackerTest, RefusesNamesThatLeaveTheFolder) {
  for (const char* name : {"..\\x", "../x", "C:\\x", "sub\\..\\..\\x"}) {
    Bytes archive;
    lzh::write_member(archive, "first.txt", test::bytes_of("first"), 0);
    lzh::write_member(archive, name, test::bytes_of("escaped"), 0);
    lzh::write_end(archive);
    test::write_file(dir / "evil.lzh", archive);
    EXPECT_EQ(pack("-t " + q("evil.lzh")), kUnsafe) << name;
    EXPECT_EQ(pack("-x -d " + q("out") + " " + q("evil.lzh")), kUnsafe) << name;
    EXPECT_TRUE(files_below(dir / "out").empty()) << name;
    EXPECT_FALSE(test::fs::exists(dir / "x")) << name;
  }
}

TEST_F(PackerTest, RefusesAFolderLinkLeadingOut) {
  test::fs::create_directory(dir / "elsewhere");
  test::fs::create_directory_symlink(dir / "elsewhere", dir / "out/sub");
  Bytes archive;
  lzh::write_member(archive, "sub\\x", test::bytes_of("escaped"), 0);
  lzh::write_end(archive);
  test::write_file(dir / "link.lzh", archive);
  EXPECT_EQ(pack("-x -d " + q("out") + " " + q("link.lzh")), kUnsafe);
  EXPECT_FALSE(test::fs::exists(dir / "elsewhere/x"));
}

TEST_F(PackerTest, ExtractsFoldersBelowTheTarget) {
  for (const char* archive : {"explzh_723/h2_subdir.lzh", "lhmelt_16536/h0_subdir.lzh", "lha_unix114i/h1_subdir.lzh"}) {
    test::TempDir out;
    ASSERT_EQ(pack("-x -d " + test::quote(out.path()) + " " + test::quote(test::kCorpus / archive)), kOk) << archive;
    EXPECT_TRUE(test::read_file(out / "subdir/subdir2/hello.txt") == test::bytes_of("hello world\n")) << archive;
  }
}

}  // namespace
