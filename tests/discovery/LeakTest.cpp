// Each operation is run many times; neither the process's handles nor its private memory may
// grow with the count, on the success and on the failure paths.
#include "DesktopFixture.h"

#include <functional>

using testing_support::TempFolder;
using testing_support::WriteBytes;
using testing_support::WriteShortcut;

namespace {

struct Usage {
    DWORD handles;
    SIZE_T privateBytes;
};

// Bytes in use in all of the process's heaps: COM objects, item-id lists and our texts all
// live there.
SIZE_T HeapBytesInUse()
{
    HANDLE heaps[256];
    const DWORD count = GetProcessHeaps(256, heaps);
    SIZE_T total = 0;
    for (DWORD i = 0; i < count && i < 256; ++i) {
        PROCESS_HEAP_ENTRY entry{};
        HeapLock(heaps[i]);
        while (HeapWalk(heaps[i], &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY)
                total += entry.cbData;
        HeapUnlock(heaps[i]);
    }
    return total;
}

Usage CurrentUsage()
{
    Usage usage{};
    // Wine counts no handles, but it gives out the lowest free handle value: leaked handles
    // push the next one up.
    HANDLE probe = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    usage.handles = static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(probe));
    CloseHandle(probe);
    usage.privateBytes = HeapBytesInUse();
    return usage;
}

void ExpectNoGrowth(const char* what, const std::function<void()>& operation)
{
    for (int i = 0; i < 100; ++i)
        operation();
    const Usage before = CurrentUsage();
    ASSERT_GT(before.privateBytes, 0u) << "no memory figures";
    for (int i = 0; i < 1000; ++i)
        operation();
    const Usage after = CurrentUsage();
    EXPECT_LE(after.handles, before.handles) << what;
    // A shell-link object or an item-id list leaked per call would be 100 KB and more here.
    EXPECT_LT(after.privateBytes, before.privateBytes + 48 * 1024) << what;
}

}  // namespace

TEST_F(DesktopTest, NothingLeaksOnAnyPath)
{
    TempFolder folder;
    WriteBytes(folder / "QAVMN.EXE", "MZ");
    WriteShortcut(user_ + "a.lnk", folder / "QAVMN.EXE");
    WriteBytes(user_ + "junk.lnk", "junk");
    ExpectNoGrowth("GetSpecialFolderPath", [] { GetSpecialFolderPath(CSIDL_DESKTOPDIRECTORY); });
    ExpectNoGrowth("no path", [] { GetSpecialFolderPath(CSIDL_DRIVES); });
    ExpectNoGrowth("ResolveShortcut", [&] { ResolveShortcut(user_ + "a.lnk"); });
    ExpectNoGrowth("no shortcut", [&] { ResolveShortcut(user_ + "junk.lnk"); });
    ExpectNoGrowth("CollectShortcutTargets", [] {
        platform::TStringList list;
        CollectShortcutTargets(list);
    });
}
