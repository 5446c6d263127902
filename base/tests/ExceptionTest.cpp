#include "base/Exception.h"

#include <gtest/gtest.h>

using quorvel::Exception;

TEST(Exception, MessageCanBeReworded) {
    try {
        throw Exception("Cannot convert");
    } catch (Exception& e) {
        EXPECT_EQ(e.Message(), "Cannot convert");
        e.SetMessage("Field X: " + e.Message());
        EXPECT_STREQ(e.what(), "Field X: Cannot convert");
    }
}
