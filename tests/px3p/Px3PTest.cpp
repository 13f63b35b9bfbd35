// Our px3p.dll as built: entries 1, 2 and 3 by ordinal, entry 1 answering 0; and nowhere near
// the deliverables.
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>

namespace {

std::string OnDriveZ(const std::string& unixPath)
{
    std::string path = "Z:" + unixPath;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

using Entry1 = std::int32_t(__stdcall*)(const char*);

}  // namespace

TEST(Px3P, ExportsEntriesOneToThreeAndEntryOneAnswersZero)
{
    const HMODULE library = LoadLibraryA(OnDriveZ(PX3P_DLL).c_str());
    ASSERT_TRUE(library) << GetLastError();
    for (int ordinal : {1, 2, 3})
        EXPECT_TRUE(GetProcAddress(library, MAKEINTRESOURCEA(ordinal))) << ordinal;
    EXPECT_FALSE(GetProcAddress(library, MAKEINTRESOURCEA(4)));
    const auto entry1 = reinterpret_cast<Entry1>(
        reinterpret_cast<void (*)()>(GetProcAddress(library, MAKEINTRESOURCEA(1))));
    ASSERT_TRUE(entry1);
    for (const char* name : {"", "TABLE", "表示ソ"})
        EXPECT_EQ(entry1(name), 0) << name;
    FreeLibrary(library);
}

TEST(Px3P, StaysAwayFromTheTool)
{
    // Beside REROROR.exe it would shadow a workstation's real library.
    EXPECT_FALSE(testing_support::FileExists(OnDriveZ(REROROR_DIR "/px3p.dll")));
    EXPECT_FALSE(testing_support::FileExists(OnDriveZ(DIST_DIR "/px3p.dll")));
}
