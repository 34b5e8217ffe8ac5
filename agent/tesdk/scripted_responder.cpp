#include "scripted_responder.h"

#include "agent_documents.h"
#include "common/agent_folders.h"

#include <windows.h>

#include <json/reader.h>

#include <fstream>
#include <sstream>
#include <vector>

namespace standin {
namespace {

// Script numbers without exceptions: a negative number keeps its bits.
uint32_t UIntOf(const Json::Value& value, uint32_t fallback = 0)
{
    if (value.isUInt())
        return value.asUInt();
    if (value.isInt())
        return static_cast<uint32_t>(value.asInt());
    return fallback;
}

uint64_t DelayOf(const Json::Value& answer)
{
    const Json::Value& delay = answer["delay_ms"];
    return delay.isUInt64() ? delay.asUInt64() : 0;
}

// The built-in answer to anything the script does not know.
Json::Value BuiltInDefault()
{
    Json::Value answer;
    answer["error"] = 50;  // ERROR_NOT_SUPPORTED
    answer["output"]["message"] = "not scripted";
    return answer;
}

std::string JsonPathValue(const Json::Value& root, const std::string& path)
{
    const Json::Value* node = &root;
    size_t start = 0;
    while (start <= path.size()) {
        const size_t slash = path.find('/', start);
        const std::string name = path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (!name.empty()) {
            if (!node->isObject() || !node->isMember(name))
                return {};
            node = &(*node)[name];
        }
        if (slash == std::string::npos)
            break;
        start = slash + 1;
    }
    if (node->isString())
        return node->asString();
    if (node->isNull())
        return {};
    return ToCompactText(*node);
}

// Replaces ${requestId} and ${input:a/b} in every string of the value.
void Substitute(Json::Value& value, const Json::Value& input, const std::string& requestId)
{
    if (value.isString()) {
        std::string text = value.asString();
        std::string out;
        size_t position = 0;
        while (position < text.size()) {
            const size_t open = text.find("${", position);
            const size_t close = open == std::string::npos ? std::string::npos : text.find('}', open);
            if (close == std::string::npos) {
                out += text.substr(position);
                break;
            }
            out += text.substr(position, open - position);
            const std::string token = text.substr(open + 2, close - open - 2);
            if (token == "requestId")
                out += requestId;
            else if (token.rfind("input:", 0) == 0)
                out += JsonPathValue(input, token.substr(6));
            else
                out += text.substr(open, close - open + 1);
            position = close + 1;
        }
        value = out;
    } else if (value.isArray() || value.isObject()) {
        for (auto& child : value)
            Substitute(child, input, requestId);
    }
}

std::vector<Delivery> Notifications(const Json::Value& answer)
{
    std::vector<Delivery> deliveries;
    for (const auto& notification : answer["notifications"]) {
        Delivery delivery;
        delivery.kind = Delivery::Kind::Notification;
        delivery.name = notification["name"].isString() ? notification["name"].asString() : std::string();
        const Json::Value& data = notification["data"];
        delivery.data = data.isString() ? data.asString() : ToCompactText(data);
        delivery.delayMs = DelayOf(notification);
        deliveries.push_back(std::move(delivery));
    }
    return deliveries;
}

MethodResult ResultOf(const MethodCall& call, const Json::Value& answer)
{
    MethodResult result;
    result.module = call.module;
    result.method = call.method;
    result.error = static_cast<int32_t>(UIntOf(answer["error"]));
    result.omitError = answer["omit_error"].isBool() && answer["omit_error"].asBool();
    result.output = answer["output"];
    return result;
}

}  // namespace

std::unique_ptr<ScriptedResponder> ScriptedResponder::FromEnvironment()
{
    const std::wstring path = common::EnvironmentText(L"PRODUCT_TESDK_SCRIPT");
    if (path.empty())
        return nullptr;
    std::ifstream file(path.c_str(), std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    Json::Value script;
    Json::CharReaderBuilder builder;
    std::string errors;
    if (!file || !Json::parseFromStream(builder, content, &script, &errors) || !script.isObject()) {
        // A broken script is a broken test: say so on every answer.
        script = Json::Value(Json::objectValue);
        script["default"]["error"] = 1627;
        script["default"]["output"]["message"] = "script unreadable: " + errors;
    }
    return std::make_unique<ScriptedResponder>(std::move(script));
}

ScriptedResponder::ScriptedResponder(Json::Value script) : script_(std::move(script)) {}

Json::Value ScriptedResponder::NextFrom(const Json::Value& entry, const std::string& key)
{
    if (!entry.isArray())
        return entry;
    if (entry.empty())
        return Json::Value(Json::objectValue);
    std::lock_guard<std::mutex> guard(lock_);
    Json::ArrayIndex& position = position_[key];
    const Json::Value answer = entry[position];
    if (position + 1 < entry.size())
        ++position;
    return answer;
}

Json::Value ScriptedResponder::NextAnswer(const std::string& key)
{
    const Json::Value& answers = script_["answers"];
    if (answers.isObject() && answers.isMember(key))
        return NextFrom(answers[key], key);
    if (script_.isMember("default"))
        return NextFrom(script_["default"], "default");
    return BuiltInDefault();
}

InstanceOutcome ScriptedResponder::OnCreateInstance()
{
    if (!script_.isMember("instance"))
        return {};
    const Json::Value answer = NextFrom(script_["instance"], "instance");
    InstanceOutcome outcome;
    outcome.status = UIntOf(answer["status"]);
    outcome.nullInstance = answer["null"].isBool() && answer["null"].asBool();
    return outcome;
}

RequestOutcome ScriptedResponder::OnRequest(const std::string& request)
{
    RequestOutcome outcome;
    std::vector<MethodResult> results;
    std::string raw;
    bool haveRaw = false;
    for (const auto& call : ParseRequestDocument(request)) {
        Json::Value answer = NextAnswer(call.module + "/" + call.method);
        Substitute(answer, call.input, std::string());
        outcome.delayMs = std::max(outcome.delayMs, DelayOf(answer));
        if (outcome.status == 0)
            outcome.status = UIntOf(answer["status"]);
        if (answer.isMember("raw")) {
            raw = answer["raw"].isString() ? answer["raw"].asString() : ToCompactText(answer["raw"]);
            haveRaw = true;
        }
        for (auto& notification : Notifications(answer))
            outcome.followUps.push_back(std::move(notification));
        results.push_back(ResultOf(call, answer));
    }
    outcome.response = haveRaw ? raw : WriteResponseDocument(results);
    return outcome;
}

PostOutcome ScriptedResponder::OnPost(const std::string& request, const std::string& requestId)
{
    PostOutcome outcome;
    for (const auto& call : ParseRequestDocument(request)) {
        Json::Value answer = NextAnswer(call.module + "/" + call.method);
        Substitute(answer, call.input, requestId);
        if (outcome.status == 0)
            outcome.status = UIntOf(answer["post_status"]);
        for (auto& notification : Notifications(answer))
            outcome.deliveries.push_back(std::move(notification));
        if (answer["no_answer"].isBool() && answer["no_answer"].asBool())
            continue;
        Delivery response;
        response.kind = Delivery::Kind::Response;
        response.name = requestId;
        response.result = UIntOf(answer["result"]);
        response.delayMs = DelayOf(answer);
        response.data = !answer.isMember("raw")       ? WriteResponseDocument({ResultOf(call, answer)})
                        : answer["raw"].isString() ? answer["raw"].asString()
                                                   : ToCompactText(answer["raw"]);
        outcome.deliveries.push_back(std::move(response));
    }
    return outcome;
}

}  // namespace standin
