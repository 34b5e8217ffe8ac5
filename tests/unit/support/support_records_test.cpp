// Delivery targets as the support module reads them, delivery results as it
// reports them, and the scenario catalogue.
#include "commands/support/support_records.h"
#include "json/json_document.h"

#include <gtest/gtest.h>

namespace {

using ISupport = cv::tesdk::Product::ISupport;

Json::Value Parse(const char* text)
{
    Json::Value value;
    EXPECT_TRUE(ParseJsonDocument(text, value)) << text;
    return value;
}

Json::Value Written(const DeliveryTarget& target)
{
    Json::Value node(Json::objectValue);
    EXPECT_TRUE(WriteDeliveryTarget(node, target));
    return node;
}

DeliveryTarget Target(DeliveryType type)
{
    DeliveryTarget target;
    target.type = type;
    target.customType = L"ftp";
    target.folder = L"C:\\out";
    target.domain = L"corp";
    target.user = L"u";
    target.password = L"p";
    target.url = L"https://x/upload";
    target.sizeLimit = 5000000000;
    return target;
}

TEST(DeliveryTargetTest, EachTypeWritesItsOwnMembers)
{
    EXPECT_EQ(Written(Target(ISupport::Local)), Parse(R"({"type": "local", "folder": "C:\\out"})"));
    EXPECT_EQ(Written(Target(ISupport::NetworkShare)),
              Parse(R"({"type": "networkShare", "folder": "C:\\out", "domain": "corp", "user": "u", "password": "p"})"));
    EXPECT_EQ(Written(Target(ISupport::HttpPost)),
              Parse(R"({"type": "httpPost", "url": "https://x/upload", "sizeLimit": 5000000000, "postItems": []})"));
    // The custom type text stands in for the type; nothing else is written.
    EXPECT_EQ(Written(Target(ISupport::Unknown)), Parse(R"({"type": "ftp"})"));
}

TEST(DeliveryTargetTest, FileNameAndIdOnlyWhenGiven)
{
    DeliveryTarget local = Target(ISupport::Local);
    local.fileName = L"bundle.zip";
    local.id = L"t1";
    EXPECT_EQ(Written(local), Parse(R"({"type": "local", "id": "t1", "folder": "C:\\out", "fileName": "bundle.zip"})"));

    DeliveryTarget custom = Target(ISupport::Unknown);
    custom.id = L"t2";
    custom.fileName = L"ignored";
    EXPECT_EQ(Written(custom), Parse(R"({"type": "ftp", "id": "t2"})"));

    DeliveryTarget emptyFolder;
    EXPECT_EQ(Written(emptyFolder), Parse(R"({"type": "local", "folder": ""})"));
}

TEST(DeliveryTargetTest, PostItemsInOrder)
{
    DeliveryTarget post = Target(ISupport::HttpPost);
    post.postItems.PushBack({L"ticket", L"42", false});
    post.postItems.PushBack({L"file", L"", true});
    EXPECT_EQ(Written(post)["postItems"],
              Parse(R"([{"name": "ticket", "value": "42", "useDeliveryAsValue": false},
                        {"name": "file", "value": "", "useDeliveryAsValue": true}])"));
}

TEST(DeliveryTargetTest, TypeWithoutTextFormFailsTheList)
{
    Json::Value node(Json::objectValue);
    EXPECT_FALSE(WriteDeliveryTarget(node, Target(static_cast<DeliveryType>(7))));
    EXPECT_FALSE(WriteDeliveryTarget(node, Target(static_cast<DeliveryType>(-1))));

    Json::Value params(Json::objectValue);
    const cv::List<DeliveryTarget> targets{Target(ISupport::Local), Target(static_cast<DeliveryType>(7)),
                                           Target(ISupport::HttpPost)};
    EXPECT_FALSE(WriteDeliveryTargets(params, "deliverTo", targets));
    // Written up to the failing element, not beyond.
    EXPECT_EQ(params["deliverTo"].size(), 2u);
    EXPECT_EQ(params["deliverTo"][0]["type"], "local");
}

TEST(DeliveryTargetTest, EmptyListIsAnEmptyArray)
{
    Json::Value params(Json::objectValue);
    EXPECT_TRUE(WriteDeliveryTargets(params, "deliverTo", {}));
    EXPECT_EQ(params, Parse(R"({"deliverTo": []})"));
}

std::vector<SubmittedItemInfo> Decoded(const char* payload, bool expectLoaded = true)
{
    cv::List<SubmittedItemInfo> items;
    EXPECT_EQ(LoadSubmittedItems(Parse(payload), "deliveredTo", items), expectLoaded) << payload;
    return std::vector<SubmittedItemInfo>(items.begin(), items.end());
}

TEST(SubmittedItemInfoTest, LocalAndNetworkShareReadTheirPath)
{
    const auto items = Decoded(R"({"deliveredTo": [
        {"type": "local", "path": "C:\\out\\a.zip", "error": 0, "id": "t1"},
        {"type": "networkShare", "path": "\\\\srv\\s", "error": 5, "reason": "denied",
         "httpResponse": {"code": 200}}]})");
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].type, ISupport::Local);
    EXPECT_EQ(items[0].path, L"C:\\out\\a.zip");
    EXPECT_EQ(items[0].id, L"t1");
    EXPECT_EQ(items[0].error, 0);
    EXPECT_EQ(items[0].reason, L"");
    EXPECT_EQ(items[1].type, ISupport::NetworkShare);
    EXPECT_EQ(items[1].path, L"\\\\srv\\s");
    EXPECT_EQ(items[1].error, 5);
    EXPECT_EQ(items[1].reason, L"denied");
    EXPECT_EQ(items[1].httpCode, -1);  // not an HTTP delivery
}

TEST(SubmittedItemInfoTest, HttpPostReadsTheResponseWithDefaults)
{
    const auto items = Decoded(R"({"deliveredTo": [
        {"type": "httpPost", "error": 0, "path": "ignored", "httpResponse": {"code": 201, "contentType": "text/plain",
         "contentLength": 6000000000, "body": "ok", "body64": "b2s="}},
        {"type": "httpPost", "error": 12029}]})");
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].path, L"");
    EXPECT_EQ(items[0].httpCode, 201);
    EXPECT_EQ(items[0].httpContentType, "text/plain");
    EXPECT_EQ(items[0].httpContentLength, 6000000000);
    EXPECT_EQ(items[0].httpBody, "ok");
    EXPECT_EQ(items[0].httpBody64, "b2s=");
    EXPECT_EQ(items[1].httpCode, -1);
    EXPECT_EQ(items[1].httpContentLength, -1);
    EXPECT_EQ(items[1].httpContentType, "");
    EXPECT_EQ(items[1].httpBody, "");
}

TEST(SubmittedItemInfoTest, CancelledPostReadsNoResponse)
{
    const auto items = Decoded(R"({"deliveredTo": [{"type": "httpPost", "error": -1223,
        "httpResponse": {"code": 500, "contentType": "text/html", "contentLength": 3, "body": "bad", "body64": "x"}}]})");
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].error, -1223);
    EXPECT_EQ(items[0].httpCode, -1);
    EXPECT_EQ(items[0].httpContentLength, -1);
    EXPECT_EQ(items[0].httpContentType, "");
    EXPECT_EQ(items[0].httpBody, "");
    EXPECT_EQ(items[0].httpBody64, "");
}

TEST(SubmittedItemInfoTest, UnknownTypeTextIsKept)
{
    const auto items = Decoded(R"({"deliveredTo": [{"type": "ftp", "error": 0, "path": "ignored"},
                                                    {"type": "unknown", "error": 0}]})");
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].type, ISupport::Unknown);
    EXPECT_EQ(items[0].customType, L"ftp");
    EXPECT_EQ(items[0].path, L"");
    EXPECT_EQ(items[1].type, ISupport::Unknown);
}

TEST(SubmittedItemInfoTest, AnyBrokenItemFailsTheWholeList)
{
    // Without "error"; without "type"; a local delivery without its path; a
    // present id that is not text.
    for (const char* broken : {R"({"type": "local", "path": "C:\\a"})", R"({"path": "C:\\a", "error": 0})",
                               R"({"type": "local", "error": 0})", R"({"type": "local", "path": "C:\\a", "error": 0, "id": true})"}) {
        const std::string payload =
            std::string(R"({"deliveredTo": [{"type": "local", "path": "C:\\ok", "error": 0}, )") + broken + "]}";
        EXPECT_TRUE(Decoded(payload.c_str(), false).empty()) << broken;
    }
    EXPECT_TRUE(Decoded(R"({"deliveredTo": {}})", false).empty());
    EXPECT_TRUE(Decoded(R"({"deliveredTo": []})").empty());
}

TEST(ScenarioCatalogueTest, EveryEntryNeedsAllThreeMembers)
{
    cv::List<SupportScenario> scenarios;
    ASSERT_TRUE(LoadScenarios(Parse(R"({"list": [{"id": "net", "displayName": "Network", "description": ""}]})"),
                              "list", scenarios));
    ASSERT_EQ(scenarios.size(), 1u);
    EXPECT_EQ(scenarios.Front()->id, L"net");
    EXPECT_EQ(scenarios.Front()->name, L"Network");
    EXPECT_EQ(scenarios.Front()->description, L"");

    EXPECT_FALSE(LoadScenarios(Parse(R"({"list": [{"id": "a", "displayName": "A", "description": "d"},
                                                  {"id": "b", "displayName": "B"}]})"),
                               "list", scenarios));
    EXPECT_TRUE(scenarios.empty());
}

}  // namespace
