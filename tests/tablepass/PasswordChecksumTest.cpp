// The checksum against a second computation written here from the algorithm's steps alone, plus
// pinned values, so that a change to the tables or to the order of the steps is caught.
#include "PasswordChecksum.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <vector>

using tablepass::ComputePasswordChecksum;
using tablepass::MaskTable;
using tablepass::MixBuffer;
using tablepass::OrderTable;
using tablepass::PasswordTooLong;
using tablepass::SubstTable;

namespace {

using Bytes = std::array<std::uint8_t, 256>;

// The slips this second computation can make on purpose, to show that the comparison with
// random passwords would notice each of them.
enum class Slip {
    None,
    LowHalfAfterCopyBack,   // reads the low half once the password is back over the buffer
    ChainFromUnchained,     // chain step reading the bytes as they were before the step
    MixInPlace,             // mixing pass that sees its own writes
};

Bytes ReferencePass(const Bytes& before, unsigned a, unsigned b, unsigned c, unsigned s,
                    Slip slip = Slip::None)
{
    Bytes after = before;
    const Bytes& source = slip == Slip::MixInPlace ? after : before;
    for (unsigned i = 0; i < 256; ++i) {
        const unsigned k = OrderTable[(s + i) & 0xff];
        after[i] = static_cast<std::uint8_t>(source[k] ^ SubstTable[(k + a) & 0xff] ^
                                             OrderTable[(b + i) & 0xff] ^ MaskTable[(c + i) & 0xff]);
    }
    return after;
}

std::uint32_t ReferenceChecksum(const std::string& password, Slip slip = Slip::None)
{
    const std::size_t length = password.size();
    if (length == 0)
        return 0;
    Bytes buffer;
    std::size_t next = 0;
    for (auto& byte : buffer) {
        byte = static_cast<std::uint8_t>(password[next]);
        next = next + 1 == length ? 0 : next + 1;
    }
    buffer = ReferencePass(buffer, buffer[0], buffer[1], buffer[2], buffer[3], slip);
    std::uint32_t low = buffer[0] | buffer[1] << 8;
    for (std::size_t i = 0; i < length; ++i)
        buffer[i] = static_cast<std::uint8_t>(password[i]);
    if (slip == Slip::LowHalfAfterCopyBack)
        low = buffer[0] | buffer[1] << 8;

    const std::size_t d = length & 0xff;
    const Bytes unchained = buffer;
    for (std::size_t i = d; i < 256; ++i) {
        const std::uint8_t read = slip == Slip::ChainFromUnchained ? unchained[i - d] : buffer[i - d];
        buffer[i] = static_cast<std::uint8_t>(SubstTable[read] ^ i);
    }
    buffer = ReferencePass(buffer, buffer[0], buffer[20], buffer[40], buffer[255], slip);

    std::uint32_t even = 0, odd = 0;
    for (std::size_t i = 0; i < 256; ++i)
        (i % 2 == 0 ? even : odd) ^= buffer[i];
    const std::uint32_t high = (even | odd << 8) != 0 ? (even | odd << 8) : 1;
    return high << 16 | low;
}

std::string RandomPassword(std::mt19937& random, std::size_t length)
{
    std::uniform_int_distribution<int> byte(0, 255);
    std::string password(length, '\0');
    for (auto& c : password)
        c = static_cast<char>(byte(random));
    return password;
}

std::size_t RandomLength(std::mt19937& random)
{
    return std::uniform_int_distribution<std::size_t>(1, 256)(random);
}

std::string Iota(std::size_t length, int first, int step)
{
    std::string text(length, '\0');
    for (std::size_t i = 0; i < length; ++i)
        text[i] = static_cast<char>(first + step * static_cast<int>(i));
    return text;
}

}  // namespace

TEST(PasswordChecksum, EmptyPasswordIsZero)
{
    EXPECT_EQ(ComputePasswordChecksum(""), 0u);
    EXPECT_EQ(ComputePasswordChecksum(std::string_view()), 0u);
}

TEST(PasswordChecksum, HighHalfIsNeverZero)
{
    std::mt19937 random(1);
    std::vector<std::size_t> lengths = {1, 2, 3, 15, 128, 255, 256};
    for (int n = 0; n < 2000; ++n)
        lengths.push_back(RandomLength(random));
    for (const std::size_t length : lengths)
        for (int variant = 0; variant < 8; ++variant) {
            const std::string password = variant == 0 ? std::string(length, '\0')
                                                      : RandomPassword(random, length);
            const std::uint32_t checksum = ComputePasswordChecksum(password);
            EXPECT_NE(checksum >> 16, 0u) << "length " << length;
            EXPECT_GE(checksum, 65536u) << "length " << length;
        }
}

TEST(PasswordChecksum, IsDeterministic)
{
    std::mt19937 random(2);
    for (int n = 0; n < 200; ++n) {
        const std::string password = RandomPassword(random, RandomLength(random));
        const std::string copy = password;
        const std::uint32_t first = ComputePasswordChecksum(password);
        EXPECT_EQ(ComputePasswordChecksum(copy), first);
        EXPECT_EQ(ComputePasswordChecksum(password), first);
    }
}

TEST(PasswordChecksum, TablesHaveTheirProperties)
{
    struct Row {
        const char* name;
        const std::uint8_t* table;
        std::array<std::uint8_t, 16> head;
        std::size_t distinct;
    };
    const Row rows[] = {
        {"SubstTable", SubstTable,
         {0xb2, 0xa5, 0x0c, 0xdd, 0x38, 0xfe, 0xcb, 0x5b, 0x0c, 0x23, 0xec, 0x6a, 0x95, 0x3e, 0xd5, 0x2d},
         164},
        {"OrderTable", OrderTable,
         {0x61, 0xa7, 0x79, 0x02, 0x37, 0x34, 0x6f, 0x81, 0x01, 0xc2, 0xb2, 0xb3, 0xd6, 0x4d, 0x3e, 0x03},
         256},
        {"MaskTable", MaskTable,
         {0xf9, 0x08, 0x03, 0x0f, 0xad, 0x52, 0x10, 0xd8, 0x39, 0x87, 0xf0, 0xe9, 0xd7, 0xbc, 0x92, 0x9a},
         256},
    };
    for (const Row& row : rows) {
        for (std::size_t i = 0; i < row.head.size(); ++i)
            EXPECT_EQ(row.table[i], row.head[i]) << row.name << "[" << i << "]";
        // 256 distinct byte values in 256 entries is a permutation of 0 to 255.
        EXPECT_EQ(std::set<std::uint8_t>(row.table, row.table + 256).size(), row.distinct) << row.name;
    }
}

TEST(PasswordChecksum, MixBufferMatchesOneReferencePass)
{
    std::mt19937 random(3);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int n = 0; n < 500; ++n) {
        Bytes before;
        for (auto& b : before)
            b = static_cast<std::uint8_t>(byte(random));
        const std::uint8_t a = byte(random), b = byte(random), c = byte(random), s = byte(random);
        std::uint8_t buffer[256];
        std::copy(before.begin(), before.end(), buffer);
        MixBuffer(buffer, a, b, c, s);
        const Bytes expected = ReferencePass(before, a, b, c, s);
        ASSERT_TRUE(std::equal(expected.begin(), expected.end(), buffer)) << "pass " << n;
    }
}

TEST(PasswordChecksum, AgreesWithReferenceAndReferenceCatchesSlips)
{
    const Slip slips[] = {Slip::LowHalfAfterCopyBack, Slip::ChainFromUnchained, Slip::MixInPlace};
    std::mt19937 random(4);
    int caught[std::size(slips)] = {};
    const int passwords = 4000;
    for (int n = 0; n < passwords; ++n) {
        const std::string password = RandomPassword(random, RandomLength(random));
        const std::uint32_t checksum = ComputePasswordChecksum(password);
        ASSERT_EQ(checksum, ReferenceChecksum(password)) << "length " << password.size();
        for (std::size_t s = 0; s < std::size(slips); ++s)
            caught[s] += ReferenceChecksum(password, slips[s]) != checksum;
    }
    // Each slip changes nearly every checksum; a chain step that does not read its own
    // writes differs only where the password is shorter than half the buffer.
    EXPECT_GT(caught[0], passwords * 9 / 10);
    EXPECT_GT(caught[1], passwords * 4 / 10);
    EXPECT_GT(caught[2], passwords * 9 / 10);
}

TEST(PasswordChecksum, PinnedValues)
{
    const struct {
        std::string password;
        std::uint32_t checksum;
    } rows[] = {
        {"k3m8p2r7t4v9x5z", 0xf577719b},
        {"K3M8P2R7T4V9X5Z", 0x6072896c},
        {"a", 0xbc2ee5a8},
        {"A", 0xe0778b2e},
        {std::string(1, '\0'), 0x14dbfe34},
        {"ab", 0xa122c4f8},
        {"abc", 0x1087f867},
        {"password", 0xd4517893},
        {"Password", 0x1c3c98f2},
        {"\x95\x5c\x8e\xa6\x83\x5c", 0x24b3b51c},  // 表示ソ in code page 932
        {Iota(256, 0, 1), 0x7070f1aa},
        {Iota(255, 255, -1), 0x36dda25e},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ComputePasswordChecksum(row.password), row.checksum)
            << "password of " << row.password.size() << " bytes starting " << row.password.substr(0, 8);
        EXPECT_EQ(ReferenceChecksum(row.password), row.checksum);
    }
}

TEST(PasswordChecksum, CaseMatters)
{
    const std::string password = "k3m8p2r7t4v9x5z";
    const std::uint32_t original = ComputePasswordChecksum(password);
    for (std::size_t i = 0; i < password.size(); ++i) {
        if (password[i] < 'a' || password[i] > 'z')
            continue;
        std::string changed = password;
        changed[i] = static_cast<char>(changed[i] - 'a' + 'A');
        EXPECT_NE(ComputePasswordChecksum(changed), original) << changed;
    }
}

TEST(PasswordChecksum, LongerThan256BytesIsRefused)
{
    for (const std::size_t length : {257u, 258u, 512u, 4096u}) {
        const std::string password(length, 'x');
        try {
            ComputePasswordChecksum(password);
            ADD_FAILURE() << length << " bytes accepted";
        } catch (const PasswordTooLong& error) {
            EXPECT_EQ(error.Length(), length);
            EXPECT_NE(std::string(error.what()).find(std::to_string(length)), std::string::npos)
                << error.what();
        }
    }
    EXPECT_THROW(ComputePasswordChecksum(std::string(257, 'x')), std::length_error);
    EXPECT_NO_THROW(ComputePasswordChecksum(std::string(256, 'x')));
}
