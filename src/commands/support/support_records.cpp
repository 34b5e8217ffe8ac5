#include "commands/support/support_records.h"

#include "json/json_composed_serializer.h"
#include "json/json_values.h"

#include <string>
#include <string_view>

namespace {

using ISupport = cv::tesdk::Product::ISupport;

struct DeliveryTypeName {
    DeliveryType type;
    const wchar_t* text;
};

constexpr DeliveryTypeName DeliveryTypeNames[] = {
    {ISupport::Local, L"local"},
    {ISupport::NetworkShare, L"networkShare"},
    {ISupport::HttpPost, L"httpPost"},
    {ISupport::Unknown, L"unknown"},
};

bool WritePostItems(Json::Value& target, const cv::List<PostItem>& items)
{
    if (!SetValue(target, "postItems", Json::Value(Json::arrayValue)))
        return false;
    int index = 0;
    for (const PostItem& item : items) {
        Json::Value* node = FindPath(&target, FormatString("postItems[%i]", index++), PathMode::Create);
        if (node == nullptr || !SetWideString(*node, "name", item.name) || !SetWideString(*node, "value", item.value) ||
            !SetBool(*node, "useDeliveryAsValue", item.useDeliveryAsValue))
            return false;
    }
    return true;
}

bool WriteFolder(Json::Value& node, const DeliveryTarget& target)
{
    return SetWideString(node, "folder", target.folder) &&
           (target.fileName.empty() || SetWideString(node, "fileName", target.fileName));
}

}  // namespace

const wchar_t* DeliveryTypeText(DeliveryType type)
{
    for (const auto& entry : DeliveryTypeNames) {
        if (entry.type == type)
            return entry.text;
    }
    return nullptr;
}

namespace {

// Field loaders of a delivery result whose reading depends on the members
// read before them.

bool LoadItemType(const Json::Value* context, const char* key, SubmittedItemInfo& item)
{
    std::wstring text;
    if (!JsonComposedSerializer::LoadField(context, key, text))
        return false;
    for (const auto& entry : DeliveryTypeNames) {
        if (text == entry.text) {
            item.type = entry.type;
            return true;
        }
    }
    // A type this console does not know is kept by its text.
    item.type = ISupport::Unknown;
    item.customType = text;
    return true;
}

bool LoadItemPath(const Json::Value* context, const char* key, SubmittedItemInfo& item)
{
    if (item.type != ISupport::Local && item.type != ISupport::NetworkShare)
        return true;
    return JsonComposedSerializer::LoadField(context, key, item.path);
}

void ResetHttpMember(int32_t& value) { value = -1; }
void ResetHttpMember(int64_t& value) { value = -1; }
void ResetHttpMember(cv::StringA& value) { value.Release(); }

// The HTTP answer is optional member by member; a cancelled post has none.
template <auto Member>
bool LoadHttpMember(const Json::Value* context, const char* key, SubmittedItemInfo& item)
{
    if (item.type != ISupport::HttpPost || item.error == DeliveryCancelledError)
        return true;
    if (!JsonComposedSerializer::LoadField(context, key, item.*Member))
        ResetHttpMember(item.*Member);
    return true;
}

}  // namespace

template <>
struct JsonRecord<SubmittedItemInfo> {
    static constexpr RecordField<SubmittedItemInfo> fields[] = {
        {"type", false, &LoadItemType},
        JsonField<&SubmittedItemInfo::error>("error"),
        JsonOptionalField<&SubmittedItemInfo::id>("id"),
        JsonOptionalField<&SubmittedItemInfo::reason>("reason"),
        {"path", false, &LoadItemPath},
        {"httpResponse/code", false, &LoadHttpMember<&SubmittedItemInfo::httpCode>},
        {"httpResponse/contentType", false, &LoadHttpMember<&SubmittedItemInfo::httpContentType>},
        {"httpResponse/contentLength", false, &LoadHttpMember<&SubmittedItemInfo::httpContentLength>},
        {"httpResponse/body", false, &LoadHttpMember<&SubmittedItemInfo::httpBody>},
        {"httpResponse/body64", false, &LoadHttpMember<&SubmittedItemInfo::httpBody64>},
    };
};

template <>
struct JsonRecord<SupportScenario> {
    static constexpr RecordField<SupportScenario> fields[] = {
        JsonField<&SupportScenario::id>("id"),
        JsonField<&SupportScenario::name>("displayName"),
        JsonField<&SupportScenario::description>("description"),
    };
};

bool WriteDeliveryTarget(Json::Value& node, const DeliveryTarget& target)
{
    const wchar_t* typeText = DeliveryTypeText(target.type);
    if (typeText == nullptr)
        return false;
    const std::wstring_view type = target.type == ISupport::Unknown ? target.customType.view() : typeText;
    if (!SetWideString(node, "type", type))
        return false;
    if (!target.id.empty() && !SetWideString(node, "id", target.id))
        return false;
    switch (target.type) {
    case ISupport::Local:
        return WriteFolder(node, target);
    case ISupport::NetworkShare:
        return WriteFolder(node, target) && SetWideString(node, "domain", target.domain) &&
               SetWideString(node, "user", target.user) && SetWideString(node, "password", target.password);
    case ISupport::HttpPost:
        return SetWideString(node, "url", target.url) && SetInt64(node, "sizeLimit", target.sizeLimit) &&
               WritePostItems(node, target.postItems);
    case ISupport::Unknown:
        return true;
    }
    return false;
}

bool WriteDeliveryTargets(Json::Value& parent, const char* key, const cv::List<DeliveryTarget>& targets)
{
    if (!SetValue(parent, key, Json::Value(Json::arrayValue)))
        return false;
    int index = 0;
    for (const DeliveryTarget& target : targets) {
        Json::Value* node = FindPath(&parent, FormatString("%s[%i]", key, index++), PathMode::Create);
        if (node == nullptr || !WriteDeliveryTarget(*node, target))
            return false;
    }
    return true;
}

bool LoadSubmittedItems(const Json::Value& payload, const char* key, cv::List<SubmittedItemInfo>& items)
{
    return JsonComposedSerializer::LoadList(&payload, key, items);
}

bool LoadScenarios(const Json::Value& output, const char* key, cv::List<SupportScenario>& scenarios)
{
    return JsonComposedSerializer::LoadList(&output, key, scenarios);
}
