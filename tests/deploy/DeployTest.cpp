#include "AnsiText.h"
#include "Deployment.h"
#include "Errors.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <functional>
#include <thread>

using testing_support::FileExists;
using testing_support::MakeFolder;
using testing_support::ReadBytes;
using testing_support::TempFolder;
using testing_support::WriteBytes;

namespace {

std::string Resource(const char* name)
{
    const HRSRC resource = FindResourceA(nullptr, name, "EXE");
    const HGLOBAL loaded = LoadResource(nullptr, resource);
    return std::string(static_cast<const char*>(LockResource(loaded)),
                       SizeofResource(nullptr, resource));
}

template <typename Error>
std::string MessageOf(const std::function<void()>& operation)
{
    try {
        operation();
    } catch (const Error& e) {
        return e.Message();
    }
    return "(no error)";
}

// The package's behaviour for one test, through the environment the package inherits.
class PackageBehaviour {
public:
    explicit PackageBehaviour(const TempFolder& scratch, const char* mode = "", const char* exit = "")
        : log_(scratch / "package.log")
    {
        SetEnvironmentVariableA("REROROR_TEST_PACKAGE_LOG", log_.c_str());
        SetEnvironmentVariableA("REROROR_TEST_PACKAGE_MODE", mode);
        SetEnvironmentVariableA("REROROR_TEST_PACKAGE_EXIT", exit);
    }
    ~PackageBehaviour()
    {
        for (const char* name : {"REROROR_TEST_PACKAGE_LOG", "REROROR_TEST_PACKAGE_MODE",
                                 "REROROR_TEST_PACKAGE_EXIT"})
            SetEnvironmentVariableA(name, nullptr);
    }
    std::string Log() const { return FileExists(log_) ? ReadBytes(log_) : "(not run)"; }

private:
    std::string log_;
};

// Presses OK on every message box of this process until stopped: the system's own box for a
// package that cannot start blocks the start until it is dismissed.
class BoxDismisser {
public:
    BoxDismisser()
        : thread_([this] {
              while (!stop_) {
                  EnumWindows(
                      [](HWND window, LPARAM self) -> BOOL {
                          DWORD process = 0;
                          GetWindowThreadProcessId(window, &process);
                          char name[16] = {};
                          GetClassNameA(window, name, sizeof name);
                          if (process == GetCurrentProcessId() &&
                              std::string(name) == "#32770" && IsWindowVisible(window)) {
                              reinterpret_cast<BoxDismisser*>(self)->seen_ = true;
                              PostMessageA(window, WM_COMMAND, IDOK, 0);
                          }
                          return TRUE;
                      },
                      reinterpret_cast<LPARAM>(this));
                  Sleep(50);
              }
          })
    {
    }
    ~BoxDismisser()
    {
        stop_ = true;
        thread_.join();
    }
    bool Seen() const { return seen_; }

private:
    std::atomic<bool> stop_{false};
    std::atomic<bool> seen_{false};
    std::thread thread_;
};

char CurrentFolderText[MAX_PATH + 1];

std::string CurrentFolder()
{
    GetCurrentDirectoryA(MAX_PATH, CurrentFolderText);
    return CurrentFolderText;
}

void Deploy(const std::string& dataFolder)
{
    auto hold = ExtractUpdatePackage(dataFolder, "QAVUP");
    RunUpdatePackage("QAVUP.EXE", dataFolder, platform::JoinPath(dataFolder, "UpdatePrg"),
                     std::move(hold));
    DeleteUpdatePackage(dataFolder, "QAVUP");
    RegisterProgramInList(dataFolder);
}

}  // namespace

TEST(Deploy, OneDataFolderEndToEnd)
{
    TempFolder data;
    TempFolder scratch;
    const PackageBehaviour package(scratch);
    const std::string packagePath = data / "QAVUP.EXE";

    auto hold = ExtractUpdatePackage(data.Path(), "QAVUP");
    EXPECT_EQ(ReadBytes(packagePath), Resource("QAVUP"));
    RunUpdatePackage("QAVUP.EXE", data.Path(), data / "UpdatePrg", std::move(hold));
    // The file text in quotes, then one space, then the parameter text that begins with one.
    EXPECT_EQ(package.Log(), "cmdline=\"" + packagePath + "\"  -n \"" + data / "UpdatePrg" +
                                 "\"\ncwd=" + CurrentFolder() + "\nmoved=0\n");
    EXPECT_EQ(ReadBytes(data / "UpdatePrg\\QAV.exe"), "QAV test build");
    // The hold is closed once the package has ended.
    EXPECT_TRUE(FileExists(packagePath));
    DeleteUpdatePackage(data.Path(), "QAVUP");
    EXPECT_FALSE(FileExists(packagePath));
    RegisterProgramInList(data.Path());
    EXPECT_EQ(ReadBytes(data / "UpdatePrg\\PrgInfo.ini"), "[PRG]\r\nName1=QAV.exe\r\n");
}

TEST(Deploy, TheHoldKeepsOthersFromChangingThePackage)
{
    TempFolder data;
    const std::string packagePath = data / "QAVUP.EXE";
    {
        const auto hold = ExtractUpdatePackage(data.Path(), "QAVUP");
        EXPECT_EQ(CreateFileA(packagePath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr),
                  INVALID_HANDLE_VALUE);
        EXPECT_FALSE(MoveFileA(packagePath.c_str(), (data / "moved.exe").c_str()));
        EXPECT_FALSE(DeleteFileA(packagePath.c_str()));
        EXPECT_EQ(ReadBytes(packagePath), Resource("QAVUP"));
    }
    EXPECT_TRUE(DeleteFileA(packagePath.c_str())) << GetLastError();
}

TEST(Deploy, AnEarlierPackageFileIsReplaced)
{
    TempFolder data;
    TempFolder scratch;
    const PackageBehaviour package(scratch);
    WriteBytes(data / "QAVUP.EXE", std::string(2 * 1024 * 1024, 'x'));
    Deploy(data.Path());
    EXPECT_FALSE(FileExists(data / "QAVUP.EXE"));
    EXPECT_NE(package.Log().find("moved=0"), std::string::npos) << package.Log();
}

TEST(Deploy, RunReturnsOnlyWhenThePackageHasEnded)
{
    TempFolder data;
    TempFolder scratch;
    const PackageBehaviour package(scratch, "sleep");
    const DWORD start = GetTickCount();
    auto hold = ExtractUpdatePackage(data.Path(), "QAVUP");
    RunUpdatePackage("QAVUP.EXE", data.Path(), data / "UpdatePrg", std::move(hold));
    EXPECT_GE(GetTickCount() - start, 1400u);
    EXPECT_TRUE(FileExists(data / "UpdatePrg\\QAV.exe"));
}

TEST(Deploy, SameDataFolderTwiceListsTheProgramOnce)
{
    TempFolder data;
    TempFolder scratch;
    const PackageBehaviour package(scratch);
    Deploy(data.Path());
    Deploy(data.Path());
    EXPECT_EQ(ReadBytes(data / "UpdatePrg\\PrgInfo.ini"), "[PRG]\r\nName1=QAV.exe\r\n");
}

TEST(DbcsDeploy, DataFoldersEndingInATrailBackslash)
{
    ASSERT_EQ(GetACP(), 932u);
    for (const char* leaf : {"表", "整備ソ"}) {
        TempFolder data(leaf);
        TempFolder scratch;
        const PackageBehaviour package(scratch);
        Deploy(data.Path());
        EXPECT_NE(package.Log().find("\"" + data.Path() + "\\QAVUP.EXE\"  -n \"" + data.Path() +
                                     "\\UpdatePrg\""),
                  std::string::npos)
            << package.Log();
        EXPECT_EQ(ReadBytes(data.Path() + "\\UpdatePrg\\PrgInfo.ini"), "[PRG]\r\nName1=QAV.exe\r\n");
        EXPECT_FALSE(FileExists(data.Path() + "\\QAVUP.EXE"));
    }
}

TEST(Deploy, DriveRootDataFolderGetsOneSeparator)
{
    // C:\ is the test prefix's own drive.
    TempFolder scratch;
    const PackageBehaviour package(scratch);
    ASSERT_FALSE(FileExists("C:\\UpdatePrg"));
    Deploy("C:\\");
    const std::string log = package.Log();
    testing_support::RemoveTree("C:\\UpdatePrg");
    EXPECT_NE(log.find("cmdline=\"C:\\QAVUP.EXE\"  -n \"C:\\UpdatePrg\"\n"), std::string::npos) << log;
    EXPECT_FALSE(FileExists("C:\\QAVUP.EXE"));
}

TEST(DeployFaults, MissingResourceWritesNothing)
{
    TempFolder data;
    EXPECT_EQ(MessageOf<platform::EResNotFound>([&] { ExtractUpdatePackage(data.Path(), "NOSUCH"); }),
              "NOSUCH リソースが見つかりません");
    EXPECT_FALSE(FileExists(data / "NOSUCH.EXE"));
}

TEST(DeployFaults, PackageFileThatCannotBeCreated)
{
    TempFolder data;
    const std::string missing = data / "missing";
    EXPECT_EQ(MessageOf<platform::EFCreateError>([&] { ExtractUpdatePackage(missing, "QAVUP"); }),
              "ファイル " + missing + "\\QAVUP.EXE を作成できません");
    EXPECT_FALSE(FileExists(missing));

    // In use by someone who shares nothing: the old file stays as it was.
    const std::string packagePath = data / "QAVUP.EXE";
    WriteBytes(packagePath, "old");
    const platform::FileHandle other(CreateFileA(packagePath.c_str(), GENERIC_READ, 0, nullptr,
                                                 OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(other);
    EXPECT_EQ(MessageOf<platform::EFCreateError>([&] { ExtractUpdatePackage(data.Path(), "QAVUP"); }),
              "ファイル " + packagePath + " を作成できません");
}

TEST(DeployFaults, ShortWriteLeavesNoPackage)
{
    // R: is a 256 KiB drive (tests/deploy/small-drive); the package is 1 MiB.
    ASSERT_EQ(GetDriveTypeA("R:\\"), static_cast<UINT>(DRIVE_FIXED)) << "R: not mapped";
    EXPECT_EQ(MessageOf<platform::EWriteError>([&] { ExtractUpdatePackage("R:\\", "BIG"); }),
              "ストリームへの書き込みエラー");
    EXPECT_FALSE(FileExists("R:\\BIG.EXE"));
}

TEST(DeployFaults, PackageThatCannotStart)
{
    TempFolder data;
    const std::string packagePath = data / "BROKEN.EXE";
    auto hold = ExtractUpdatePackage(data.Path(), "BROKEN");
    std::string message;
    {
        const BoxDismisser dismisser;
        message = MessageOf<platform::Exception>([&] {
            RunUpdatePackage("BROKEN.EXE", data.Path(), data / "UpdatePrg", std::move(hold));
        });
        // With a display, the system's own box comes first.
        if (GetEnvironmentVariableA("DISPLAY", nullptr, 0) > 0) {
            EXPECT_TRUE(dismisser.Seen());
        }
    }
    EXPECT_EQ(message, "更新パッケージ " + packagePath + " を起動できません");
    EXPECT_FALSE(FileExists(packagePath));
    EXPECT_FALSE(FileExists(data / "UpdatePrg"));
}

TEST(DeployFaults, PackageThatReportsFailure)
{
    TempFolder data;
    TempFolder scratch;
    const PackageBehaviour package(scratch, "", "3");
    auto hold = ExtractUpdatePackage(data.Path(), "QAVUP");
    EXPECT_EQ(MessageOf<platform::Exception>([&] {
                  RunUpdatePackage("QAVUP.EXE", data.Path(), data / "UpdatePrg", std::move(hold));
              }),
              data.Path() + " の更新パッケージがエラーで終了しました (終了コード 3)");
    EXPECT_FALSE(FileExists(data / "QAVUP.EXE"));
    EXPECT_FALSE(FileExists(data / "UpdatePrg\\PrgInfo.ini"));
}

TEST(DeployFaults, PackageThatUnpacksNothing)
{
    TempFolder data;
    TempFolder scratch;
    const PackageBehaviour package(scratch, "empty");
    auto hold = ExtractUpdatePackage(data.Path(), "QAVUP");
    RunUpdatePackage("QAVUP.EXE", data.Path(), data / "UpdatePrg", std::move(hold));
    DeleteUpdatePackage(data.Path(), "QAVUP");
    // Without the staging folder the program list cannot be written.
    EXPECT_EQ(MessageOf<platform::EIniFileException>([&] { RegisterProgramInList(data.Path()); }),
              data / "UpdatePrg\\PrgInfo.ini" + " に書き込めません");
    EXPECT_FALSE(FileExists(data / "UpdatePrg"));
}

TEST(DeployFaults, HeldFileWithOtherBytesIsRemoved)
{
    TempFolder data;
    const std::string path = data / "QAVUP.EXE";
    for (const char* bytes : {"MZ other", "MZ packag", "MZ package and more"}) {
        WriteBytes(path, bytes);
        EXPECT_EQ(MessageOf<platform::Exception>([&] { HoldPackageFile(path, "MZ package"); }),
                  "ファイル " + path + " の内容が更新パッケージと一致しません")
            << bytes;
        EXPECT_FALSE(FileExists(path));
    }
    WriteBytes(path, "MZ package");
    EXPECT_TRUE(HoldPackageFile(path, "MZ package"));
}

TEST(DeployFaults, DeleteTouchesNoFolderAndReportsNothing)
{
    TempFolder data;
    MakeFolder(data / "QAVUP.EXE");
    EXPECT_NO_THROW(DeleteUpdatePackage(data.Path(), "QAVUP"));
    EXPECT_TRUE(FileExists(data / "QAVUP.EXE"));
    EXPECT_NO_THROW(DeleteUpdatePackage(data / "missing", "QAVUP"));
}
