#include "Discovery.h"

#include "AnsiText.h"
#include "Handles.h"

#include <windows.h>
#include <shlobj.h>

using platform::ComPtr;

std::string GetSpecialFolderPath(int folderId)
try {
    ComPtr<IMalloc> allocator;
    if (FAILED(CoGetMalloc(MEMCTX_TASK, allocator.Receive())))
        return {};
    LPITEMIDLIST raw = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, folderId, &raw)))
        return {};
    const platform::ItemIdList list(allocator.Get(), raw);
    char buffer[MAX_PATH + 1] = {};
    if (!SHGetPathFromIDListA(list.Get(), buffer))
        return {};
    std::string path(buffer);
    if (!platform::EndsInSeparator(path))
        path += '\\';
    return path;
} catch (const std::exception&) {
    // A special folder that cannot be had contributes nothing; nobody is told.
    return {};
}

void ListFolderFiles(platform::TStringList& list, int folderId)
{
    const std::string folder = GetSpecialFolderPath(folderId);
    if (folder.empty())
        return;
    // FindFirstFileA filters by no attribute: hidden and system files are listed too.
    WIN32_FIND_DATAA entry;
    const platform::FindHandle search(FindFirstFileA((folder + "*.*").c_str(), &entry));
    if (!search)
        return;
    do {
        const std::string_view name = entry.cFileName;
        if (name == "." || name == ".." || (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        list.Add(folder + entry.cFileName);
    } while (FindNextFileA(search.Get(), &entry));
}
