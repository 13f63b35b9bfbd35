#include "Discovery.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <windows.h>

using testing_support::TempFolder;
using testing_support::WriteBytes;

namespace {

struct IniCase {
    const char* name;
    const char* content;  // null: no INI file
    std::string expected;  // "<default>": the program folder joined with DATA
};

}  // namespace

TEST(DataFolder, ReadFromTheInstallationIni)
{
    const std::string longValue(2047, 'L');
    const IniCase cases[] = {
        {"no file", nullptr, "<default>"},
        {"no section", "[OTHER]\r\nDATA=X:\\x\r\n", "<default>"},
        {"no key", "[PATH]\r\nDATA2=X:\\x\r\n", "<default>"},
        {"empty value", "[PATH]\r\nDATA=\r\n", ""},
        {"final separator kept", "[PATH]\r\nDATA=D:\\Data\\\r\n", "D:\\Data\\"},
        {"used as read", "[path]\r\ndata=..\\Data\r\n", "..\\Data"},
        {"2047 characters", nullptr, longValue},
    };
    for (const auto& c : cases) {
        TempFolder folder;
        if (c.content)
            WriteBytes(folder / "QAVMN.INI", c.content);
        else if (c.expected == longValue)
            WriteBytes(folder / "QAVMN.INI", "[PATH]\r\nDATA=" + longValue + "\r\n");
        const std::string expected = c.expected == "<default>" ? folder / "DATA" : c.expected;
        EXPECT_EQ(ResolveDataFolder(folder.Path(), "QAVMN"), expected) << c.name;
    }
}

TEST(DataFolder, IniIsNamedAfterTheBaseName)
{
    TempFolder folder;
    WriteBytes(folder / "QAVMN.INI", "[PATH]\r\nDATA=D:\\MN\r\n");
    WriteBytes(folder / "QAVSV.INI", "[PATH]\r\nDATA=D:\\SV\r\n");
    EXPECT_EQ(ResolveDataFolder(folder.Path(), "QAVMN"), "D:\\MN");
    EXPECT_EQ(ResolveDataFolder(folder.Path(), "qavsv"), "D:\\SV");
    EXPECT_EQ(ResolveDataFolder(folder.Path(), "QAVRP"), folder / "DATA");
}

TEST(DataFolder, DriveRootGetsOneSeparator)
{
    // Nothing is created on the drive: the INI file is only looked for.
    EXPECT_EQ(ResolveDataFolder("C:\\", "QAVMN"), "C:\\DATA");
    EXPECT_EQ(ResolveDataFolder("", "QAVMN"), "\\DATA");
}

TEST(DbcsDataFolder, FolderEndingInATrailBackslash)
{
    ASSERT_EQ(GetACP(), 932u);
    TempFolder folder("表");
    EXPECT_EQ(ResolveDataFolder(folder.Path(), "QAVMN"), folder.Path() + "\\DATA");
    WriteBytes(folder / "QAVMN.INI", "[PATH]\r\nDATA=D:\\整備ソ\r\n");
    EXPECT_EQ(ResolveDataFolder(folder.Path(), "QAVMN"), "D:\\整備ソ");
}
