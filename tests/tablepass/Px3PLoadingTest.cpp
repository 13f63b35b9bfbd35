// px3p.dll's loading, in a process of its own, because a loaded library stays loaded: missing,
// lacking entry 2 or 3 (released again, tried again next time), then loaded once and kept.
#include "RegistryFixture.h"

using tablepass::LoadPx3P;
using tablepass::RegisterTablePassword;

TEST_F(RegistryTest, Px3PMissingOrIncompleteIsTriedAgainThenLoadedOnceAndKept)
{
    const testing_support::TempFolder empty;
    struct Step {
        const std::string& folder;
        Lines log;
    };
    // Each failed load is not remembered: the next registration with a table name loads again.
    for (const Step& step : {Step{empty.Path(), {}},
                             Step{Lacking2Folder, {"px3p lacking-2 loaded", "px3p lacking-2 released"}},
                             Step{Lacking3Folder, {"px3p lacking-3 loaded", "px3p lacking-3 released"}},
                             Step{empty.Path(), {}}}) {
        SCOPED_TRACE(step.folder);
        log_.Clear();
        SetDllDirectoryA(step.folder.c_str());
        EXPECT_EQ(ErrorOf([] { RegisterTablePassword("T", "pw"); }), "px3p unavailable");
        EXPECT_EQ(log_.Lines(), step.log);
        EXPECT_EQ(GetModuleHandleA("px3p.dll"), nullptr);
        EXPECT_FALSE(LoadPx3P());
    }
    EXPECT_EQ(Tables(), (std::vector<std::pair<std::string, int>>{{"", 0}, {"T", 0}}));

    log_.Clear();
    SetDllDirectoryA(RecorderFolder.c_str());
    RegisterTablePassword("T", "pw");
    EXPECT_EQ(log_.Lines(), (Lines{"px3p recorder loaded", "px3p \"T\"", "DbiInit",
                                   "DbiAddPassword pw", "px3p \"\""}));

    // Kept: with an incomplete library first in the search order now, registrations still
    // reach the loaded one.
    log_.Clear();
    SetDllDirectoryA(Lacking2Folder.c_str());
    EXPECT_TRUE(LoadPx3P());
    RegisterTablePassword("U", "pw");
    RegisterTablePassword("T", "other");
    EXPECT_EQ(log_.Lines(), (Lines{"px3p \"U\"", "DbiAddPassword pw", "px3p \"\"", "px3p \"T\"",
                                   "DbiAddPassword other", "px3p \"\""}));

    // Loaded once: one release of the one reference unloads it. This leaves the registry's
    // entry addresses dangling, so it comes last.
    log_.Clear();
    ASSERT_TRUE(FreeLibrary(GetModuleHandleA("px3p.dll")));
    EXPECT_EQ(log_.Lines(), (Lines{"px3p recorder released"}));
}
