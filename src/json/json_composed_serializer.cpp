#include "json/json_composed_serializer.h"

#include "base/logging.h"
#include "base/text_conversion.h"

#include <atomic>

namespace {

void LogFailedSubnode(std::string_view key)
{
    if (!logging::BridgeAvailable())
        return;
    const std::wstring wideKey = Utf8ToWide(key);
    logging::Diagnostic(logging::level::Detail, L"JsonComposedSerializer::Load", L"Failed to load subnode %s",
                        wideKey.c_str());
}

std::atomic<JsonComposedSerializer::TraceSink> traceSink{&LogFailedSubnode};

// Stands in for a record node that is missing: its fields then fail.
const Json::Value& MissingNode()
{
    static const Json::Value missing;
    return missing;
}

}  // namespace

JsonComposedSerializer::TraceSink JsonComposedSerializer::SetTraceSink(TraceSink sink)
{
    return traceSink.exchange(sink != nullptr ? sink : &LogFailedSubnode);
}

void JsonComposedSerializer::TraceFailedSubnode(std::string_view key) { traceSink.load()(key); }

std::string JsonComposedSerializer::ElementPath(std::string_view key, Json::ArrayIndex index)
{
    // "%s[%i]", without %s stopping at a NUL inside the key.
    std::string path(key);
    path += FormatString("[%i]", static_cast<int>(index));
    return path;
}

bool JsonComposedSerializer::IsPresent(const Json::Value* context, std::string_view member)
{
    if (context == nullptr || !context->isObject())
        return false;
    const Json::Value* value = context->find(member.data(), member.data() + member.size());
    return value != nullptr && !value->isNull();
}

const Json::Value* JsonComposedSerializer::RecordContext(const Json::Value* parent, std::string_view key)
{
    // The lookup is the create-mode one without touching the document: a
    // node that create mode would make (or reset) is a null node here.
    if (key.empty())
        return parent;
    if (!IsValidPath(key))
        return nullptr;
    const Json::Value* node = FindPath(parent, key);
    return node != nullptr ? node : &MissingNode();
}

bool JsonComposedSerializer::ReadScalar(const Json::Value& context, std::string_view key, int32_t& out)
{
    return GetInt32(out, context, key);
}

bool JsonComposedSerializer::ReadScalar(const Json::Value& context, std::string_view key, ResultCode& out)
{
    // The agent writes a code signed or unsigned; its 32 bits are kept either way.
    int32_t code = 0;
    const bool read = GetInt32(code, context, key);
    out = ResultCode(code);
    return read;
}

bool JsonComposedSerializer::ReadScalar(const Json::Value& context, std::string_view key, bool& out)
{
    return GetBool(out, context, key);
}

bool JsonComposedSerializer::ReadScalar(const Json::Value& context, std::string_view key, uint64_t& out)
{
    return GetUInt64(out, context, key);
}

bool JsonComposedSerializer::ReadScalar(const Json::Value& context, std::string_view key, int64_t& out)
{
    return GetInt64(out, context, key);
}

bool JsonComposedSerializer::ReadScalar(const Json::Value& context, std::string_view key, std::string& out)
{
    return GetUtf8String(out, context, key);
}

bool JsonComposedSerializer::ReadScalar(const Json::Value& context, std::string_view key, cv::StringA& out)
{
    return GetUtf8String(out, context, key);
}

bool JsonComposedSerializer::ReadScalar(const Json::Value& context, std::string_view key, std::wstring& out)
{
    return GetWideString(out, context, key);
}

bool JsonComposedSerializer::ReadScalar(const Json::Value& context, std::string_view key, cv::StringW& out)
{
    return GetWideString(out, context, key);
}

bool JsonComposedSerializer::ReadScalar(const Json::Value& context, std::string_view key, Json::Value& out)
{
    out = Json::Value();
    const Json::Value* node = FindPath(&context, key);
    if (node == nullptr)
        return false;
    out = *node;
    return true;
}

bool JsonComposedSerializer::WriteMethodCalls(Json::Value* parent, std::string_view key,
                                              const std::vector<RequestMethod>& calls)
{
    if (parent == nullptr || key.empty())
        return false;
    Json::Value* list = FindPath(parent, key, PathMode::Create);
    if (list == nullptr)
        return false;
    *list = Json::Value(Json::arrayValue);
    Json::ArrayIndex index = 0;
    for (const RequestMethod& call : calls) {
        if (index > static_cast<Json::ArrayIndex>(INT_MAX))
            return false;
        Json::Value* element = FindPath(parent, ElementPath(key, index++), PathMode::Create);
        if (element == nullptr || !SetUtf8String(*element, "@name", call.name.view()) ||
            !SetValue(*element, "input", call.params))
            return false;
    }
    return true;
}
