#include "Discovery.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>

namespace {

struct TargetCase {
    const char* target;
    const char* baseName;  // null: not recognised
    const char* programFolder;
};

// Runs in both code pages: ASCII only.
const TargetCase TargetCases[] = {
    {"C:\\P\\QAVMN.EXE", "QAVMN", "C:\\P"},
    {"C:\\P\\QAVMN.exe", "QAVMN", "C:\\P"},
    {"C:\\P\\qavsv.Exe", "qavsv", "C:\\P"},
    {"C:\\P\\QavRp.EXE", "QavRp", "C:\\P"},
    {"D:\\Q\\R\\QAVDT.EXE", "QAVDT", "D:\\Q\\R"},
    {"C:\\P\\QAVLAUNCHR.EXE", "QAVLAUNCHR", "C:\\P"},
    {"C:\\P\\QAVMAINTMENU.EXE", "QAVMAINTMENU", "C:\\P"},
    {"C:\\P\\QAVSTARTMNU.EXE", "QAVSTARTMNU", "C:\\P"},
    {"C:\\P\\QAVSEIBIMENU.EXE", "QAVSEIBIMENU", "C:\\P"},
    {"C:\\QAVMN.EXE", "QAVMN", "C:\\"},
    {"\\\\server\\share\\QAVMN.EXE", "QAVMN", "\\\\server\\share"},
    {"C:QAVMN.EXE", "QAVMN", "C:"},
    {"QAVMN.EXE", "QAVMN", ""},
    {"C:\\P\\QAVMN.COM", nullptr, "C:\\P"},
    {"C:\\P\\QAVMN", nullptr, "C:\\P"},
    {"C:\\P\\QAVMN.EXE.lnk", nullptr, "C:\\P"},
    {"C:\\P\\QAVMN.EX", nullptr, "C:\\P"},
    {"C:\\P\\A.B.exe", nullptr, "C:\\P"},
    {"C:\\P\\QAVMN.B.exe", nullptr, "C:\\P"},
    {"C:\\P.EXE\\QAVMNX.EXE", nullptr, "C:\\P.EXE"},
    {"C:\\P\\QAVM.EXE", nullptr, "C:\\P"},
    {"C:\\P\\QAVMENU.EXE", nullptr, "C:\\P"},
    {"C:\\P\\ QAVMN.EXE", nullptr, "C:\\P"},
    {"C:\\QAVMN\\", nullptr, "C:\\QAVMN"},
    {"C:\\P\\\\QAVMN.EXE", "QAVMN", "C:\\P\\\\"},
    {"\\QAVMN.EXE", "QAVMN", "\\"},
    {"", nullptr, ""},
};

// 表, ソ and 能 end in the byte of "\".
const TargetCase DbcsTargetCases[] = {
    {"C:\\表\\QAVMN.EXE", "QAVMN", "C:\\表"},
    {"C:\\整備ソ\\能\\qavmn.exe", "qavmn", "C:\\整備ソ\\能"},
    {"C:\\P\\表.EXE", nullptr, "C:\\P"},
    {"C:\\ソ", nullptr, "C:\\"},
    {"C:\\P\\ＱＡＶＭＮ.EXE", nullptr, "C:\\P"},
    {"C:\\P\\QAVMN.ＥＸＥ", nullptr, "C:\\P"},
};

void CheckTargets(const TargetCase* begin, const TargetCase* end)
{
    for (auto c = begin; c != end; ++c) {
        const auto baseName = IsRecognisedProgram(c->target);
        if (c->baseName)
            EXPECT_EQ(baseName, c->baseName) << c->target;
        else
            EXPECT_EQ(baseName, std::nullopt) << c->target;
        EXPECT_EQ(ProgramFolderOf(c->target), c->programFolder) << c->target;
    }
}

}  // namespace

TEST(Recognition, TargetsAndProgramFolders)
{
    CheckTargets(std::begin(TargetCases), std::end(TargetCases));
}

TEST(DbcsRecognition, TrailBackslashesAreNoSeparators)
{
    ASSERT_EQ(GetACP(), 932u);
    CheckTargets(std::begin(DbcsTargetCases), std::end(DbcsTargetCases));
}

TEST(Recognition, LeadBytesFollowTheCodePage)
{
    // 95 5C is 表 in code page 932; in code page 1252 the 5C is a separator.
    const std::string target = "C:\\\x95\\QAVMN.EXE";
    if (GetACP() == 932) {
        EXPECT_EQ(IsRecognisedProgram(target), std::nullopt);
        EXPECT_EQ(ProgramFolderOf(target), "C:\\");
    } else {
        EXPECT_EQ(IsRecognisedProgram(target), "QAVMN");
        EXPECT_EQ(ProgramFolderOf(target), "C:\\\x95");
    }
}

TEST(Recognition, NamesAreStoredScrambled)
{
    const char* plain[] = {"QAVMN",        "QAVSV",       "QAVRP",       "QAVDT",
                           "QAVLAUNCHR",   "QAVMAINTMENU", "QAVSTARTMNU", "QAVSEIBIMENU"};
    const std::size_t lengths[] = {5, 5, 5, 5, 10, 12, 11, 12};
    for (std::size_t i = 0; i < RecognisedProgramNames.size(); ++i) {
        EXPECT_EQ(RecognisedProgramNames[i].size(), lengths[i]);
        EXPECT_EQ(UnscrambleName(RecognisedProgramNames[i]), plain[i]);
    }
    // Byte by byte, modulo 256, the length kept.
    EXPECT_EQ(UnscrambleName(std::string("\xFB\xFF\x00<", 4)), std::string("\x00\x04\x05" "A", 4));
    EXPECT_EQ(UnscrambleName(""), "");

    // None of the names stands in plain in the library.
    FILE* file = std::fopen(DISCOVERY_LIBRARY, "rb");
    ASSERT_NE(file, nullptr) << DISCOVERY_LIBRARY;
    std::string bytes;
    char buffer[65536];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        bytes.append(buffer, n);
    std::fclose(file);
    ASSERT_GT(bytes.size(), 1000u);
    for (const char* name : plain)
        EXPECT_EQ(bytes.find(name), std::string::npos) << name;
}
