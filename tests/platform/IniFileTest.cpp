#include "Errors.h"
#include "IniFile.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <windows.h>

using platform::TIniFile;
using testing_support::ReadBytes;
using testing_support::TempFolder;
using testing_support::WriteBytes;

TEST(IniFile, ReadsPresentEmptyAndMissingKeys)
{
    TempFolder folder;
    const std::string path = folder / "a.ini";
    WriteBytes(path, "[PATH]\r\nDATA=D:\\Data\\\r\nEMPTY=\r\n[OTHER]\r\nX=1\r\n");
    const TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("PATH", "DATA", "def"), "D:\\Data\\");
    EXPECT_EQ(ini.ReadString("PATH", "EMPTY", "def"), "");
    EXPECT_EQ(ini.ReadString("PATH", "NONE", "def"), "def");
    EXPECT_EQ(ini.ReadString("NOSECTION", "DATA", "def"), "def");
    EXPECT_EQ(ini.ReadString("path", "data", "def"), "D:\\Data\\");
    EXPECT_EQ(TIniFile(folder / "missing.ini").ReadString("PATH", "DATA", "def"), "def");
}

TEST(IniFile, ValuesAreCutAt2047Characters)
{
    TempFolder folder;
    const std::string path = folder / "long.ini";
    const std::string exact(2047, 'x');
    const std::string longer(3000, 'y');
    WriteBytes(path, "[S]\r\nEXACT=" + exact + "\r\nLONGER=" + longer + "\r\n");
    const TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("S", "EXACT", ""), exact);
    EXPECT_EQ(ini.ReadString("S", "LONGER", ""), longer.substr(0, 2047));
}

TEST(IniFile, WriteCreatesTheFileAndKeepsOtherKeys)
{
    TempFolder folder;
    const std::string path = folder / "new.ini";
    const TIniFile ini(path);
    ini.WriteString("PRG", "Name1", "QAV.exe");
    EXPECT_EQ(ini.ReadString("PRG", "Name1", ""), "QAV.exe");
    ini.WriteString("PRG", "Name2", "B.exe");
    EXPECT_EQ(ini.ReadString("PRG", "Name1", ""), "QAV.exe");
    platform::TStringList keys;
    ini.ReadSection("PRG", keys);
    ASSERT_EQ(keys.Count(), 2);
    EXPECT_EQ(keys[0], "Name1");
    EXPECT_EQ(keys[1], "Name2");
}

TEST(IniFile, RefusedWriteRaisesWithThePathAndLosesNothing)
{
    TempFolder folder;
    // A write creates a missing file, never a missing folder.
    const TIniFile missingFolder(folder / "nofolder\\PrgInfo.ini");
    try {
        missingFolder.WriteString("PRG", "Name1", "QAV.exe");
        FAIL() << "no error";
    } catch (const platform::EIniFileException& e) {
        EXPECT_EQ(e.Message(), folder / "nofolder\\PrgInfo.ini" + " に書き込めません");
    }
    EXPECT_FALSE(testing_support::FileExists(folder / "nofolder"));

    // Root's writes pass a read-only attribute under Wine; a handle without sharing stops them.
    const std::string path = folder / "locked.ini";
    const std::string before = "[PRG]\r\nName1=A.exe\r\n";
    WriteBytes(path, before);
    HANDLE lock = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE) << GetLastError();
    EXPECT_THROW(TIniFile(path).WriteString("PRG", "Name2", "QAV.exe"),
                 platform::EIniFileException);
    CloseHandle(lock);
    EXPECT_EQ(ReadBytes(path), before);
}

TEST(IniFile, ReadSectionOfMissingOrEmptySectionAddsNothing)
{
    TempFolder folder;
    const std::string path = folder / "s.ini";
    WriteBytes(path, "[PRG]\r\n[OTHER]\r\nA=1\r\n");
    platform::TStringList keys;
    TIniFile(path).ReadSection("PRG", keys);
    TIniFile(path).ReadSection("NONE", keys);
    TIniFile(folder / "missing.ini").ReadSection("PRG", keys);
    EXPECT_EQ(keys.Count(), 0);
}
