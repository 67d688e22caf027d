#include "Exceptions.h"

#include <gtest/gtest.h>

TEST(InOutError, MessagesByNumber) {
    EXPECT_EQ(EInOutError(2).Message, "File not found");
    EXPECT_EQ(EInOutError(3).Message, "Invalid filename");
    EXPECT_EQ(EInOutError(5).Message, "File access denied");
    EXPECT_EQ(EInOutError(101).Message, "Disk full");
    EXPECT_EQ(EInOutError(32).Message, "I/O error 32");
    EXPECT_EQ(EInOutError(32).ErrorNumber, 32);
}
