#include "Discovery.h"
#include "AnsiText.h"
#include "Errors.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <shlobj.h>
#include <shobjidl.h>

#include <thread>

using testing_support::MakeFolder;
using testing_support::TempFolder;
using testing_support::WriteBytes;
using testing_support::WriteShortcut;

namespace {

// A shortcut to a shell item that has no file-system path.
void WriteShortcutToItem(const std::string& linkPath, int folderId)
{
    LPITEMIDLIST item = nullptr;
    ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, folderId, &item), S_OK);
    IShellLinkA* link = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                               reinterpret_cast<void**>(&link)),
              S_OK);
    EXPECT_EQ(link->SetIDList(item), S_OK);
    IPersistFile* file = nullptr;
    EXPECT_EQ(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)), S_OK);
    EXPECT_EQ(file->Save(platform::AnsiToWide(linkPath).c_str(), TRUE), S_OK);
    file->Release();
    link->Release();
    CoTaskMemFree(item);
}

}  // namespace

TEST(Shortcut, ResolvesToTheTargetPath)
{
    TempFolder folder;
    WriteBytes(folder / "QAVMN.EXE", "MZ");
    MakeFolder(folder / "Sub Folder");
    WriteShortcut(folder / "program.lnk", folder / "QAVMN.EXE");
    WriteShortcut(folder / "folder.lnk", folder / "Sub Folder");
    // The name does not matter: every desktop file is tried.
    WriteShortcut(folder / "no-extension", folder / "QAVMN.EXE");
    EXPECT_EQ(ResolveShortcut(folder / "program.lnk"), folder / "QAVMN.EXE");
    EXPECT_EQ(ResolveShortcut(folder / "folder.lnk"), folder / "Sub Folder");
    EXPECT_EQ(ResolveShortcut(folder / "no-extension"), folder / "QAVMN.EXE");
}

TEST(Shortcut, FilesThatGiveNoPathAreFailures)
{
    TempFolder folder;
    WriteBytes(folder / "text.lnk", "[InternetShortcut]\r\nURL=x\r\n");
    WriteBytes(folder / "empty.lnk", "");
    WriteBytes(folder / "program.exe", "MZ\x90");
    WriteShortcutToItem(folder / "computer.lnk", CSIDL_DRIVES);
    for (const char* name : {"text.lnk", "empty.lnk", "program.exe", "missing.lnk", "computer.lnk"})
        EXPECT_EQ(ResolveShortcut(folder / name), std::nullopt) << name;
}

TEST(DbcsShortcut, PathsWithTrailBackslashesResolve)
{
    ASSERT_EQ(GetACP(), 932u);
    TempFolder folder("表示ソ能");
    MakeFolder(folder / "整備");
    WriteBytes(folder / "整備\\QAVMN.EXE", "MZ");
    WriteShortcut(folder / "整備ソ.lnk", folder / "整備\\QAVMN.EXE");
    EXPECT_EQ(ResolveShortcut(folder / "整備ソ.lnk"), folder / "整備\\QAVMN.EXE");
}

TEST(Shortcut, WithoutComTheShellLinkErrorLeaves)
{
    TempFolder folder;
    WriteShortcut(folder / "a.lnk", folder / "a.exe");
    HRESULT code = S_OK;
    std::string message;
    // A thread of its own has no apartment: creating the shell-link object fails.
    std::thread([&] {
        try {
            ResolveShortcut(folder / "a.lnk");
        } catch (const platform::EOleSysError& e) {
            code = e.ErrorCode();
            message = e.Message();
        }
    }).join();
    EXPECT_EQ(code, CO_E_NOTINITIALIZED);
    EXPECT_FALSE(message.empty());
}
