#include "TestFiles.h"

#include "Handles.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <stdexcept>

namespace testing_support {

namespace {

void Check(bool ok, const std::string& what)
{
    if (!ok)
        throw std::runtime_error(what + " failed, error " + std::to_string(GetLastError()));
}

std::wstring Wide(const std::string& text)
{
    std::wstring wide(text.size() + 1, L'\0');
    const int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(),
                                           static_cast<int>(wide.size()));
    wide.resize(length > 0 ? static_cast<std::size_t>(length - 1) : 0);
    return wide;
}

}  // namespace

TempFolder::TempFolder(const std::string& leaf)
{
    char base[MAX_PATH + 1] = {};
    Check(GetTempPathA(MAX_PATH, base) != 0, "GetTempPathA");
    // Made in one step under a name of this process: test programs run side by side, and a
    // name given out by GetTempFileNameA is free again once its file is gone.
    static unsigned counter = 0;
    for (;;) {
        path_ = std::string(base) + "rr" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(++counter);
        if (CreateDirectoryA(path_.c_str(), nullptr))
            break;
        Check(GetLastError() == ERROR_ALREADY_EXISTS, "CreateDirectoryA " + path_);
    }
    if (!leaf.empty()) {
        path_ += "\\" + leaf;
        MakeFolder(path_);
    }
}

TempFolder::~TempFolder()
{
    std::string top = path_;
    char base[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH, base);
    // Remove the unique folder made under the temporary folder, with the leaf in it.
    const std::string baseText = base;
    const auto next = top.find('\\', baseText.size());
    if (next != std::string::npos)
        top.resize(next);
    RemoveTree(top);
}

std::string TempFolder::operator/(const std::string& name) const
{
    return path_ + "\\" + name;
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    const platform::FileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    Check(bool(file), "CreateFileA " + path);
    DWORD written = 0;
    const BOOL ok = WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                              &written, nullptr);
    Check(ok && written == bytes.size(), "WriteFile " + path);
}

std::string ReadBytes(const std::string& path)
{
    const platform::FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                nullptr, OPEN_EXISTING, 0, nullptr));
    Check(bool(file), "CreateFileA " + path);
    std::string bytes(GetFileSize(file.Get(), nullptr), '\0');
    DWORD read = 0;
    const BOOL ok = ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read,
                             nullptr);
    Check(ok && read == bytes.size(), "ReadFile " + path);
    return bytes;
}

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void MakeFolder(const std::string& path)
{
    Check(CreateDirectoryA(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS,
          "CreateDirectoryA " + path);
}

void EmptyFolder(const std::string& path)
{
    WIN32_FIND_DATAA entry;
    const platform::FindHandle search(FindFirstFileA((path + "\\*").c_str(), &entry));
    if (!search)
        return;
    do {
        const std::string name = entry.cFileName;
        if (name == "." || name == "..")
            continue;
        const std::string child = path + "\\" + name;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            RemoveTree(child);
        } else {
            SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(child.c_str());
        }
    } while (FindNextFileA(search.Get(), &entry));
}

void RemoveTree(const std::string& path)
{
    EmptyFolder(path);
    RemoveDirectoryA(path.c_str());
}

void WriteShortcut(const std::string& linkPath, const std::string& targetPath)
{
    IShellLinkA* link = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IShellLinkA, reinterpret_cast<void**>(&link));
    if (FAILED(hr))
        throw std::runtime_error("CoCreateInstance(ShellLink) " + std::to_string(hr));
    IPersistFile* file = nullptr;
    hr = link->SetPath(targetPath.c_str());
    if (SUCCEEDED(hr))
        hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    if (SUCCEEDED(hr))
        hr = file->Save(Wide(linkPath).c_str(), TRUE);
    if (file)
        file->Release();
    link->Release();
    if (FAILED(hr))
        throw std::runtime_error("writing shortcut " + linkPath + ": " + std::to_string(hr));
}

}  // namespace testing_support
