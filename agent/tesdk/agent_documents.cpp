#include "agent_documents.h"

#include <json/reader.h>
#include <json/writer.h>

#include <memory>

namespace standin {

std::vector<MethodCall> ParseRequestDocument(const std::string& text)
{
    std::vector<MethodCall> calls;
    Json::CharReaderBuilder builder;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value document;
    std::string errors;
    if (!reader->parse(text.data(), text.data() + text.size(), &document, &errors) || !document.isObject())
        return calls;
    const Json::Value& data = document["data"];
    if (!data.isObject())
        return calls;
    for (const auto& module : data.getMemberNames()) {
        const Json::Value& methods = data[module];
        if (!methods.isArray())
            continue;
        for (const auto& method : methods) {
            if (!method.isObject() || !method["@name"].isString())
                continue;
            calls.push_back({module, method["@name"].asString(), method["input"]});
        }
    }
    return calls;
}

std::string WriteResponseDocument(const std::vector<MethodResult>& results)
{
    Json::Value data(Json::objectValue);
    for (const auto& result : results) {
        Json::Value entry(Json::objectValue);
        entry["@name"] = result.method;
        if (!result.omitError)
            entry["error"] = result.error;
        if (!result.output.isNull())
            entry["output"] = result.output;
        Json::Value& list = data[result.module];
        if (!list.isArray())
            list = Json::Value(Json::arrayValue);
        list.append(entry);
    }
    Json::Value document;
    document["response"]["type"] = "tesdk";
    document["response"]["data"] = data;
    return ToCompactText(document);
}

std::string ToCompactText(const Json::Value& value)
{
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    return Json::writeString(builder, value);
}

}  // namespace standin
