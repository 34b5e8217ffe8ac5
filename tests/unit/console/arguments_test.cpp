#include "console/arguments.h"

#include <gtest/gtest.h>

namespace {

struct ArgumentCase {
    const char* token;
    const char* name;
    const char* value;  // value after parsing, starting from "(unset)"
};

class ParseArgumentTest : public testing::TestWithParam<ArgumentCase> {};

TEST_P(ParseArgumentTest, SplitsNameAndValue)
{
    std::string name, value = "(unset)";
    ParseArgument(std::string(GetParam().token), name, value);
    EXPECT_EQ(name, GetParam().name);
    EXPECT_EQ(value, GetParam().value);

    std::wstring wideName, wideValue = L"(unset)";
    const std::string token = GetParam().token;
    ParseArgument(std::wstring(token.begin(), token.end()), wideName, wideValue);
    EXPECT_EQ(wideName, std::wstring(name.begin(), name.end()));
    EXPECT_EQ(wideValue, std::wstring(value.begin(), value.end()));
}

INSTANTIATE_TEST_SUITE_P(
    Tokens, ParseArgumentTest,
    testing::Values(ArgumentCase{"--path=C:\\a=b", "path", "C:\\a=b"},
                    ArgumentCase{"-v", "v", "(unset)"},
                    ArgumentCase{"/=x", "", "x"},
                    ArgumentCase{"---x", "-x", "(unset)"},
                    ArgumentCase{"//x=1", "/x", "1"},
                    ArgumentCase{"name=", "name", ""},
                    ArgumentCase{"name=\"b c\"", "name", "\"b c\""},
                    ArgumentCase{"", "", "(unset)"},
                    ArgumentCase{"-", "", "(unset)"},
                    ArgumentCase{"a-b=c", "a-b", "c"}));

TEST(ParseArguments, KeepsEveryValueInOrder)
{
    const ArgumentMap map = ParseArguments(std::vector<std::string>{"a=1", "b", "a=2", "A=3"});
    ASSERT_EQ(map.size(), 3u);
    EXPECT_EQ(map.at("a"), (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(map.at("b"), (std::vector<std::string>{""}));
    EXPECT_EQ(map.at("A"), (std::vector<std::string>{"3"}));  // names are case-sensitive
    EXPECT_TRUE(HasParam(map, std::string("b")));
    EXPECT_EQ(GetParam(map, std::string("a")), "1");
    EXPECT_EQ(GetParam(map, std::string("missing")), "");
    EXPECT_TRUE(GetParamValues(map, std::string("missing")).empty());
}

TEST(ParseArguments, WideVariantFollowsTheSameRules)
{
    const WideArgumentMap map = ParseArguments(std::vector<std::wstring>{L"--path=C:\\x", L"/path=D:\\y", L"csv"});
    EXPECT_EQ(map.at(L"path"), (std::vector<std::wstring>{L"C:\\x", L"D:\\y"}));
    EXPECT_EQ(map.at(L"csv"), (std::vector<std::wstring>{L""}));
}

TEST(StripQuotes, RemovesEveryDoubleQuote)
{
    EXPECT_EQ(StripQuotes(std::string("\"C:\\a \"b\"\"")), "C:\\a b");
    EXPECT_EQ(StripQuotes(std::wstring(L"\"\"")), L"");
}

}  // namespace
