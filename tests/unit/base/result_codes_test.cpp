#include "result_code_printer.h"

#include "base/result_codes.h"

#include <gtest/gtest.h>

#include <type_traits>

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
        EXPECT_EQ(ResultCodeMessage(ResultCode(code)), message) << code;
}

// A code becomes a number, and a number a code, only when the code says so;
// an unsigned or wider number goes through a named conversion.
static_assert(!std::is_convertible_v<int32_t, ResultCode>);
static_assert(!std::is_convertible_v<ResultCode, int32_t>);
static_assert(!std::is_constructible_v<ResultCode, uint32_t>);
static_assert(!std::is_constructible_v<ResultCode, int64_t>);
static_assert(!std::is_constructible_v<ResultCode, bool>);
static_assert(std::is_constructible_v<ResultCode, int32_t>);

TEST(ResultCode, UnsignedCodesKeepTheirBitsAndPrintSigned)
{
    EXPECT_EQ(ResultCode::FromWindows(0x80004005u), ResultCode(INT32_MIN + 0x4005));
    EXPECT_EQ(ResultCodeDecimal(ResultCode::FromWindows(0xFFFFFFFFu)), L"-1");
    EXPECT_EQ(ResultCodeDecimal(result::NoConnection), L"2250");
}
