#include "base/text_conversion.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(TextConversionTest, RoundTripsAcrossPlanes)
{
    const std::wstring wide = L"a\u00e9\u4e2d\U0001F600";
    const std::string utf8 = "a\xc3\xa9\xe4\xb8\xad\xf0\x9f\x98\x80";
    EXPECT_EQ(WideToUtf8(wide), utf8);
    EXPECT_EQ(Utf8ToWide(utf8), wide);
    EXPECT_EQ(Utf8ToWideStrict(utf8), wide);
}

TEST(TextConversionTest, InvalidInputGivesReplacementOrNothing)
{
    const struct {
        std::string utf8;
        std::wstring lenient;
    } cases[] = {{"a\xff" "b", L"a\uFFFDb"}, {"\xc3", L"\uFFFD"}};
    for (const auto& c : cases) {
        EXPECT_EQ(Utf8ToWide(c.utf8), c.lenient);
        EXPECT_EQ(Utf8ToWideStrict(c.utf8), L"");
    }
    EXPECT_EQ(Utf8ToWide(""), L"");
    EXPECT_EQ(WideToUtf8(L""), "");
}

}  // namespace
