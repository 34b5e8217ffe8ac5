#include "base/result_codes.h"

#include <gtest/gtest.h>

TEST(ResultCodeMessage, TableAndFallback)
{
    const std::pair<int32_t, const char*> cases[] = {
        {0, "success"},
        {13, "invalid scenario"},
        {87, "invalid parameter"},
        {160, "bad arguments"},
        {323, "integrity check failed"},
        {740, "elevation required"},
        {1056, "session already in progress"},
        {1168, "no active scenario"},
        {1223, "cancelled"},
        {1460, "response timeout"},
        {1627, "command failed"},
        {2250, "no connection"},
        {5, "5"},
        {-1, "-1"},
        {-1056, "-1056"},
        {5023, "5023"},
        {INT32_MIN, "-2147483648"},
    };
    for (const auto& [code, message] : cases)
        EXPECT_EQ(ResultCodeMessage(code), message) << code;
}
