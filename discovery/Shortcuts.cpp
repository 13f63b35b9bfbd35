#include "Discovery.h"

#include "AnsiText.h"
#include "Errors.h"
#include "Handles.h"

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

using platform::ComPtr;

namespace {

// No dialog may appear, and the search for a moved target gives up after 1 ms.
constexpr DWORD ResolveFlags = MAKELONG(SLR_NO_UI, 1);

template <typename Interface>
ComPtr<Interface> QueryInterfaceOrRaise(IUnknown* object, REFIID id)
{
    ComPtr<Interface> result;
    if (FAILED(object->QueryInterface(id, result.ReceiveVoid())))
        throw platform::EIntfCastError();
    return result;
}

}  // namespace

std::optional<std::string> ResolveShortcut(const std::string& path)
{
    ComPtr<IUnknown> object;
    platform::OleCheck(CoCreateInstance(CLSID_ShellLink, nullptr,
                                        CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IUnknown,
                                        object.ReceiveVoid()));
    const auto link = QueryInterfaceOrRaise<IShellLinkA>(object.Get(), IID_IShellLinkA);
    const auto file = QueryInterfaceOrRaise<IPersistFile>(object.Get(), IID_IPersistFile);

    // Read only; the link is never saved, so no shortcut file is ever changed.
    if (FAILED(file->Load(platform::AnsiToWide(path).c_str(), STGM_READ)))
        return std::nullopt;
    if (FAILED(link->Resolve(nullptr, ResolveFlags)))
        return std::nullopt;
    char target[MAX_PATH + 1] = {};
    WIN32_FIND_DATAA unused;
    // S_FALSE: the shortcut has no file-system path.
    if (link->GetPath(target, MAX_PATH, &unused, SLGP_UNCPRIORITY) != S_OK)
        return std::nullopt;
    return std::string(target);
}

void CollectShortcutTargets(platform::TStringList& targets)
{
    ListFolderFiles(targets, CSIDL_DESKTOPDIRECTORY);
    ListFolderFiles(targets, CSIDL_COMMON_DESKTOPDIRECTORY);
    // From the last file down: a target is kept at the place of the last file that leads to
    // it, and the find sees both the targets placed so far and the files not yet resolved.
    for (int position = targets.Count() - 1; position >= 0; --position) {
        const auto target = ResolveShortcut(targets[position]);
        if (target && targets.IndexOf(*target) < 0)
            targets.Put(position, *target);
        else
            targets.Delete(position);
    }
}
