#include "json/json_path.h"

#include "json_test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct ValidityCase {
    const char* path;
    bool valid;
};

class PathValidityTest : public testing::TestWithParam<ValidityCase> {};

TEST_P(PathValidityTest, FollowsTheGrammar)
{
    EXPECT_EQ(IsValidPath(GetParam().path), GetParam().valid);
    // Invalid in both modes, and create mode then changes nothing.
    Json::Value document = Document(R"({"a":{"b":1}})");
    const std::string before = Text(document);
    if (!GetParam().valid) {
        EXPECT_EQ(FindPath(&document, GetParam().path, PathMode::Read), nullptr);
        EXPECT_EQ(FindPath(&document, GetParam().path, PathMode::Create), nullptr);
        EXPECT_EQ(Text(document), before);
    } else {
        Json::Value empty;
        EXPECT_NE(FindPath(&empty, GetParam().path, PathMode::Create), nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, PathValidityTest,
    testing::Values(ValidityCase{"a", true}, ValidityCase{"/a", true}, ValidityCase{"\\a", true},
                    ValidityCase{"a/b", true}, ValidityCase{"a\\b", true}, ValidityCase{"a/", true},
                    ValidityCase{"/", true}, ValidityCase{"\\", true}, ValidityCase{"a[0]", true},
                    ValidityCase{"a[]", true}, ValidityCase{"[0]", true}, ValidityCase{"a[-1]", true},
                    ValidityCase{"a[0]b", true}, ValidityCase{"a[0]/b", true}, ValidityCase{"a[0][1]", true},
                    ValidityCase{"a]", true}, ValidityCase{"a[1x]", true}, ValidityCase{"extraData/summary/total", true},
                    ValidityCase{"", false}, ValidityCase{"a//b", false}, ValidityCase{"//", false},
                    ValidityCase{"/\\", false}, ValidityCase{"a[1", false}, ValidityCase{"a[", false},
                    ValidityCase{"[-1]", false}, ValidityCase{"a/[-2]", false}, ValidityCase{"a[0]//b", false},
                    ValidityCase{"a\\\\", false}));

TEST(PathValidityTest, SegmentCountIsBounded)
{
    std::string path = "a";
    for (size_t i = 1; i < MaxPathSegments; ++i)
        path += "/a";
    EXPECT_TRUE(IsValidPath(path));
    EXPECT_FALSE(IsValidPath(path + "/a"));
    EXPECT_FALSE(IsValidPath(path + "[0]x"));
}

struct ReadCase {
    const char* document;
    const char* path;
    const char* found;  // compact text of the node, or null when not found
};

class ReadModeTest : public testing::TestWithParam<ReadCase> {};

TEST_P(ReadModeTest, FindsOnlyExistingNonNullNodes)
{
    Json::Value document = Document(GetParam().document);
    const std::string before = Text(document);
    const Json::Value* constant = FindPath(static_cast<const Json::Value*>(&document), GetParam().path);
    Json::Value* mutableNode = FindPath(&document, GetParam().path, PathMode::Read);
    EXPECT_EQ(constant, mutableNode);
    if (GetParam().found == nullptr) {
        EXPECT_EQ(constant, nullptr);
    } else {
        ASSERT_NE(constant, nullptr);
        EXPECT_EQ(Text(*constant), GetParam().found);
    }
    EXPECT_EQ(Text(document), before);
}

INSTANTIATE_TEST_SUITE_P(
    Documents, ReadModeTest,
    testing::Values(ReadCase{R"({"a":{"b":null}})", "a/b", nullptr}, ReadCase{R"({"a":{"b":0}})", "a/b", "0"},
                    ReadCase{R"({"a":[1,2]})", "a[2]", nullptr}, ReadCase{R"({"a":[1,2]})", "a[1]", "2"},
                    ReadCase{R"({"a":[1,2]})", "a[]", "1"}, ReadCase{R"({"a":[1,2]})", "a[-1]", "[1,2]"},
                    ReadCase{R"({"a":[1,2]})", "a/", "[1,2]"}, ReadCase{R"({"a":[1,2]})", "/a", "[1,2]"},
                    ReadCase{R"({"a":[1,2]})", "\\a", "[1,2]"}, ReadCase{R"({"a":1})", "/", R"({"a":1})"},
                    ReadCase{"null", "/", nullptr}, ReadCase{R"({"a":{"x":1,"y":2}})", "a[0]", nullptr},
                    ReadCase{R"({"a":[{"b":7}]})", "a[0]b", "7"}, ReadCase{R"({"a":[{"b":7}]})", "a[0]/b", "7"},
                    ReadCase{R"({"a":[[1,[2,3]]]})", "a[0][1][1]", "3"}, ReadCase{R"([5,6])", "[1]", "6"},
                    ReadCase{R"({"a":[1]})", "a/b", nullptr}, ReadCase{R"({"a":"text"})", "a/b", nullptr},
                    ReadCase{R"({"a":"text"})", "a[0]", nullptr}, ReadCase{R"({"a b":{"":1}})", "a b", R"({"":1})"},
                    ReadCase{R"({"a":[1,2]})", "a[99999999999]", nullptr},
                    ReadCase{R"({"a":[1,2]})", "a[ +1]", "2"}, ReadCase{R"({"a":[1,2]})", "a[1x]", "2"},
                    ReadCase{R"({"customScanTask":{"context":{"k":true}}})", "customScanTask\\context/k", "true"}));

TEST(ReadModeTest, MissingRootIsNotFound)
{
    EXPECT_EQ(FindPath(static_cast<const Json::Value*>(nullptr), "a"), nullptr);
    EXPECT_EQ(FindPath(nullptr, "a", PathMode::Create), nullptr);
    EXPECT_EQ(FindPath(nullptr, L"a"), nullptr);
}

struct CreateCase {
    const char* document;
    const char* path;
    const char* after;  // the whole document afterwards
};

class CreateModeTest : public testing::TestWithParam<CreateCase> {};

TEST_P(CreateModeTest, BuildsWhatIsMissing)
{
    Json::Value document = Document(GetParam().document);
    Json::Value* node = FindPath(&document, GetParam().path, PathMode::Create);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(Text(document), GetParam().after);
    // The node returned is the one a second walk reaches.
    EXPECT_EQ(FindPath(&document, GetParam().path, PathMode::Create), node);
    EXPECT_EQ(Text(document), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(
    Documents, CreateModeTest,
    testing::Values(CreateCase{R"({"a":[1,2]})", "a[2]", R"({"a":[1,2,null]})"},
                    CreateCase{R"({"a":[1,2]})", "a[4]", R"({"a":[1,2,null,null,null]})"},
                    CreateCase{R"({"a":5})", "a/b", R"({"a":{"b":null}})"},
                    CreateCase{R"({"a":[1]})", "a/b", R"({"a":{"b":null}})"},
                    CreateCase{R"({})", "x/y/z", R"({"x":{"y":{"z":null}}})"},
                    CreateCase{R"(null)", "a[1]", R"({"a":[null,null]})"},
                    CreateCase{R"({"a":{"b":null}})", "a/b", R"({"a":{"b":null}})"},
                    CreateCase{R"({"a":{"b":3}})", "a/b", R"({"a":{"b":3}})"},
                    CreateCase{R"({"a":1})", "/", R"({"a":1})"},
                    CreateCase{R"("text")", "k", R"({"k":null})"},
                    CreateCase{R"({"a":null})", "a[0]b", R"({"a":[{"b":null}]})"},
                    CreateCase{R"({})", "a[-1]", R"({"a":null})"}));

TEST(CreateModeTest, IndexIntoANonArrayFailsAndKeepsTheNode)
{
    for (const char* text : {R"({"a":{"x":1}})", R"({"a":"s"})", R"({"a":4})", R"({"a":true})"}) {
        Json::Value document = Document(text);
        EXPECT_EQ(FindPath(&document, "a[0]", PathMode::Create), nullptr) << text;
        EXPECT_EQ(Text(document), text);
    }
}

TEST(CreateModeTest, WidePathCreates)
{
    Json::Value document(Json::objectValue);
    Json::Value* node = FindPath(&document, std::wstring_view(L"stra\u00dfe/x[1]"));
    ASSERT_NE(node, nullptr);
    *node = 3;
    EXPECT_EQ(Text(document), "{\"stra\\u00dfe\":{\"x\":[null,3]}}");
    EXPECT_EQ(FindPath(&document, std::wstring_view(L"a//b")), nullptr);
    EXPECT_EQ(FindPath(&document, std::wstring_view(L"")), nullptr);
}

}  // namespace
