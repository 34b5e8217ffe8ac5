#include "json/json_composed_serializer.h"
#include "json/json_document.h"
#include "json/json_path.h"
#include "json/json_values.h"

#include "json_test_support.h"

#include <gtest/gtest.h>
#include <json/writer.h>
#include <windows.h>

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

struct Scenario {
    cv::StringW id;
    cv::StringA displayName;
    std::vector<int64_t> counts;
};

}  // namespace

template <>
struct JsonRecord<Scenario> {
    static constexpr RecordField<Scenario> fields[] = {
        JsonField<&Scenario::id>("id"),
        JsonOptionalField<&Scenario::displayName>("displayName"),
        JsonOptionalField<&Scenario::counts>("counts"),
    };
};

namespace {

std::string Nested(size_t depth, const char* open, const char* inner, const char* close)
{
    std::string text;
    for (size_t i = 0; i < depth; ++i)
        text += open;
    text += inner;
    for (size_t i = 0; i < depth; ++i)
        text += close;
    return text;
}

// Bytes of stack below this frame that `work` wrote to: the region is
// painted first, top down so that the system commits it page by page.
__attribute__((noinline)) size_t StackUsedBy(const std::function<void()>& work)
{
    constexpr size_t Budget = 768 * 1024;
    constexpr unsigned char Paint = 0xA5;
    ULONG_PTR low = 0;
    ULONG_PTR high = 0;
    GetCurrentThreadStackLimits(&low, &high);
    volatile unsigned char anchor = 0;
    const uintptr_t top = reinterpret_cast<uintptr_t>(&anchor) - 4096;
    const uintptr_t bottom = top - Budget > low + 65536 ? top - Budget : low + 65536;
    for (uintptr_t at = top; at > bottom; --at)
        *reinterpret_cast<volatile unsigned char*>(at) = Paint;
    work();
    uintptr_t at = bottom + 1;
    while (at < top && *reinterpret_cast<volatile unsigned char*>(at) == Paint)
        ++at;
    return static_cast<size_t>(top - at) + 4096;
}

TEST(DeepDocumentTest, NestingIsBoundedAndFailsCleanly)
{
    Json::Value document;
    for (const auto& shape : {std::vector<const char*>{"[", "1", "]"}, std::vector<const char*>{"{\"a\":", "1", "}"}}) {
        EXPECT_TRUE(ParseJsonDocument(Nested(MaxJsonNesting, shape[0], shape[1], shape[2]), document));
        EXPECT_FALSE(ParseJsonDocument(Nested(MaxJsonNesting + 1, shape[0], shape[1], shape[2]), document));
        EXPECT_TRUE(document.isNull());
        EXPECT_FALSE(ParseJsonDocument(Nested(200000, shape[0], "", ""), document));
        EXPECT_FALSE(ParseJsonDocument(Nested(200000, shape[0], shape[1], shape[2]), document));
    }
}

TEST(DeepDocumentTest, DeepestDocumentFitsInHalfAThreadStack)
{
    // A default thread stack is 1 MB; parsing, writing, copying and freeing
    // the deepest accepted document must leave most of it.
    for (const char* open : {"[", "{\"a\":"}) {
        const std::string text = Nested(MaxJsonNesting, open, "1", open[0] == '[' ? "]" : "}");
        Json::Value document;
        const size_t parse = StackUsedBy([&] { ASSERT_TRUE(ParseJsonDocument(text, document)); });
        const size_t rest = StackUsedBy([&] {
            Json::StyledWriter writer;
            EXPECT_EQ(writer.write(document).size() > text.size(), true);
            Json::Value copy(document);
            int32_t value = 0;
            EXPECT_FALSE(GetInt32(value, copy, "a/a/a"));
        });
        const size_t rejected = StackUsedBy([&] { EXPECT_FALSE(ParseJsonDocument(Nested(100000, open, "", ""), document)); });
        EXPECT_LT(parse, 512u * 1024) << open;
        EXPECT_LT(rest, 512u * 1024) << open;
        EXPECT_LT(rejected, 512u * 1024) << open;
    }
}

TEST(DeepDocumentTest, DeepPathsReachDeepNodes)
{
    const Json::Value document = Document(Nested(MaxPathSegments, "{\"a\":", "7", "}"));
    std::string path = "a";
    for (size_t i = 1; i < MaxPathSegments; ++i)
        path += "/a";
    int32_t value = 0;
    EXPECT_TRUE(GetInt32(value, document, path));
    EXPECT_EQ(value, 7);
    EXPECT_FALSE(GetInt32(value, document, path + "/a"));
}

TEST(HugeDocumentTest, LargeArraysAndStringsLoad)
{
    std::string text = R"({"reasons":[)";
    for (int i = 0; i < 200000; ++i)
        text += (i ? "," : "") + std::to_string(i);
    text += R"(],"body":")" + std::string(8 << 20, 'b') + R"("})";
    const Json::Value document = Document(text);
    std::vector<int32_t> reasons;
    ASSERT_TRUE(JsonComposedSerializer::LoadList(&document, "reasons", reasons));
    ASSERT_EQ(reasons.size(), 200000u);
    EXPECT_EQ(reasons.back(), 199999);
    cv::StringW body;
    ASSERT_TRUE(GetWideString(body, document, "body"));
    EXPECT_EQ(body.length(), size_t(8) << 20);
    int32_t last = 0;
    EXPECT_TRUE(GetInt32(last, document, "reasons[199999]"));
    EXPECT_FALSE(GetInt32(last, document, "reasons[200000]"));
}

TEST(HugeDocumentTest, SparseArrayFromCreateModeDoesNotReserveItsSize)
{
    Json::Value document(Json::objectValue);
    ASSERT_NE(FindPath(&document, "list[2000000000]", PathMode::Create), nullptr);
    SetInt32(document, "list[0]", 1);
    EXPECT_EQ(document["list"].size(), 2000000001u);
    std::vector<int32_t> list;
    EXPECT_FALSE(JsonComposedSerializer::LoadList(&document, "list", list));  // element 1 is null
    EXPECT_TRUE(list.empty());
}

TEST(BadTextTest, InvalidUtf8AndNulsAreCarriedNotTrusted)
{
    Json::Value document;
    ASSERT_TRUE(ParseJsonDocument(std::string("{\"s\":\"\xff\xc3\x28\",\"n\":\"a\\u0000b\"}"), document));
    std::wstring wide;
    EXPECT_TRUE(GetWideString(wide, document, "s"));
    EXPECT_EQ(wide, L"\uFFFD\uFFFD(");
    std::string narrow;
    EXPECT_TRUE(GetUtf8String(narrow, document, "n"));
    EXPECT_EQ(narrow, std::string("a\0b", 3));
    for (const char* text : {"", "{", "[1,]", "{\"a\":1,}", "nul", "\"\\u12\"", "{\"a\" 1}", "[1]]", "\xef\xbb\xbf{}"}) {
        const bool parsed = ParseJsonDocument(text, document);
        if (!parsed) {
            EXPECT_TRUE(document.isNull()) << text;
        }
    }
    EXPECT_FALSE(ParseJsonDocument("[1,]", document));  // no trailing commas, as the plain reader
    EXPECT_TRUE(ParseJsonDocument("/* note */ {\"a\":1} // end", document));
    EXPECT_TRUE(ParseJsonDocument("[1] trailing", document));
}

// Random documents and paths, mutated, thrown at every lookup and loader;
// each result must be consistent and nothing may throw or crash.
class RandomInputTest : public testing::Test {
protected:
    std::mt19937 random{20261210};

    size_t Pick(size_t count) { return std::uniform_int_distribution<size_t>(0, count - 1)(random); }

    Json::Value RandomValue(int depth)
    {
        static const char* const keys[] = {"a", "b", "id", "@name", "error", "output", "x y", "", "counts"};
        static const char* const scalars[] = {"null", "true", "false", "0", "-1", "7", "4294967295",
                                              "3000000000", "18446744073709551615", "-9223372036854775808",
                                              "1.5", "5.0", "1e300", "\"\"", "\"s\"", "\"7\"", "\"\\u00e9\"",
                                              "\"a\\u0000b\""};
        const size_t kind = depth <= 0 ? 2 : Pick(5);
        if (kind == 4) {  // shaped like the records loaded below, give or take a member
            Json::Value record(Json::objectValue);
            for (const char* key : {"id", "displayName", "counts", "@name", "error", "output"})
                if (Pick(4) != 0)
                    record[key] = RandomValue(depth - 2);
            return record;
        }
        if (kind == 0) {
            Json::Value object(Json::objectValue);
            for (size_t i = Pick(4); i > 0; --i)
                object[keys[Pick(std::size(keys))]] = RandomValue(depth - 1);
            return object;
        }
        if (kind == 1) {
            Json::Value array(Json::arrayValue);
            for (size_t i = Pick(4); i > 0; --i)
                array.append(RandomValue(depth - 1));
            return array;
        }
        Json::Value scalar;
        EXPECT_TRUE(ParseJsonDocument(scalars[Pick(std::size(scalars))], scalar));
        return scalar;
    }

    std::string Mutate(std::string text)
    {
        static const char noise[] = "[]{}\",:\\/0-a\xff";
        for (size_t edits = Pick(4); edits > 0 && !text.empty(); --edits) {
            const size_t at = Pick(text.size());
            switch (Pick(3)) {
            case 0:
                text.erase(at, 1);
                break;
            case 1:
                text.insert(at, 1, noise[Pick(sizeof(noise) - 1)]);
                break;
            default:
                text[at] = static_cast<char>(Pick(256));
            }
        }
        return text;
    }

    // A path that follows the document's own members and elements.
    std::string PathInto(const Json::Value& document)
    {
        std::string path;
        const Json::Value* node = &document;
        for (size_t steps = Pick(5); steps > 0; --steps) {
            if (node->isObject() && !node->empty()) {
                const std::vector<std::string> names = node->getMemberNames();
                const std::string& name = names[Pick(names.size())];
                path += (path.empty() || path.back() == ']' ? "" : "/") + name;
                node = &(*node)[name];
            } else if (node->isArray() && !node->empty()) {
                const Json::ArrayIndex index = static_cast<Json::ArrayIndex>(Pick(node->size()));
                path += "[" + std::to_string(index) + "]";
                node = &(*node)[index];
            } else {
                break;
            }
        }
        return path.empty() ? "/" : path;
    }

    std::string RandomPath()
    {
        static const char* const pieces[] = {"a",   "b",   "id",  "[",    "]",    "/",   "\\", "0",
                                             "[0]", "[1]", "[]",  "[-1]", "[2x]", "x y", "@name",
                                             "[99999999999]", "counts", "output", ""};
        std::string path;
        for (size_t i = Pick(7); i > 0; --i)
            path += pieces[Pick(std::size(pieces))];
        return path;
    }
};

void CheckGetters(const Json::Value& document, const std::string& path)
{
    const Json::Value* node = FindPath(&document, path);
    int32_t i32 = 1;
    bool b = true;
    uint64_t u64 = 1;
    int64_t i64 = 1;
    std::string text = "x";
    std::wstring wide = L"x";
    cv::StringA narrowCv("x");
    cv::StringW wideCv(L"x");
    if (!GetInt32(i32, document, path)) {
        EXPECT_EQ(i32, 0);
    }
    if (!GetBool(b, document, path)) {
        EXPECT_FALSE(b);
    }
    if (!GetUInt64(u64, document, path)) {
        EXPECT_EQ(u64, 0u);
    }
    if (!GetInt64(i64, document, path)) {
        EXPECT_EQ(i64, 0);
    }
    const bool gotText = GetUtf8String(text, document, path);
    if (!gotText) {
        EXPECT_EQ(text, "");
    }
    EXPECT_EQ(GetWideString(wide, document, path), gotText);
    EXPECT_EQ(GetUtf8String(narrowCv, document, path), gotText);
    EXPECT_EQ(GetWideString(wideCv, document, path), gotText);
    EXPECT_EQ(narrowCv, std::string_view(text));
    EXPECT_EQ(wideCv, std::wstring_view(wide));
    if (node == nullptr) {
        EXPECT_FALSE(gotText);
    }
}

TEST_F(RandomInputTest, LookupsAndLoadersStayConsistent)
{
    Json::FastWriter writer;
    for (int round = 0; round < 300; ++round) {
        Json::Value document = RandomValue(4);
        const std::string mutated = Mutate(writer.write(document));
        Json::Value parsed;
        if (ParseJsonDocument(mutated, parsed))
            document = parsed;
        for (int attempt = 0; attempt < 30; ++attempt) {
            const std::string path = attempt % 3 == 0 ? Mutate(PathInto(document))
                                     : attempt % 3 == 1 ? PathInto(document)
                                                        : RandomPath();
            SCOPED_TRACE(testing::Message() << "document " << Text(document) << " path '" << path << "'");
            const bool valid = IsValidPath(path);

            const Json::Value* found = FindPath(static_cast<const Json::Value*>(&document), path);
            EXPECT_TRUE(found == nullptr || !found->isNull());
            if (!valid) {
                EXPECT_EQ(found, nullptr);
            }

            Json::Value created = document;
            Json::Value* node = FindPath(&created, path, PathMode::Create);
            if (!valid) {
                EXPECT_EQ(node, nullptr);
                EXPECT_EQ(created, document);
            } else if (found != nullptr) {
                // What read mode finds, create mode reaches unchanged.
                ASSERT_NE(node, nullptr);
                EXPECT_EQ(*node, *found);
                EXPECT_EQ(created, document);
            }

            CheckGetters(document, path);

            Scenario scenario;
            static_cast<void>(JsonComposedSerializer::LoadRecord(&document, path, scenario));
            // A failed list is empty; without a key it is not touched at all.
            const size_t untouched = path.empty() ? 1 : 0;
            std::vector<Scenario> scenarios{Scenario{}};
            if (!JsonComposedSerializer::LoadList(&document, path, scenarios)) {
                EXPECT_EQ(scenarios.size(), untouched);
            }
            cv::List<cv::StringW> names{cv::StringW(L"stale")};
            if (!JsonComposedSerializer::LoadList(&document, path, names)) {
                EXPECT_EQ(names.size(), untouched);
            }
            std::vector<ResponseMethod> results{ResponseMethod{}};
            if (!JsonComposedSerializer::LoadList(&document, path, results)) {
                EXPECT_EQ(results.size(), untouched);
            }

            std::vector<RequestMethod> calls(1 + Pick(2));
            calls[0].name = "M";
            Json::Value written = document;
            if (JsonComposedSerializer::WriteMethodCalls(&written, path, calls)) {
                EXPECT_TRUE(valid);
                const Json::Value* list = FindPath(&written, path, PathMode::Read);
                ASSERT_NE(list, nullptr);
                ASSERT_TRUE(list->isArray());
                ASSERT_EQ(list->size(), calls.size());
                EXPECT_EQ((*list)[0]["@name"], Json::Value("M"));
                EXPECT_EQ((*list)[0]["input"], Json::Value(Json::objectValue));
            } else if (!path.empty() && valid) {
                // Only an index into a node that cannot be indexed refuses a valid key.
                EXPECT_NE(path.find('['), std::string::npos);
            }
        }
    }
}

}  // namespace
