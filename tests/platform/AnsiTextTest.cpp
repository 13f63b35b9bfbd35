#include "AnsiText.h"

#include <gtest/gtest.h>

#include <windows.h>

using namespace platform;

namespace {

// 表, ソ and 能 end in the byte of "\" (0x5C) in code page 932.
struct PathCase {
    const char* path;
    bool endsInSeparator;
    const char* joinedWithName;
};

const PathCase DbcsPathCases[] = {
    {"C:\\", true, "C:\\N"},
    {"C:\\P", false, "C:\\P\\N"},
    {"C:\\P\\", true, "C:\\P\\N"},
    {"C:", false, "C:\\N"},
    {"", false, "\\N"},
    {"C:\\表", false, "C:\\表\\N"},
    {"C:\\ソ", false, "C:\\ソ\\N"},
    {"C:\\能\\", true, "C:\\能\\N"},
    {"\\\\server\\share\\表示ソ", false, "\\\\server\\share\\表示ソ\\N"},
};

}  // namespace

TEST(DbcsAnsiText, TrailBytesAreNoSeparators)
{
    ASSERT_EQ(GetACP(), 932u);
    for (const auto& c : DbcsPathCases) {
        EXPECT_EQ(EndsInSeparator(c.path), c.endsInSeparator) << c.path;
        EXPECT_EQ(JoinPath(c.path, "N"), c.joinedWithName) << c.path;
    }
    EXPECT_EQ(LastDelimiter("\\:", "C:\\表"), 2u);
    EXPECT_EQ(LastDelimiter("\\:", "表"), std::string::npos);
    EXPECT_EQ(LastDelimiter(".", "A.表"), 1u);
    EXPECT_FALSE(IsSeparatorAt("表", 1));
    EXPECT_TRUE(IsSeparatorAt("表\\", 2));
}

TEST(DbcsAnsiText, FileNameRuleLowersSingleByteLettersOnly)
{
    ASSERT_EQ(GetACP(), 932u);
    // ア is 83 41: its trail byte is "A" and must stay as it is.
    EXPECT_EQ(LowerFileName("アQAV表.EXE"), "アqav表.exe");
    // Full-width letters are no single-byte letters.
    EXPECT_EQ(LowerFileName("ＱＡＶ"), "ＱＡＶ");
    EXPECT_TRUE(SameFileName("QAV表.EXE", "qav表.exe"));
    EXPECT_FALSE(SameFileName("ＱＡＶ", "ｑａｖ"));
    EXPECT_FALSE(SameFileName("ア", "ャ"));
}

TEST(SingleByteAnsiText, FileNameRuleLowersThroughTheSystem)
{
    ASSERT_EQ(GetACP(), 1252u);
    // Ä (C4) and Ö (D6) are letters in code page 1252.
    EXPECT_EQ(LowerFileName("\xC4QAV\xD6.EXE"), "\xE4qav\xF6.exe");
    EXPECT_TRUE(SameFileName("\xC4.EXE", "\xE4.exe"));
    EXPECT_FALSE(SameFileName("A.EXE", "B.EXE"));
}

TEST(AnsiText, LeadBytesFollowTheCodePage)
{
    // 95 5C is 表 in code page 932, and a bullet followed by "\" in code page 1252.
    const bool dbcs = GetACP() == 932;
    EXPECT_EQ(EndsInSeparator("C:\\\x95\\"), !dbcs);
    EXPECT_EQ(JoinPath("C:\\\x95\\", "N"), dbcs ? "C:\\\x95\\\\N" : "C:\\\x95\\N");
    EXPECT_EQ(JoinPath("D:\\", "QAVUP.EXE"), "D:\\QAVUP.EXE");
    EXPECT_EQ(JoinPath("D:\\Data", "UpdatePrg"), "D:\\Data\\UpdatePrg");
}

TEST(AnsiText, AnsiToWideAndFormat)
{
    EXPECT_EQ(AnsiToWide("abc"), L"abc");
    EXPECT_EQ(AnsiToWide(""), L"");
    if (GetACP() == 932)
        EXPECT_EQ(AnsiToWide("表示"), L"\x8868\x793A");
    else
        EXPECT_EQ(AnsiToWide("\xC4"), L"\x00C4");
    EXPECT_EQ(Format("%s に書き込めません", "C:\\x.ini"), "C:\\x.ini に書き込めません");
    EXPECT_EQ(Format("(%.4x)", 0x2108), "(2108)");
}
