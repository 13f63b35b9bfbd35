#include "List.h"

#include "Errors.h"

#include <gtest/gtest.h>

using platform::TList;

TEST(List, AddsAtTheEndFindsAndDeletes)
{
    int a = 0, b = 0, c = 0;
    TList list;
    EXPECT_EQ(list.Add(&a), 0);
    EXPECT_EQ(list.Add(&b), 1);
    EXPECT_EQ(list.Add(&c), 2);
    EXPECT_EQ(list.Add(&a), 3);
    EXPECT_EQ(list.IndexOf(&a), 0);
    EXPECT_EQ(list.IndexOf(&c), 2);
    EXPECT_EQ(list.IndexOf(nullptr), -1);
    list.Delete(1);
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Items(1), &c);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
}

TEST(List, IndexOutOfRangeRaises)
{
    int a = 0;
    TList list;
    list.Add(&a);
    for (int index : {-1, 1, 100}) {
        EXPECT_THROW(list.Items(index), platform::Exception) << index;
        EXPECT_THROW(list.Delete(index), platform::Exception) << index;
    }
    EXPECT_EQ(list.Count(), 1);
}
