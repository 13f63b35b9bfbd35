#include "Errors.h"
#include "StringList.h"

#include <gtest/gtest.h>

#include <windows.h>

using platform::TStringList;

namespace {

std::vector<std::string> Items(const TStringList& list)
{
    std::vector<std::string> items;
    for (int i = 0; i < list.Count(); ++i)
        items.push_back(list[i]);
    return items;
}

}  // namespace

TEST(StringList, AddPutDeleteKeepOrder)
{
    TStringList list;
    EXPECT_EQ(list.Add("a"), 0);
    EXPECT_EQ(list.Add("b", 7), 1);
    EXPECT_EQ(list.Add("c"), 2);
    list.Put(0, "A");
    list.Delete(1);
    EXPECT_EQ(Items(list), (std::vector<std::string>{"A", "c"}));
    EXPECT_EQ(list.Value(0), 0u);
    list.Delete(1);
    list.Delete(0);
    EXPECT_EQ(list.Count(), 0);
}

TEST(StringList, BadIndexIsAnErrorAndChangesNothing)
{
    TStringList list;
    list.Add("only");
    EXPECT_THROW(list[1], platform::Exception);
    EXPECT_THROW(list.Put(-1, "x"), platform::Exception);
    EXPECT_THROW(list.Delete(1), platform::Exception);
    EXPECT_EQ(Items(list), std::vector<std::string>{"only"});
}

TEST(StringList, FindByTextIgnoresCaseAndStopsAtTheFirst)
{
    TStringList list;
    list.Add("C:\\P\\Other.exe");
    list.Add("C:\\P\\QAVMN.EXE");
    list.Add("c:\\p\\qavmn.exe");
    EXPECT_EQ(list.IndexOf("C:\\p\\QavMn.Exe"), 1);
    EXPECT_EQ(list.IndexOf("C:\\P\\QAVMN"), -1);
    EXPECT_EQ(list.IndexOf(""), -1);
}

TEST(StringList, FindByValueStopsAtTheFirst)
{
    TStringList list;
    list.Add("a", 5);
    list.Add("b", 9);
    list.Add("c", 9);
    EXPECT_EQ(list.IndexOfValue(9), 1);
    EXPECT_EQ(list.IndexOfValue(4), -1);
}

TEST(DbcsStringList, FindComparesWholeCharacters)
{
    ASSERT_EQ(GetACP(), 932u);
    TStringList list;
    list.Add("C:\\表\\QAVMN.EXE");
    EXPECT_EQ(list.IndexOf("c:\\表\\qavmn.exe"), 0);
    EXPECT_EQ(list.IndexOf("C:\\ソ\\QAVMN.EXE"), -1);
}
