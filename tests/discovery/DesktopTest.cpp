#include "DesktopFixture.h"

#include <algorithm>

using testing_support::FileExists;
using testing_support::MakeFolder;
using testing_support::ReadBytes;
using testing_support::TempFolder;
using testing_support::WriteBytes;
using testing_support::WriteShortcut;

namespace {

std::vector<std::string> Sorted(std::vector<std::string> items)
{
    std::sort(items.begin(), items.end());
    return items;
}

std::size_t PositionOf(const std::vector<std::string>& items, const std::string& item)
{
    return static_cast<std::size_t>(std::find(items.begin(), items.end(), item) - items.begin());
}

}  // namespace

TEST_F(DesktopTest, SpecialFolderPathsEndInOneSeparator)
{
    for (const auto& path : {user_, common_}) {
        ASSERT_GE(path.size(), 4u);
        EXPECT_EQ(path.back(), '\\') << path;
        EXPECT_NE(path[path.size() - 2], '\\') << path;
        EXPECT_TRUE(FileExists(path)) << path;
    }
    // No file-system path (My Computer), and an id the system does not know.
    EXPECT_EQ(GetSpecialFolderPath(CSIDL_DRIVES), "");
    EXPECT_EQ(GetSpecialFolderPath(0x7F), "");
}

TEST_F(DesktopTest, ListingTakesEveryFileAndNoFolder)
{
    WriteBytes(user_ + "plain.txt", "x");
    WriteBytes(user_ + "hidden.lnk", "x");
    SetFileAttributesA((user_ + "hidden.lnk").c_str(), FILE_ATTRIBUTE_HIDDEN);
    WriteBytes(user_ + "system.dat", "x");
    SetFileAttributesA((user_ + "system.dat").c_str(), FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY);
    WriteBytes(user_ + "noextension", "x");
    MakeFolder(user_ + "folder.lnk");
    WriteBytes(common_ + "common.txt", "x");

    EXPECT_EQ(Sorted(Listing(CSIDL_DESKTOPDIRECTORY)),
              Sorted({user_ + "plain.txt", user_ + "hidden.lnk", user_ + "system.dat",
                      user_ + "noextension"}));
    EXPECT_EQ(Listing(CSIDL_COMMON_DESKTOPDIRECTORY), std::vector<std::string>{common_ + "common.txt"});

    // Appends to what the list holds.
    platform::TStringList list;
    list.Add("first");
    ListFolderFiles(list, CSIDL_COMMON_DESKTOPDIRECTORY);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list[0], "first");
}

TEST_F(DesktopTest, EmptyDesktopsGiveNoTargets)
{
    EXPECT_TRUE(Listing(CSIDL_DESKTOPDIRECTORY).empty());
    EXPECT_TRUE(Collect().empty());
}

TEST_F(DesktopTest, MissingDesktopContributesNothing)
{
    TempFolder programs;
    WriteBytes(programs / "QAVMN.EXE", "MZ");
    WriteShortcut(common_ + "qav.lnk", programs / "QAVMN.EXE");
    const std::string aside = user_.substr(0, user_.size() - 1) + ".aside";
    ASSERT_TRUE(MoveFileA(user_.c_str(), aside.c_str())) << GetLastError();
    const auto listing = Listing(CSIDL_DESKTOPDIRECTORY);
    const auto targets = Collect();
    RemoveDirectoryA(user_.c_str());
    ASSERT_TRUE(MoveFileA(aside.c_str(), user_.c_str())) << GetLastError();
    EXPECT_TRUE(listing.empty());
    EXPECT_EQ(targets, std::vector<std::string>{programs / "QAVMN.EXE"});
}

TEST_F(DesktopTest, OnlyResolvableShortcutsLeaveTargets)
{
    TempFolder programs;
    WriteBytes(programs / "QAVMN.EXE", "MZ");
    MakeFolder(programs / "Folder");
    WriteShortcut(user_ + "program.lnk", programs / "QAVMN.EXE");
    WriteShortcut(common_ + "folder.lnk", programs / "Folder");
    WriteBytes(user_ + "notes.txt", "not a shortcut");
    WriteBytes(user_ + "broken.lnk", "not a shortcut either");
    WriteBytes(user_ + "empty.lnk", "");
    WriteBytes(common_ + "hidden.ini", "[x]");
    SetFileAttributesA((common_ + "hidden.ini").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    MakeFolder(user_ + "subfolder");
    WriteShortcut(user_ + "subfolder\\inside.lnk", programs / "QAVMN.EXE");

    // The user's desktop comes before the all-users desktop.
    EXPECT_EQ(Collect(), (std::vector<std::string>{programs / "QAVMN.EXE", programs / "Folder"}));
}

TEST_F(DesktopTest, DuplicateTargetsKeepTheLastShortcutInItsOwnCase)
{
    TempFolder programs;
    WriteBytes(programs / "QAVMN.EXE", "MZ");
    const std::string upper = programs / "QAVMN.EXE";
    std::string lower = upper;
    CharLowerBuffA(lower.data(), static_cast<DWORD>(lower.size()));
    WriteShortcut(user_ + "a.lnk", upper);
    WriteShortcut(user_ + "b.lnk", lower);

    const auto listing = Listing(CSIDL_DESKTOPDIRECTORY);
    const bool bIsLater = PositionOf(listing, user_ + "b.lnk") > PositionOf(listing, user_ + "a.lnk");
    EXPECT_EQ(Collect(), std::vector<std::string>{bIsLater ? lower : upper});

    // Across the desktops, the all-users desktop's shortcut is the later one.
    std::string mixed = upper;
    mixed.back() = 'e';
    WriteShortcut(common_ + "c.lnk", mixed);
    EXPECT_EQ(Collect(), std::vector<std::string>{mixed});
}

TEST_F(DesktopTest, TargetThatIsAnEarlierDesktopFileIsDropped)
{
    // The program lies on the user's desktop, its shortcut on the all-users desktop: the
    // target is found among the files not yet resolved, and the program is no shortcut.
    WriteBytes(user_ + "QAVMN.EXE", "MZ");
    WriteShortcut(common_ + "qav.lnk", user_ + "QAVMN.EXE");
    EXPECT_TRUE(Collect().empty());
}

TEST_F(DesktopTest, TargetThatIsALaterDesktopFileRemains)
{
    WriteBytes(common_ + "QAVMN.EXE", "MZ");
    WriteShortcut(user_ + "qav.lnk", common_ + "QAVMN.EXE");
    EXPECT_EQ(Collect(), std::vector<std::string>{common_ + "QAVMN.EXE"});
}

TEST_F(DesktopTest, ShortcutFilesAreNeverChanged)
{
    TempFolder programs;
    WriteBytes(programs / "QAVSV.EXE", "MZ");
    WriteShortcut(user_ + "sv.lnk", programs / "QAVSV.EXE");
    // A shortcut whose target has gone: resolving may search, but must not rewrite the file.
    WriteBytes(programs / "gone.exe", "MZ");
    WriteShortcut(common_ + "gone.lnk", programs / "gone.exe");
    DeleteFileA((programs / "gone.exe").c_str());

    auto stamp = [](const std::string& path) {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
        return (static_cast<unsigned long long>(data.ftLastWriteTime.dwHighDateTime) << 32) |
               data.ftLastWriteTime.dwLowDateTime;
    };
    const std::string userBefore = ReadBytes(user_ + "sv.lnk");
    const std::string commonBefore = ReadBytes(common_ + "gone.lnk");
    const auto userStamp = stamp(user_ + "sv.lnk");
    const auto commonStamp = stamp(common_ + "gone.lnk");
    Sleep(20);
    Collect();
    EXPECT_EQ(ReadBytes(user_ + "sv.lnk"), userBefore);
    EXPECT_EQ(ReadBytes(common_ + "gone.lnk"), commonBefore);
    EXPECT_EQ(stamp(user_ + "sv.lnk"), userStamp);
    EXPECT_EQ(stamp(common_ + "gone.lnk"), commonStamp);
}
