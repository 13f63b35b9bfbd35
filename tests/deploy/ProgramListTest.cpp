#include "Deployment.h"
#include "Errors.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <windows.h>

using testing_support::FileExists;
using testing_support::MakeFolder;
using testing_support::ReadBytes;
using testing_support::TempFolder;
using testing_support::WriteBytes;

namespace {

struct ListCase {
    const char* name;
    const char* before;  // null: no PrgInfo.ini
    const char* after;   // null: unchanged
};

const ListCase ListCases[] = {
    {"no file", nullptr, "[PRG]\r\nName1=QAV.exe\r\n"},
    {"next free key", "[PRG]\r\nName1=A.exe\r\nName2=B.exe\r\n",
     "[PRG]\r\nName1=A.exe\r\nName2=B.exe\r\nName3=QAV.exe\r\n"},
    {"lower case", "[PRG]\r\nName1=A.exe\r\nName2=qav.exe\r\n", nullptr},
    {"full path", "[PRG]\r\nName1=C:\\Prg\\QAV.EXE\r\n", nullptr},
    {"longer name", "[PRG]\r\nName1=OLDQAV.EXE.BAK\r\n", nullptr},
    {"gap ends the list", "[PRG]\r\nName1=A.exe\r\nName3=QAV.exe\r\n",
     "[PRG]\r\nName1=A.exe\r\nName3=QAV.exe\r\nName2=QAV.exe\r\n"},
    {"empty first value", "[PRG]\r\nName1=\r\nName2=QAV.exe\r\n",
     "[PRG]\r\nName1=QAV.exe\r\nName2=QAV.exe\r\n"},
    {"only other keys", "[PRG]\r\nCount=2\r\n", "[PRG]\r\nCount=2\r\nName1=QAV.exe\r\n"},
    {"no section", "[OTHER]\r\nName1=B.exe\r\n",
     "[OTHER]\r\nName1=B.exe\r\n[PRG]\r\nName1=QAV.exe\r\n"},
    {"empty section", "[PRG]\r\n[OTHER]\r\nX=1\r\n",
     "[PRG]\r\nName1=QAV.exe\r\n[OTHER]\r\nX=1\r\n"},
    {"QAV.EXE split by case only", "[PRG]\r\nName1=Qav.Exe\r\n", nullptr},
    {"near miss", "[PRG]\r\nName1=QAV_EXE\r\n", "[PRG]\r\nName1=QAV_EXE\r\nName2=QAV.exe\r\n"},
};

std::string FullList(int count)
{
    std::string content = "[PRG]\r\n";
    for (int n = 1; n <= count; ++n)
        content += "Name" + std::to_string(n) + "=P" + std::to_string(n) + ".exe\r\n";
    return content;
}

}  // namespace

TEST(ProgramList, Cases)
{
    for (const auto& c : ListCases) {
        TempFolder data;
        MakeFolder(data / "UpdatePrg");
        const std::string list = data / "UpdatePrg\\PrgInfo.ini";
        if (c.before)
            WriteBytes(list, c.before);
        RegisterProgramInList(data.Path());
        EXPECT_EQ(ReadBytes(list), c.after ? c.after : c.before) << c.name;
    }
}

TEST(ProgramList, LastFreeKeyIs300)
{
    TempFolder data;
    MakeFolder(data / "UpdatePrg");
    const std::string list = data / "UpdatePrg\\PrgInfo.ini";
    WriteBytes(list, FullList(299));
    RegisterProgramInList(data.Path());
    EXPECT_EQ(ReadBytes(list), FullList(299) + "Name300=QAV.exe\r\n");
}

TEST(ProgramList, FullListIsAnErrorAndWritesNothing)
{
    TempFolder data;
    MakeFolder(data / "UpdatePrg");
    const std::string list = data / "UpdatePrg\\PrgInfo.ini";
    // Name301 lies beyond the list and is never looked at.
    const std::string full = FullList(300) + "Name301=QAV.exe\r\n";
    WriteBytes(list, full);
    try {
        RegisterProgramInList(data.Path());
        FAIL() << "no error";
    } catch (const platform::Exception& e) {
        EXPECT_EQ(e.Message(), "プログラム一覧 " + list + " に空きがありません (Name1 から Name300 まで使用中)");
    }
    EXPECT_EQ(ReadBytes(list), full);
}

TEST(ProgramList, RefusedWritesRaiseWithThePath)
{
    TempFolder data;
    const std::string list = data / "UpdatePrg\\PrgInfo.ini";
    const std::string expected = list + " に書き込めません";
    auto message = [&] {
        try {
            RegisterProgramInList(data.Path());
        } catch (const platform::EIniFileException& e) {
            return e.Message();
        }
        return std::string("(no error)");
    };
    EXPECT_EQ(message(), expected) << "no staging folder";

    MakeFolder(data / "UpdatePrg");
    MakeFolder(list);
    EXPECT_EQ(message(), expected) << "a folder in its place";
    RemoveDirectoryA(list.c_str());

    WriteBytes(list, "[PRG]\r\nName1=A.exe\r\n");
    {
        const platform::FileHandle lock(
            CreateFileA(list.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(lock);
        EXPECT_EQ(message(), expected) << "locked";
    }
    EXPECT_EQ(ReadBytes(list), "[PRG]\r\nName1=A.exe\r\n");
}
