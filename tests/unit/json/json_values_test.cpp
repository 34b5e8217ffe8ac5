#include "json/json_values.h"

#include "json_test_support.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

// One getter case: the document holds the node under "v"; `accepted` tells
// whether the getter takes it and `expected` is the compact text of what it
// delivers (the reset value when refused).
struct GetterCase {
    const char* node;
    bool accepted;
    std::string expected;
};

std::string NodeDocument(const GetterCase& c) { return std::string(R"({"v":)") + c.node + "}"; }

class Int32GetterTest : public testing::TestWithParam<GetterCase> {};
TEST_P(Int32GetterTest, AcceptsIntThenUInt)
{
    int32_t out = 99;
    EXPECT_EQ(GetInt32(out, Document(NodeDocument(GetParam())), "v"), GetParam().accepted);
    EXPECT_EQ(std::to_string(out), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(Nodes, Int32GetterTest,
                         testing::Values(GetterCase{"5", true, "5"}, GetterCase{"-1", true, "-1"},
                                         GetterCase{"4294967295", true, "-1"},
                                         GetterCase{"2147483648", true, "-2147483648"},
                                         GetterCase{"-2147483648", true, "-2147483648"},
                                         GetterCase{"5.0", true, "5"}, GetterCase{"5.5", false, "0"},
                                         GetterCase{"4294967296", false, "0"}, GetterCase{"-2147483649", false, "0"},
                                         GetterCase{R"("7")", false, "0"}, GetterCase{"true", false, "0"},
                                         GetterCase{"null", false, "0"}, GetterCase{"[1]", false, "0"},
                                         GetterCase{R"({"a":1})", false, "0"}));

class BoolGetterTest : public testing::TestWithParam<GetterCase> {};
TEST_P(BoolGetterTest, AcceptsBoolThenNumbers)
{
    bool out = true;
    EXPECT_EQ(GetBool(out, Document(NodeDocument(GetParam())), "v"), GetParam().accepted);
    EXPECT_EQ(out ? "true" : "false", GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(Nodes, BoolGetterTest,
                         testing::Values(GetterCase{"true", true, "true"}, GetterCase{"false", true, "false"},
                                         GetterCase{"2", true, "true"}, GetterCase{"0", true, "false"},
                                         GetterCase{"-1", true, "true"}, GetterCase{"4294967295", true, "true"},
                                         GetterCase{"4294967296", false, "false"}, GetterCase{"1.5", false, "false"},
                                         GetterCase{R"("true")", false, "false"}, GetterCase{"null", false, "false"}));

class UInt64GetterTest : public testing::TestWithParam<GetterCase> {};
TEST_P(UInt64GetterTest, AcceptsUnsigned64Only)
{
    uint64_t out = 99;
    EXPECT_EQ(GetUInt64(out, Document(NodeDocument(GetParam())), "v"), GetParam().accepted);
    EXPECT_EQ(std::to_string(out), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(Nodes, UInt64GetterTest,
                         testing::Values(GetterCase{"0", true, "0"},
                                         GetterCase{"18446744073709551615", true, "18446744073709551615"},
                                         GetterCase{"-1", false, "0"}, GetterCase{R"("5")", false, "0"},
                                         GetterCase{"true", false, "0"}, GetterCase{"1e30", false, "0"}));

class Int64GetterTest : public testing::TestWithParam<GetterCase> {};
TEST_P(Int64GetterTest, AcceptsSignedThenUnsigned64)
{
    int64_t out = 99;
    EXPECT_EQ(GetInt64(out, Document(NodeDocument(GetParam())), "v"), GetParam().accepted);
    EXPECT_EQ(std::to_string(out), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(Nodes, Int64GetterTest,
                         testing::Values(GetterCase{"-9223372036854775808", true, "-9223372036854775808"},
                                         GetterCase{"18446744073709551615", true, "-1"},
                                         GetterCase{"4294967296", true, "4294967296"}, GetterCase{"-1", true, "-1"},
                                         GetterCase{R"("1")", false, "0"}, GetterCase{"false", false, "0"}));

class StringGetterTest : public testing::TestWithParam<GetterCase> {};
TEST_P(StringGetterTest, AcceptsStringThenIntegersAsDecimalText)
{
    const Json::Value document = Document(NodeDocument(GetParam()));
    std::string out = "stale";
    EXPECT_EQ(GetUtf8String(out, document, "v"), GetParam().accepted);
    EXPECT_EQ(out, GetParam().expected);

    cv::StringA narrow("stale");
    EXPECT_EQ(GetUtf8String(narrow, document, "v"), GetParam().accepted);
    EXPECT_EQ(narrow, std::string_view(GetParam().expected));
}
INSTANTIATE_TEST_SUITE_P(Nodes, StringGetterTest,
                         testing::Values(GetterCase{R"("abc")", true, "abc"}, GetterCase{R"("")", true, ""},
                                         GetterCase{"7", true, "7"}, GetterCase{"-7", true, "-7"},
                                         GetterCase{"3000000000", true, "3000000000"},
                                         GetterCase{"-2147483648", true, "-2147483648"},
                                         GetterCase{"4294967295", true, "4294967295"},
                                         GetterCase{R"("a\u0000b")", true, std::string("a\0b", 3)},
                                         GetterCase{R"("\u00e9")", true, "\xc3\xa9"},
                                         GetterCase{"5000000000", false, ""}, GetterCase{"true", false, ""},
                                         GetterCase{"1.5", false, ""}, GetterCase{"null", false, ""},
                                         GetterCase{"[]", false, ""}));

TEST(WideStringGetterTest, ConvertsToUtf16)
{
    const Json::Value document =
        Document("{\"s\":\"stra\xc3\x9f" "e \xf0\x9f\x98\x80\",\"n\":3000000000,\"bad\":\"a\xff" "b\",\"b\":false}");
    const struct {
        const char* path;
        bool accepted;
        std::wstring expected;
    } cases[] = {{"s", true, L"stra\u00dfe \U0001F600"},
                 {"n", true, L"3000000000"},
                 {"bad", true, L"a\uFFFDb"},
                 {"b", false, L""},
                 {"missing", false, L""}};
    for (const auto& c : cases) {
        std::wstring out = L"stale";
        EXPECT_EQ(GetWideString(out, document, c.path), c.accepted) << c.path;
        EXPECT_EQ(out, c.expected) << c.path;
        cv::StringW wide(L"stale");
        EXPECT_EQ(GetWideString(wide, document, c.path), c.accepted) << c.path;
        EXPECT_EQ(wide, c.expected) << c.path;
    }
}

TEST(GetterTest, PathsReachNestedNodes)
{
    const Json::Value document =
        Document(R"({"extraData":{"summary":{"total":12}},"tasks":[{"id":"t0"},{"id":"t1"}]})");
    int32_t total = 0;
    EXPECT_TRUE(GetInt32(total, document, "extraData/summary/total"));
    EXPECT_EQ(total, 12);
    std::string id;
    EXPECT_TRUE(GetUtf8String(id, document, "tasks[1]id"));
    EXPECT_EQ(id, "t1");
    EXPECT_FALSE(GetUtf8String(id, document, "tasks[2]id"));
    EXPECT_FALSE(GetUtf8String(id, document, "tasks[1"));
}

TEST(SetterTest, ReplaceNodesAndCreatePaths)
{
    Json::Value document = Document(R"({"a":{"b":[1,2]},"keep":1})");
    EXPECT_TRUE(SetUtf8String(document, "taskId", "t-1"));
    EXPECT_TRUE(SetWideString(document, "a/b", L"stra\u00dfe"));
    EXPECT_TRUE(SetBool(document, "flags/on", true));
    EXPECT_TRUE(SetInt32(document, "n[1]", INT_MIN));
    EXPECT_TRUE(SetUInt64(document, "big", UINT64_MAX));
    EXPECT_TRUE(SetInt64(document, "small", INT64_MIN));
    EXPECT_TRUE(SetUtf8String(document, "nul", std::string_view("x\0y", 3)));
    EXPECT_EQ(Text(document), "{\"a\":{\"b\":\"stra\\u00dfe\"},\"big\":18446744073709551615,"
                              "\"flags\":{\"on\":true},\"keep\":1,\"n\":[null,-2147483648],"
                              "\"nul\":\"x\\u0000y\",\"small\":-9223372036854775808,\"taskId\":\"t-1\"}");
}

TEST(SetterTest, InvalidPathFailsAndChangesNothing)
{
    Json::Value document = Document(R"({"a":{"x":1}})");
    EXPECT_FALSE(SetUtf8String(document, "a//b", "x"));
    EXPECT_FALSE(SetBool(document, "", true));
    EXPECT_FALSE(SetInt32(document, "a[0]", 1));  // an object cannot be indexed
    EXPECT_FALSE(SetValue(document, "a[", Json::Value(1)));
    EXPECT_EQ(Text(document), R"({"a":{"x":1}})");
}

TEST(SetterTest, ValueIsADeepCopyEvenFromInsideTheDocument)
{
    Json::Value source = Document(R"({"list":[1,{"k":"v"}]})");
    Json::Value document(Json::objectValue);
    EXPECT_TRUE(SetValue(document, "input", source));
    source["list"][1]["k"] = "changed";
    EXPECT_EQ(Text(document), R"({"input":{"list":[1,{"k":"v"}]}})");

    // The source is the very node being replaced, then its own parent.
    EXPECT_TRUE(SetValue(document, "input", document["input"]));
    EXPECT_TRUE(SetValue(document, "input/list[1]/k", document["input"]["list"]));
    EXPECT_EQ(Text(document), R"({"input":{"list":[1,{"k":[1,{"k":"v"}]}]}})");
    EXPECT_TRUE(SetValue(document["input"], "list", document));
    EXPECT_EQ(Text(document), R"({"input":{"list":{"input":{"list":[1,{"k":[1,{"k":"v"}]}]}}}})");
    EXPECT_TRUE(SetUtf8String(document, "/", document["input"]["list"]["input"]["list"][1]["k"][1]["k"].asString()));
    EXPECT_EQ(Text(document), R"("v")");
}

TEST(FormatStringTest, FormatsWithoutALengthLimit)
{
    EXPECT_EQ(FormatString("%s[%i]", "scenarios", 12), "scenarios[12]");
    EXPECT_EQ(FormatString("%llu/%lld", 18446744073709551615ull, -1ll), "18446744073709551615/-1");
    const std::string longText(100000, 'x');
    EXPECT_EQ(FormatString("<%s>", longText.c_str()), "<" + longText + ">");
    const cv::StringA formatted = FormatCvString("%05d", 42);
    EXPECT_EQ(formatted, "00042");
    EXPECT_EQ(formatted.capacity(), 64u);
    EXPECT_EQ(FormatCvString("%s", longText.c_str()).length(), longText.size());
    EXPECT_EQ(FormatString("%s", ""), "");
}

}  // namespace
