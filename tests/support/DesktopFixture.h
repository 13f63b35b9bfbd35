#pragma once
// Tests on the real desktop folders of the test prefix: emptied before and after each test.

#include "Discovery.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <vector>

class DesktopTest : public testing::Test {
protected:
    void SetUp() override
    {
        // Only the prefix made by tools/wine-prefix has desktops that are real folders of its
        // own; anywhere else emptying them could delete a user's files.
        ASSERT_TRUE(testing_support::FileExists("C:\\reroror-test-prefix"))
            << "not the test prefix";
        user_ = GetSpecialFolderPath(CSIDL_DESKTOPDIRECTORY);
        common_ = GetSpecialFolderPath(CSIDL_COMMON_DESKTOPDIRECTORY);
        ASSERT_FALSE(user_.empty());
        ASSERT_FALSE(common_.empty());
        ASSERT_NE(user_, common_);
        Empty(user_);
        Empty(common_);
    }
    void TearDown() override
    {
        Empty(user_);
        Empty(common_);
    }

    static std::vector<std::string> Collect()
    {
        platform::TStringList list;
        CollectShortcutTargets(list);
        std::vector<std::string> items;
        for (int i = 0; i < list.Count(); ++i)
            items.push_back(list[i]);
        return items;
    }
    static std::vector<std::string> Listing(int folderId)
    {
        platform::TStringList list;
        ListFolderFiles(list, folderId);
        std::vector<std::string> items;
        for (int i = 0; i < list.Count(); ++i)
            items.push_back(list[i]);
        return items;
    }

    std::string user_;
    std::string common_;

private:
    // The desktop paths end in a separator.
    static void Empty(const std::string& folder)
    {
        testing_support::EmptyFolder(folder.substr(0, folder.size() - 1));
    }
};
