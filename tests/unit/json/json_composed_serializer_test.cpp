#include "json/json_composed_serializer.h"

#include "json_test_support.h"
#include "result_code_printer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

enum class Delivery { None, Http, Share };

struct Scenario {
    cv::StringW id;
    cv::StringW displayName;
    cv::StringW description;
};

// One member of every kind, in load order.
struct Everything {
    int32_t code = -5;
    bool stoppable = false;
    uint64_t errors = 5;
    int64_t length = 5;
    cv::StringW wide{L"unset"};
    std::wstring wideStd = L"unset";
    cv::StringA narrow{"unset"};
    std::string narrowStd = "unset";
    Json::Value extra{"unset"};
    Delivery type = Delivery::Share;
    cv::StringW reason{L"unset"};
    std::vector<int32_t> reasons{9};
    std::vector<Scenario> scenarios{Scenario{}};
    cv::List<cv::StringW> names;
    Scenario nested;
};

}  // namespace

template <>
struct JsonEnumNames<Delivery> {
    static constexpr EnumName<Delivery> names[] = {{L"http", Delivery::Http}, {L"share", Delivery::Share}};
};

template <>
struct JsonRecord<Scenario> {
    static constexpr RecordField<Scenario> fields[] = {
        JsonField<&Scenario::id>("id"),
        JsonField<&Scenario::displayName>("displayName"),
        JsonField<&Scenario::description>("description"),
    };
};

template <>
struct JsonRecord<Everything> {
    static constexpr RecordField<Everything> fields[] = {
        JsonField<&Everything::code>("httpResponse/code"),
        JsonField<&Everything::stoppable>("troubleshoot/stoppable"),
        JsonField<&Everything::errors>("IOErrors"),
        JsonField<&Everything::length>("httpResponse/contentLength"),
        JsonField<&Everything::wide>("id"),
        JsonField<&Everything::wideStd>("wideStd"),
        JsonField<&Everything::narrow>("httpResponse/contentType"),
        JsonField<&Everything::narrowStd>("httpResponse/body"),
        JsonField<&Everything::extra>("extra"),
        JsonField<&Everything::type>("type"),
        JsonOptionalField<&Everything::reason>("reason"),
        JsonField<&Everything::reasons>("reasons"),
        JsonField<&Everything::scenarios>("scenariosList"),
        JsonField<&Everything::names>("scenarios"),
        JsonField<&Everything::nested>("nested"),
    };
};

namespace {

std::vector<std::string> traces;

void CaptureTrace(std::string_view key) { traces.emplace_back(key); }

class SerializerTest : public testing::Test {
protected:
    void SetUp() override
    {
        traces.clear();
        previous_ = JsonComposedSerializer::SetTraceSink(&CaptureTrace);
    }
    void TearDown() override { JsonComposedSerializer::SetTraceSink(previous_); }

private:
    JsonComposedSerializer::TraceSink previous_ = nullptr;
};

const char* const CompleteRecord = R"({
    "httpResponse": {"code": 200, "contentLength": -1, "contentType": "text/plain", "body": "ok"},
    "troubleshoot": {"stoppable": 1},
    "IOErrors": 18446744073709551615,
    "id": 42,
    "wideStd": "stra\u00dfe",
    "extra": {"any": [1, "two"]},
    "type": "http",
    "reason": "quota",
    "reasons": [1, 4294967295],
    "scenariosList": [{"id": "s1", "displayName": "One", "description": "first"}],
    "scenarios": ["a", 7],
    "nested": {"id": "n", "displayName": "N", "description": "inner"}
})";

std::vector<std::wstring> Names(const cv::List<cv::StringW>& list)
{
    std::vector<std::wstring> names;
    for (const cv::StringW& name : list)
        names.emplace_back(name.view());
    return names;
}

TEST_F(SerializerTest, LoadsEveryKindOfField)
{
    const Json::Value document = Document(CompleteRecord);
    Everything record;
    ASSERT_TRUE(JsonComposedSerializer::LoadRecord(&document, "", record));
    EXPECT_EQ(record.code, 200);
    EXPECT_TRUE(record.stoppable);
    EXPECT_EQ(record.errors, UINT64_MAX);
    EXPECT_EQ(record.length, -1);
    EXPECT_EQ(record.wide, L"42");
    EXPECT_EQ(record.wideStd, L"stra\u00dfe");
    EXPECT_EQ(record.narrow, "text/plain");
    EXPECT_EQ(record.narrowStd, "ok");
    EXPECT_EQ(Text(record.extra), R"({"any":[1,"two"]})");
    EXPECT_EQ(record.type, Delivery::Http);
    EXPECT_EQ(record.reason, L"quota");
    EXPECT_EQ(record.reasons, (std::vector<int32_t>{1, -1}));
    ASSERT_EQ(record.scenarios.size(), 1u);
    EXPECT_EQ(record.scenarios[0].id, L"s1");
    EXPECT_EQ(record.scenarios[0].displayName, L"One");
    EXPECT_EQ(record.scenarios[0].description, L"first");
    EXPECT_EQ(Names(record.names), (std::vector<std::wstring>{L"a", L"7"}));
    EXPECT_EQ(record.nested.description, L"inner");
    EXPECT_TRUE(traces.empty());
}

struct BadFieldCase {
    const char* member;   // top-level member replaced
    const char* value;    // with this JSON text
    std::vector<std::string> traced;
};

class BadFieldTest : public SerializerTest, public testing::WithParamInterface<BadFieldCase> {};

TEST_P(BadFieldTest, FailsTheRecordAndTracesTheKey)
{
    Json::Value document = Document(CompleteRecord);
    document[GetParam().member] = Document(GetParam().value);
    Everything record;
    EXPECT_FALSE(JsonComposedSerializer::LoadRecord(&document, "", record));
    EXPECT_EQ(traces, GetParam().traced);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, BadFieldTest,
    testing::Values(BadFieldCase{"httpResponse", R"({"code":"200"})", {"httpResponse/code"}},
                    BadFieldCase{"troubleshoot", R"({"stoppable":"yes"})", {"troubleshoot/stoppable"}},
                    BadFieldCase{"IOErrors", "-1", {"IOErrors"}},
                    BadFieldCase{"id", "true", {"id"}},
                    BadFieldCase{"wideStd", "1.5", {"wideStd"}},
                    BadFieldCase{"extra", "null", {"extra"}},
                    BadFieldCase{"type", R"("HTTP")", {"type"}},
                    BadFieldCase{"type", "1", {"type"}},
                    BadFieldCase{"reason", "false", {"reason"}},
                    BadFieldCase{"reasons", R"([1,"2"])", {"reasons"}},
                    BadFieldCase{"reasons", R"({"0":1})", {"reasons"}},
                    BadFieldCase{"scenariosList", R"([{"id":"s","displayName":"d"}])", {"description", "scenariosList"}},
                    BadFieldCase{"scenarios", "[null]", {"scenarios"}},
                    BadFieldCase{"nested", R"({"id":"n"})", {"displayName", "nested"}},
                    BadFieldCase{"nested", "5", {"id", "nested"}}));

TEST_F(SerializerTest, FirstFailingFieldStopsTheLoad)
{
    const Json::Value document = Document(R"({"id":"x","displayName":"y","description":"z"})");
    const Json::Value withoutFirst = Document(R"({"displayName":"y","description":"z"})");
    Scenario scenario{L"old id", L"old name", L"old text"};
    EXPECT_FALSE(JsonComposedSerializer::LoadRecord(&withoutFirst, "", scenario));
    EXPECT_EQ(traces, std::vector<std::string>{"id"});
    EXPECT_EQ(scenario.id, L"");  // the getter's reset value
    EXPECT_EQ(scenario.displayName, L"old name");
    EXPECT_EQ(scenario.description, L"old text");
    EXPECT_TRUE(JsonComposedSerializer::LoadRecord(&document, "", scenario));
    EXPECT_EQ(scenario.description, L"z");
}

TEST_F(SerializerTest, OptionalFieldPresentAsNullIsAbsent)
{
    for (const bool presentAsNull : {true, false}) {
        Json::Value document = Document(CompleteRecord);
        if (presentAsNull)
            document["reason"] = Json::Value();
        else
            document.removeMember("reason");
        Everything record;
        EXPECT_TRUE(JsonComposedSerializer::LoadRecord(&document, "", record)) << presentAsNull;
        EXPECT_EQ(record.reason, L"unset");
        EXPECT_EQ(record.nested.id, L"n");
    }
    EXPECT_TRUE(traces.empty());
}

TEST_F(SerializerTest, RecordAtAKeyUsesItsNodeOrANullOne)
{
    const Json::Value document = Document(R"({"outer":{"inner":{"id":"i","displayName":"d","description":"t"}}})");
    Scenario scenario;
    EXPECT_TRUE(JsonComposedSerializer::LoadRecord(&document, "outer/inner", scenario));
    EXPECT_EQ(scenario.id, L"i");

    EXPECT_FALSE(JsonComposedSerializer::LoadRecord(&document, "outer/missing", scenario));
    EXPECT_EQ(traces, std::vector<std::string>{"id"});
    traces.clear();

    // No context at all: nothing to trace.
    EXPECT_FALSE(JsonComposedSerializer::LoadRecord(&document, "outer//inner", scenario));
    EXPECT_FALSE(JsonComposedSerializer::LoadRecord(nullptr, "outer", scenario));
    EXPECT_FALSE(JsonComposedSerializer::LoadField(nullptr, "id", scenario.id));
    EXPECT_TRUE(traces.empty());
}

struct ListCase {
    const char* document;
    bool loaded;
    size_t count;
};

class ListLoaderTest : public SerializerTest, public testing::WithParamInterface<ListCase> {};

TEST_P(ListLoaderTest, LoadsWholeArraysOnly)
{
    const Json::Value document = Document(GetParam().document);
    std::vector<Scenario> vector{Scenario{L"stale", L"", L""}};
    EXPECT_EQ(JsonComposedSerializer::LoadList(&document, "scenariosList", vector), GetParam().loaded);
    EXPECT_EQ(vector.size(), GetParam().count);

    cv::List<Scenario> list;
    list.PushBack(Scenario{L"stale", L"", L""});
    EXPECT_EQ(JsonComposedSerializer::LoadList(&document, "scenariosList", list), GetParam().loaded);
    EXPECT_EQ(list.size(), GetParam().count);
}

INSTANTIATE_TEST_SUITE_P(
    Arrays, ListLoaderTest,
    testing::Values(ListCase{R"({"scenariosList":[]})", true, 0}, ListCase{R"({"scenariosList":null})", false, 0},
                    ListCase{R"({"scenariosList":{}})", false, 0}, ListCase{R"({"scenariosList":"a"})", false, 0},
                    ListCase{R"({})", false, 0}, ListCase{R"([])", false, 0},
                    ListCase{R"({"scenariosList":[null]})", false, 0},
                    ListCase{R"({"scenariosList":[{"id":1,"displayName":2,"description":3},
                                                  {"id":"b","description":"no name"},
                                                  {"id":"c","displayName":"C","description":"c"}]})",
                             false, 0},
                    ListCase{R"({"scenariosList":[{"id":1,"displayName":2,"description":3},
                                                  {"id":"b","displayName":"B","description":"b"},
                                                  {"id":"c","displayName":"C","description":"c"}]})",
                             true, 3}));

TEST_F(SerializerTest, ThreeRecordsWithTheSecondIncompleteLeaveNothing)
{
    const Json::Value document = Document(R"({"scenariosList":[{"id":"a","displayName":"A","description":"a"},
                                                               {"id":"b","description":"b"},
                                                               {"id":"c","displayName":"C","description":"c"}]})");
    std::vector<Scenario> scenarios;
    EXPECT_FALSE(JsonComposedSerializer::LoadList(&document, "scenariosList", scenarios));
    EXPECT_TRUE(scenarios.empty());
    EXPECT_EQ(traces, std::vector<std::string>{"displayName"});
}

TEST_F(SerializerTest, ListLoaderNeedsParentAndKey)
{
    const Json::Value document = Document(R"({"reasons":[1]})");
    std::vector<int32_t> reasons{5};
    EXPECT_FALSE(JsonComposedSerializer::LoadList(nullptr, "reasons", reasons));
    EXPECT_FALSE(JsonComposedSerializer::LoadList(&document, "", reasons));
    EXPECT_TRUE(JsonComposedSerializer::LoadList(&document, "/reasons/", reasons));
    EXPECT_EQ(reasons, std::vector<int32_t>{1});
}

TEST_F(SerializerTest, ScalarListsReadEachElement)
{
    const Json::Value document = Document(R"({"a":{"reasons":[3,0,2147483648]},"flags":[true,0],"text":["x",1,-2]})");
    std::vector<int32_t> reasons;
    EXPECT_TRUE(JsonComposedSerializer::LoadList(&document, "a/reasons", reasons));
    EXPECT_EQ(reasons, (std::vector<int32_t>{3, 0, INT32_MIN}));
    std::vector<bool> flags;
    EXPECT_TRUE(JsonComposedSerializer::LoadList(&document, "flags", flags));
    EXPECT_EQ(flags, (std::vector<bool>{true, false}));
    std::vector<std::string> text;
    EXPECT_TRUE(JsonComposedSerializer::LoadList(&document, "text", text));
    EXPECT_EQ(text, (std::vector<std::string>{"x", "1", "-2"}));
    std::vector<uint64_t> unsignedValues;
    EXPECT_FALSE(JsonComposedSerializer::LoadList(&document, "text", unsignedValues));
    EXPECT_TRUE(traces.empty());  // list loaders themselves do not trace
}

struct PresenceCase {
    const char* document;
    bool present;
};

class PresenceTest : public testing::TestWithParam<PresenceCase> {};

TEST_P(PresenceTest, MemberMustExistAndNotBeNull)
{
    const Json::Value document = Document(GetParam().document);
    EXPECT_EQ(JsonComposedSerializer::IsPresent(&document, "output"), GetParam().present);
}

INSTANTIATE_TEST_SUITE_P(Contexts, PresenceTest,
                         testing::Values(PresenceCase{R"({"output":0})", true}, PresenceCase{R"({"output":false})", true},
                                         PresenceCase{R"({"output":{}})", true}, PresenceCase{R"({"output":null})", false},
                                         PresenceCase{R"({"other":1})", false}, PresenceCase{R"(["output"])", false},
                                         PresenceCase{R"("output")", false}, PresenceCase{"null", false}));

TEST(PresenceTest, NoContextIsAbsent) { EXPECT_FALSE(JsonComposedSerializer::IsPresent(nullptr, "output")); }

TEST_F(SerializerTest, MethodResultsOfAResponseModule)
{
    const Json::Value data = Document(R"({"Product.Support":[
        {"@name":"GetState","error":0,"output":{"state":"idle"}},
        {"@name":7,"error":4294967295},
        {"@name":"GetState","error":-2,"output":null}]})");
    std::vector<ResponseMethod> results;
    ASSERT_TRUE(JsonComposedSerializer::LoadList(&data, "Product.Support", results));
    ASSERT_EQ(results.size(), 3u);
    EXPECT_EQ(results[0].name, "GetState");
    EXPECT_EQ(results[0].error, result::Success);
    EXPECT_EQ(Text(results[0].output), R"({"state":"idle"})");
    EXPECT_EQ(results[1].name, "7");
    EXPECT_EQ(results[1].error, ResultCode(-1));
    EXPECT_TRUE(results[1].output.isNull());
    EXPECT_EQ(results[2].error, ResultCode(-2));
    EXPECT_TRUE(results[2].output.isNull());

    cv::StringW state;
    EXPECT_TRUE(JsonComposedSerializer::LoadField(&results[0].output, "state", state));
    EXPECT_EQ(state, L"idle");
}

TEST_F(SerializerTest, MethodResultWithoutErrorEmptiesTheModule)
{
    for (const char* element : {R"({"@name":"GetState"})", R"({"@name":"GetState","error":"0"})",
                                R"({"@name":true,"error":0})", R"({"error":0})", "null", "[]"}) {
        const Json::Value data = Document(std::string(R"({"m":[{"@name":"ok","error":0},)") + element + "]}");
        std::vector<ResponseMethod> results;
        EXPECT_FALSE(JsonComposedSerializer::LoadList(&data, "m", results)) << element;
        EXPECT_TRUE(results.empty());
    }
}

TEST_F(SerializerTest, WritesTheMethodCallList)
{
    std::vector<RequestMethod> calls(2);
    calls[0].name = "GetState";
    calls[1].name = "RunScanTask";
    SetUtf8String(calls[1].params, "taskId", "t\u00e9");
    SetBool(calls[1].params, "options/deep", true);

    Json::Value request(Json::objectValue);
    SetUtf8String(request, "type", "tesdk");
    Json::Value& data = request["data"];
    ASSERT_TRUE(JsonComposedSerializer::WriteMethodCalls(&data, "Product.Support", calls));
    calls[1].params["taskId"] = "changed";
    EXPECT_EQ(Text(request),
              "{\"data\":{\"Product.Support\":[{\"@name\":\"GetState\",\"input\":{}},"
              "{\"@name\":\"RunScanTask\",\"input\":{\"options\":{\"deep\":true},\"taskId\":\"t\\u00e9\"}}]},"
              "\"type\":\"tesdk\"}");

    // Writing again replaces the list.
    ASSERT_TRUE(JsonComposedSerializer::WriteMethodCalls(&data, "Product.Support", {}));
    EXPECT_EQ(Text(data), R"({"Product.Support":[]})");
}

TEST_F(SerializerTest, MethodCallWriterFailsWithoutAPlaceToWrite)
{
    const std::vector<RequestMethod> calls(1);
    Json::Value data = Document(R"({"m":{"x":1}})");
    EXPECT_FALSE(JsonComposedSerializer::WriteMethodCalls(nullptr, "m", calls));
    EXPECT_FALSE(JsonComposedSerializer::WriteMethodCalls(&data, "", calls));
    EXPECT_FALSE(JsonComposedSerializer::WriteMethodCalls(&data, "m//x", calls));
    EXPECT_EQ(Text(data), R"({"m":{"x":1}})");
}

TEST(SerializerTraceTest, InactiveLogMeansNoOutputAtAll)
{
    JsonComposedSerializer::SetTraceSink(nullptr);  // the diagnostics log
    const Json::Value document = Document(R"({"id":5})");
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    Scenario scenario;
    EXPECT_FALSE(JsonComposedSerializer::LoadRecord(&document, "missing", scenario));
    std::vector<cv::StringW> names;
    EXPECT_FALSE(JsonComposedSerializer::LoadField(&document, "id", names));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

}  // namespace
