// The archive format: every archive of the corpus, the level 2 headers we write, member names,
// finding the archive in a package, and damaged headers.
#include <functional>
#include <map>
#include <set>

#include "crc16.h"
#include "lzh_write.h"
#include "test_support.h"

namespace {

using test::Bytes;
using lzh::Result;

enum class Content { gpl, gzipped_gpl, hello, folder };

struct CorpusMember {
  std::string path;
  Content content;
};

const std::vector<CorpusMember> kGpl = {{"gpl-2", Content::gpl}};
const std::vector<CorpusMember> kGplUpper = {{"GPL-2", Content::gpl}};
const std::vector<CorpusMember> kGzippedGpl = {{"gpl-2.gz", Content::gzipped_gpl}};
const std::vector<CorpusMember> kSubdir = {{"subdir", Content::folder},
                                           {"subdir/subdir2", Content::folder},
                                           {"subdir/subdir2/hello.txt", Content::hello}};
// LHMelt stores the names with a leading "\": they are relative all the same.
const std::vector<CorpusMember> kLhmeltSubdir = {{"subdir/subdir2/hello.txt", Content::hello},
                                                 {"subdir/subdir2", Content::folder}};
// LHa for UNIX keeps no folder names in level 0 headers.
const std::vector<CorpusMember> kUnixLevel0Subdir = {
    {"", Content::folder}, {"", Content::folder}, {"hello.txt", Content::hello}};

struct CorpusArchive {
  std::vector<CorpusMember> members;
  Result result = Result::ok;
};

const std::map<std::string, CorpusArchive> kCorpus = {
    {"explzh_723/h0_lh0.lzh", {kGzippedGpl}},   {"explzh_723/h0_lh5.lzh", {kGpl}},
    {"explzh_723/h0_lh6.lzh", {kGpl}},          {"explzh_723/h0_lh7.lzh", {kGpl}},
    {"explzh_723/h0_subdir.lzh", {kSubdir}},    {"explzh_723/h1_lh0.lzh", {kGzippedGpl}},
    {"explzh_723/h1_lh5.lzh", {kGpl}},          {"explzh_723/h1_lh6.lzh", {kGpl}},
    {"explzh_723/h1_lh7.lzh", {kGpl}},          {"explzh_723/h1_subdir.lzh", {kSubdir}},
    {"explzh_723/h2_lh0.lzh", {kGzippedGpl}},   {"explzh_723/h2_lh5.lzh", {kGpl}},
    {"explzh_723/h2_lh6.lzh", {kGpl}},          {"explzh_723/h2_lh7.lzh", {kGpl}},
    {"explzh_723/h2_subdir.lzh", {kSubdir}},    {"lha213/lh0.lzh", {{{"GPL-2.GZ", Content::gzipped_gpl}}}},
    {"lha213/lh5.lzh", {kGplUpper}},            {"lha255e/lh5.lzh", {kGplUpper}},
    {"lha_unix114i/h0_lh0.lzh", {kGzippedGpl}}, {"lha_unix114i/h0_lh5.lzh", {kGpl}},
    {"lha_unix114i/h0_lh6.lzh", {kGpl}},        {"lha_unix114i/h0_lh7.lzh", {kGpl}},
    {"lha_unix114i/h0_subdir.lzh", {kUnixLevel0Subdir}},
    {"lha_unix114i/h1_lh0.lzh", {kGzippedGpl}}, {"lha_unix114i/h1_lh5.lzh", {kGpl}},
    {"lha_unix114i/h1_lh6.lzh", {kGpl}},        {"lha_unix114i/h1_lh7.lzh", {kGpl}},
    {"lha_unix114i/h1_subdir.lzh", {kSubdir}},  {"lha_unix114i/h2_lh0.lzh", {kGzippedGpl}},
    {"lha_unix114i/h2_lh5.lzh", {kGpl}},        {"lha_unix114i/h2_lh6.lzh", {kGpl}},
    {"lha_unix114i/h2_lh7.lzh", {kGpl}},        {"lha_unix114i/h2_subdir.lzh", {kSubdir}},
    {"lhark04d/lh5.lzh", {kGplUpper}},
    // LHARK's own method under the -lh7- id, which no other reader unpacks either.
    {"lhark04d/lh7.lzh", {{}, Result::unsupported}},
    {"lhmelt_16536/h0_lh0.lzh", {kGzippedGpl}}, {"lhmelt_16536/h0_lh5.lzh", {kGpl}},
    {"lhmelt_16536/h0_lh6.lzh", {kGpl}},        {"lhmelt_16536/h0_lh7.lzh", {kGpl}},
    {"lhmelt_16536/h0_subdir.lzh", {kLhmeltSubdir}},
    {"lhmelt_16536/h1_lh0.lzh", {kGzippedGpl}}, {"lhmelt_16536/h1_lh5.lzh", {kGpl}},
    {"lhmelt_16536/h1_subdir.lzh", {kLhmeltSubdir}},
    {"lhmelt_16536/h2_lh0.lzh", {kGzippedGpl}}, {"lhmelt_16536/h2_lh5.lzh", {kGpl}},
    {"lhmelt_16536/h2_subdir.lzh", {kLhmeltSubdir}},
    {"tascal_lha_051h/lh5.lzh", {{{"Mounted Volume/gpl-2", Content::gpl}}}},
};

TEST(Corpus, TableCoversEveryArchive) {
  std::set<std::string> found;
  for (const auto& file : test::fs::recursive_directory_iterator(test::kCorpus))
    if (file.path().extension() == ".lzh") found.insert(test::fs::relative(file.path(), test::kCorpus).string());
  std::set<std::string> listed;
  for (const auto& [name, archive] : kCorpus) listed.insert(name);
  EXPECT_EQ(found, listed);
}

TEST(Corpus, EveryArchiveReadsByteForByte) {
  const Bytes gpl = test::read_file(test::kGpl2);
  test::TempDir dir;
  for (const auto& [name, expected] : kCorpus) {
    SCOPED_TRACE(name);
    std::vector<test::Unpacked> members;
    ASSERT_EQ(test::read_all(test::read_file(test::kCorpus / name), &members), expected.result);
    if (expected.result != Result::ok) continue;
    ASSERT_EQ(members.size(), expected.members.size());
    for (size_t i = 0; i < members.size(); ++i) {
      EXPECT_EQ(members[i].path, expected.members[i].path);
      switch (expected.members[i].content) {
        case Content::gpl: EXPECT_TRUE(members[i].data == gpl); break;
        case Content::hello: EXPECT_TRUE(members[i].data == test::bytes_of("hello world\n")); break;
        case Content::folder: EXPECT_EQ(members[i].method, lzh::Method::folder); break;
        case Content::gzipped_gpl:
          test::write_file(dir / "gpl-2.gz", members[i].data);
          EXPECT_EQ(test::run("gzip -dc " + test::quote(dir / "gpl-2.gz") + " | cmp - " + test::quote(test::kGpl2)), 0);
          break;
      }
    }
  }
}

constexpr int64_t kMtime = 1'700'000'000;

Bytes archive_of(const std::vector<std::pair<std::string, Bytes>>& members) {
  Bytes archive;
  for (const auto& [name, data] : members) lzh::write_member(archive, name, data, kMtime);
  lzh::write_end(archive);
  return archive;
}

uint16_t le16(const Bytes& b, size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); }

// The extended headers of the level 2 header at the start of `archive`, by type.
std::map<uint8_t, Bytes> extensions_of(const Bytes& archive) {
  std::map<uint8_t, Bytes> found;
  size_t pos = 26;
  for (size_t next = le16(archive, 24); next != 0; pos += next, next = le16(archive, pos - 2))
    found[archive[pos]] = Bytes(archive.begin() + static_cast<ptrdiff_t>(pos) + 1,
                                archive.begin() + static_cast<ptrdiff_t>(pos + next) - 2);
  return found;
}

TEST(Level2Header, AsWindowsToolsWriteIt) {
  const Bytes data = test::read_file(test::kGpl2);
  const Bytes archive = archive_of({{"QAV.exe", data}});
  EXPECT_EQ(Bytes(archive.begin() + 2, archive.begin() + 7), test::bytes_of("-lh5-"));
  EXPECT_EQ(archive[20], 2);
  EXPECT_EQ(le16(archive, 21), lzh::crc16(0, data.data(), data.size()));
  EXPECT_EQ(archive.back(), 0) << "end mark";

  const std::map<uint8_t, Bytes> ext = extensions_of(archive);
  ASSERT_EQ(ext.size(), 4u);
  EXPECT_EQ(ext.at(0x01), test::bytes_of("QAV.exe"));
  EXPECT_EQ(ext.at(0x46), (Bytes{0xA4, 0x03, 0, 0})) << "code page 932";
  Bytes filetime;
  for (int i = 0; i < 3; ++i)
    for (int k = 0; k < 8; ++k)
      filetime.push_back(static_cast<uint8_t>(uint64_t((kMtime + 11'644'473'600) * 10'000'000) >> (8 * k)));
  EXPECT_EQ(ext.at(0x41), filetime);
  // The header CRC: over the whole header, its own two bytes taken as zero.
  const size_t total = le16(archive, 0);
  Bytes header(archive.begin(), archive.begin() + static_cast<ptrdiff_t>(total));
  const size_t crc_at = 27;
  ASSERT_EQ(ext.at(0x00), Bytes(header.begin() + crc_at, header.begin() + crc_at + 2));
  header[crc_at] = header[crc_at + 1] = 0;
  EXPECT_EQ(le16(archive, crc_at), lzh::crc16(0, header.data(), header.size()));

  lzh::Entry entry;
  ASSERT_EQ(lzh::read_header(archive.data(), archive.size(), entry), Result::ok);
  EXPECT_EQ(std::string(entry.path, entry.path_size), "QAV.exe");
  EXPECT_EQ(entry.method, lzh::Method::lh5);
  EXPECT_EQ(entry.size, data.size());
  EXPECT_EQ(entry.header_size + entry.packed_size + 1, archive.size());
}

TEST(Level2Header, NeverStartsWithTheEndMark) {
  // 188 name bytes make the header 256 bytes long, whose first byte would be 0.
  const Bytes archive = archive_of({{std::string(188, 'n'), test::bytes_of("x")}});
  EXPECT_EQ(le16(archive, 0), 257);
  EXPECT_EQ(test::read_all(archive), Result::ok);
}

struct NameCase {
  std::string stored;
  Result result;
  std::string path;
};

TEST(MemberNames, StayInsideTheTarget) {
  const NameCase cases[] = {
      {"QAV.exe", Result::ok, "QAV.exe"},
      {"\\x", Result::ok, "x"},
      {"/x", Result::ok, "x"},
      {"./a//b\\c", Result::ok, "a/b/c"},
      {"a\xFF" "b", Result::ok, "a/b"},
      {"\x95\x5C\\x", Result::ok, "\x95\x5C/x"},  // 表\x: the first "\" is half of 表
      {"\x95\x5C..", Result::ok, "\x95\x5C.."},
      {"..\\x", Result::unsafe_name, ""},
      {"a/../../x", Result::unsafe_name, ""},
      {"\x81/../x", Result::unsafe_name, ""},
      {"C:\\x", Result::unsafe_name, ""},
      {"C:x", Result::unsafe_name, ""},
      {"x:stream", Result::unsafe_name, ""},
      {"", Result::unsafe_name, ""},
      {"\\.\\", Result::unsafe_name, ""},
      {std::string(lzh::kMaxPathBytes + 1, 'n'), Result::unsupported, ""},
  };
  for (const NameCase& c : cases) {
    const Bytes archive = archive_of({{c.stored, test::bytes_of("data")}});
    lzh::Entry entry;
    EXPECT_EQ(lzh::read_header(archive.data(), archive.size(), entry), c.result) << c.stored;
    if (c.result == Result::ok) {
      EXPECT_EQ(std::string(entry.path, entry.path_size), c.path) << c.stored;
    }
  }
}

Bytes stub_of(size_t size) { return test::dummy_stub(size, 99); }

TEST(FindArchive, AfterTheStub) {
  const Bytes archive = archive_of({{"QAV.exe", test::bytes_of("program")}});
  Bytes package = stub_of(5000);
  // A method id in the stub whose header does not check out is passed over.
  const Bytes decoy = {0x20, 0x00, '-', 'l', 'h', '5', '-'};
  package.insert(package.begin() + 100, decoy.begin(), decoy.end());
  const size_t stub_size = package.size();
  package.insert(package.end(), archive.begin(), archive.end());
  EXPECT_EQ(lzh::find_archive(package.data(), package.size(), 0), stub_size);
  EXPECT_EQ(lzh::find_archive(package.data(), package.size(), stub_size), stub_size);
  EXPECT_EQ(lzh::find_archive(package.data(), package.size(), stub_size + 1), package.size());
  const Bytes stub = stub_of(5000);
  EXPECT_EQ(lzh::find_archive(stub.data(), stub.size(), 0), stub.size());
}

TEST(FindArchive, ReportsATruncatedArchive) {
  Bytes package = stub_of(3000);
  const Bytes archive = archive_of({{"QAV.exe", test::random_bytes(5000, 1)}});
  package.insert(package.end(), archive.begin(), archive.begin() + 200);
  EXPECT_EQ(lzh::find_archive(package.data(), package.size(), 0), 3000u);
  EXPECT_EQ(test::read_all(package), Result::truncated);
}

// Every cut and every flipped bit of an archive of ours is an error, never a crash.
TEST(Damage, EveryTruncationIsAnError) {
  const std::vector<Bytes> archives = {
      archive_of({{"a.txt", test::bytes_of("hello hello hello hello")}, {"QAV.exe", test::random_bytes(300, 2)}}),
      test::read_file(test::kCorpus / "explzh_723/h0_subdir.lzh"),
      test::read_file(test::kCorpus / "lha_unix114i/h1_subdir.lzh"),
      test::read_file(test::kCorpus / "lhmelt_16536/h2_subdir.lzh"),
  };
  for (const Bytes& archive : archives) {
    ASSERT_EQ(test::read_all(archive), Result::ok);
    for (size_t cut = 0; cut < archive.size(); ++cut)
      EXPECT_NE(test::read_all(Bytes(archive.begin(), archive.begin() + static_cast<ptrdiff_t>(cut))), Result::ok)
          << "cut at " << cut;
  }
}

// Level 2 headers carry a CRC, so a flipped bit anywhere is noticed or changes nothing unpacked.
TEST(Damage, FlippedBitsNeverGiveOtherMembers) {
  const Bytes archive =
      archive_of({{"a.txt", test::bytes_of("hello hello hello hello")}, {"QAV.exe", test::random_bytes(300, 2)}});
  std::vector<test::Unpacked> original;
  ASSERT_EQ(test::read_all(archive, &original), Result::ok);
  for (size_t bit = 0; bit < archive.size() * 8; ++bit) {
    Bytes damaged = archive;
    damaged[bit / 8] ^= static_cast<uint8_t>(1 << (bit % 8));
    std::vector<test::Unpacked> members;
    if (test::read_all(damaged, &members) != Result::ok) continue;
    ASSERT_EQ(members.size(), original.size()) << "bit " << bit;
    for (size_t i = 0; i < members.size(); ++i) {
      EXPECT_EQ(members[i].path, original[i].path) << "bit " << bit;
      EXPECT_TRUE(members[i].data == original[i].data) << "bit " << bit;
    }
  }
}

void fix_checksum(Bytes& b) {
  unsigned sum = 0;
  for (size_t i = 2; i < size_t{b[0]} + 2; ++i) sum += b[i];
  b[1] = static_cast<uint8_t>(sum);
}

// Our writer puts the common header first, so the header CRC sits at 27.
void fix_header_crc(Bytes& b) {
  b[27] = b[28] = 0;
  const uint16_t crc = lzh::crc16(0, b.data(), le16(b, 0));
  b[27] = static_cast<uint8_t>(crc);
  b[28] = static_cast<uint8_t>(crc >> 8);
}

struct HeaderDamage {
  const char* name;
  Bytes archive;
  std::function<void(Bytes&)> damage;
  Result result;
};

TEST(Damage, LengthsThatDoNotFit) {
  const Bytes ours = archive_of({{"QAV.exe", test::bytes_of("program")}});
  const Bytes level0 = test::read_file(test::kCorpus / "explzh_723/h0_subdir.lzh");
  const Bytes level1 = test::read_file(test::kCorpus / "explzh_723/h1_subdir.lzh");
  const HeaderDamage cases[] = {
      {"level 2 packed size past the end", ours, [](Bytes& b) { b[10] = 0x7F; fix_header_crc(b); }, Result::truncated},
      {"level 2 header size past the end", ours, [](Bytes& b) { b[1] = 0x40; }, Result::truncated},
      {"level 2 header size below its base", ours, [](Bytes& b) { b[0] = 25; b[1] = 0; }, Result::bad_header},
      {"level 2 extension past the header", ours, [](Bytes& b) { b[24] = 0xF0; }, Result::bad_header},
      {"level 2 extension shorter than its fields", ours, [](Bytes& b) { b[24] = 2; b[25] = 0; }, Result::bad_header},
      {"level 2 without header CRC", ours, [](Bytes& b) { b[26] = 0x3F; }, Result::bad_header},
      {"level 0 name past the header", level0, [](Bytes& b) { b[21] = 200; fix_checksum(b); }, Result::bad_header},
      {"level 0 header past the end", level0, [](Bytes& b) { b[0] = 0xF0; }, Result::truncated},
      // Headers too short for their name's length, ending where the data does.
      {"level 0 header without a name length", level0, [](Bytes& b) { b[0] = 19; b.resize(21); fix_checksum(b); },
       Result::bad_header},
      {"level 1 header without a name length", level1, [](Bytes& b) { b[0] = 19; b.resize(21); fix_checksum(b); },
       Result::bad_header},
      {"level 1 extension past the end", level1, [](Bytes& b) { b[0x19] = 0xFF; b[0x1A] = 0xFF; fix_checksum(b); },
       Result::truncated},
      {"level 1 extensions beyond the packed size", level1, [](Bytes& b) { b[7] = 5; fix_checksum(b); },
       Result::bad_header},
      {"level 3", ours, [](Bytes& b) { b[20] = 3; }, Result::unsupported},
      {"method -lh1-", ours, [](Bytes& b) { b[5] = '1'; fix_header_crc(b); }, Result::unsupported},
  };
  for (const HeaderDamage& c : cases) {
    Bytes damaged = c.archive;
    c.damage(damaged);
    // A copy without spare capacity, so that the sanitizer sees a read past its end.
    const Bytes archive(damaged.begin(), damaged.end());
    lzh::Entry entry;
    EXPECT_EQ(lzh::read_header(archive.data(), archive.size(), entry), c.result) << c.name;
  }
}

}  // namespace
