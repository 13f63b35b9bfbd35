#include "Deployment.h"

#include "AnsiText.h"
#include "Application.h"
#include "Errors.h"

#include <windows.h>
#include <shellapi.h>

using platform::Format;
using platform::JoinPath;

// The launch record the platform this tool works with expects: the 32-bit one.
static_assert(sizeof(void*) != 4 || sizeof(SHELLEXECUTEINFOA) == 60);

namespace {

std::string PackagePath(const std::string& dataFolder, const std::string& packageName)
{
    return JoinPath(dataFolder, packageName + ".EXE");
}

void RemovePackageFile(const std::string& path)
{
    WIN32_FIND_DATAA entry;
    const platform::FindHandle found(FindFirstFileA(path.c_str(), &entry));
    if (found && !(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        DeleteFileA(path.c_str());
}

std::string_view LoadPackageResource(const std::string& packageName)
{
    const HMODULE self = GetModuleHandleA(nullptr);
    const HRSRC resource = FindResourceA(self, packageName.c_str(), "EXE");
    const HGLOBAL loaded = resource ? LoadResource(self, resource) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes)
        throw platform::EResNotFound(Format("%s リソースが見つかりません", packageName.c_str()));
    return {static_cast<const char*>(bytes), SizeofResource(self, resource)};
}

}  // namespace

platform::FileHandle HoldPackageFile(const std::string& path, std::string_view expected)
{
    platform::FileHandle hold(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!hold) {
        RemovePackageFile(path);
        throw platform::EFOpenError(Format("ファイル %s を開けません", path.c_str()));
    }
    bool same = GetFileSize(hold.Get(), nullptr) == expected.size();
    char buffer[65536];
    for (std::size_t at = 0; same && at < expected.size();) {
        DWORD read = 0;
        if (!ReadFile(hold.Get(), buffer, sizeof buffer, &read, nullptr) || read == 0)
            break;
        same = expected.substr(at, read) == std::string_view(buffer, read);
        at += read;
    }
    if (!same) {
        hold.Reset();
        RemovePackageFile(path);
        throw platform::Exception(
            Format("ファイル %s の内容が更新パッケージと一致しません", path.c_str()));
    }
    return hold;
}

platform::FileHandle ExtractUpdatePackage(const std::string& dataFolder,
                                          const std::string& packageName)
{
    const std::string_view package = LoadPackageResource(packageName);
    const std::string path = PackagePath(dataFolder, packageName);
    {
        platform::FileHandle file(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                              nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                              nullptr));
        if (!file)
            throw platform::EFCreateError(Format("ファイル %s を作成できません", path.c_str()));
        DWORD written = 0;
        // One request straight from the loaded resource: the package is about 1 MB.
        const bool complete =
            package.empty() || (WriteFile(file.Get(), package.data(),
                                          static_cast<DWORD>(package.size()), &written, nullptr) &&
                                written == package.size());
        if (!complete) {
            file.Reset();
            // A truncated executable must not stay in a data folder.
            RemovePackageFile(path);
            throw platform::EWriteError("ストリームへの書き込みエラー");
        }
    }
    return HoldPackageFile(path, package);
}

void RunUpdatePackage(const std::string& packageFileName, const std::string& dataFolder,
                      const std::string& stagingFolder, platform::FileHandle hold)
{
    const std::string path = JoinPath(dataFolder, packageFileName);
    const std::string file = "\"" + path + "\"";
    const std::string parameters = " -n \"" + stagingFolder + "\"";

    SHELLEXECUTEINFOA launch = {};
    launch.cbSize = sizeof launch;
    // The system shows its own box when the start fails; owned by the main window, it keeps
    // the window from starting a second run meanwhile.
    launch.fMask = SEE_MASK_NOCLOSEPROCESS;
    launch.hwnd = platform::Application().MainWindowHandle();
    launch.lpVerb = "open";
    launch.lpFile = file.c_str();
    launch.lpParameters = parameters.c_str();
    launch.lpDirectory = "";
    launch.nShow = SW_SHOW;
    const bool started = ShellExecuteExA(&launch) != FALSE;
    const platform::Handle process(launch.hProcess);
    if (!started || !process) {
        hold.Reset();
        RemovePackageFile(path);
        throw platform::Exception(Format("更新パッケージ %s を起動できません", path.c_str()));
    }
    WaitForSingleObject(process.Get(), INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.Get(), &exitCode);
    hold.Reset();
    // An extractor exits 0 once it has unpacked: anything else means the folder has no update.
    if (exitCode != 0) {
        RemovePackageFile(path);
        throw platform::Exception(
            Format("%s の更新パッケージがエラーで終了しました (終了コード %lu)",
                   dataFolder.c_str(), static_cast<unsigned long>(exitCode)));
    }
}

void DeleteUpdatePackage(const std::string& dataFolder, const std::string& packageName)
{
    RemovePackageFile(PackagePath(dataFolder, packageName));
}
