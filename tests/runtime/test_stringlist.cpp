#include "Exceptions.h"
#include "StringList.h"

#include <gtest/gtest.h>

namespace {

void ExpectOutOfBounds(const TStringList& list, int index) {
    try {
        list.Get(index);
        ADD_FAILURE() << "no error for " << index;
    } catch (const EStringListError& e) {
        EXPECT_EQ(e.Message, "List index out of bounds (" + std::to_string(index) + ")");
    }
}

// Cleared entries must not shine through, and their storage is used again.
TEST(StringList, AddGetClear) {
    TStringList list;
    list.Add(std::string(200, 'a'));
    list.Add("");
    list.Add("1.25");
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Get(1), "");
    EXPECT_EQ(list.Get(2), "1.25");
    for (const int bad : {3, -1})
        ExpectOutOfBounds(list, bad);
    const char* storage = list.Get(0).data();
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    ExpectOutOfBounds(list, 0);
    list.Add("c");
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Get(0), "c");
    EXPECT_EQ(list.Get(0).data(), storage);
    ExpectOutOfBounds(list, 1);
}

TEST(TrimText, StripsCodesUpTo32AtBothEnds) {
    EXPECT_EQ(TrimText(" \t495.5 , 1.2\r\n"), "495.5 , 1.2");
    EXPECT_EQ(TrimText(std::string("\0\x1f"
                                   "a b\x20\x01",
                                   7)),
              "a b");
    EXPECT_EQ(TrimText(" \t\r\n"), "");
    EXPECT_EQ(TrimText(""), "");
    EXPECT_EQ(TrimText("!水位\xA0"), "!水位\xA0"); // 33 and high bytes stay
    const std::string line = "  kept  ";
    EXPECT_EQ(TrimText(line).data(), line.data() + 2); // a view into the argument
}

} // namespace
