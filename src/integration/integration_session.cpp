#include "integration/integration_session.h"

#include "json/json_composed_serializer.h"
#include "json/json_document.h"

#include <json/writer.h>

IntegrationRequest BuildRequest(std::string_view module, std::vector<RequestMethod> methods)
{
    IntegrationRequest request;
    request.type = cv::StringA("tesdk");
    RequestModule target;
    target.name = cv::StringA(module);
    target.methods = std::move(methods);
    request.modules.push_back(std::move(target));
    return request;
}

IntegrationRequest BuildRequest(std::string_view module, std::string_view method, Json::Value params)
{
    std::vector<RequestMethod> methods(1);
    methods.front().name = cv::StringA(method);
    methods.front().params = std::move(params);
    return BuildRequest(module, std::move(methods));
}

std::string WriteRequestDocument(const IntegrationRequest& request)
{
    Json::Value document(Json::objectValue);
    document["type"] = std::string(request.type.view());
    Json::Value& data = document["data"];
    data = Json::Value(Json::objectValue);
    for (const auto& module : request.modules)
        JsonComposedSerializer::WriteMethodCalls(&data, module.name.view(), module.methods);
    return Json::StyledWriter().write(document);
}

ResultCode Send(cv::tesdk::Integration& connection, const IntegrationRequest& request, IntegrationResponse& response,
                uint32_t timeoutMs)
{
    const std::string document = WriteRequestDocument(request);
    std::string answer;
    const ResultCode status = connection.RequestUnderLock(document, answer, timeoutMs);
    if (status == result::Success)
        response = ParseResponse(answer);
    return status;
}

ResultCode PostRequest(cv::tesdk::Integration& connection, const IntegrationRequest& request,
                       const std::string& requestId)
{
    return connection.PostUnderLock(WriteRequestDocument(request), requestId);
}

IntegrationResponse ParseResponse(const std::string& text)
{
    IntegrationResponse response;
    response.type = cv::StringA("tesdk");
    Json::Value document;
    if (!ParseJsonDocument(text, document))
        return response;
    const Json::Value* data = FindPath(&document, "response/data");
    if (data == nullptr || !data->isObject())
        return response;
    for (const auto& name : data->getMemberNames()) {
        ResponseModule module;
        module.name = cv::StringA(name);
        if (!JsonComposedSerializer::LoadList(data, name, module.results)) {
            response.modules.clear();  // one broken module list empties the whole response
            return response;
        }
        response.modules.push_back(std::move(module));
    }
    return response;
}

const ResponseMethod* FindMethod(const IntegrationResponse& response, std::string_view module,
                                 std::string_view method)
{
    for (const auto& candidate : response.modules) {
        if (candidate.name.view() != module)
            continue;
        for (const auto& result : candidate.results) {
            if (result.name.view() == method)
                return &result;
        }
        return nullptr;  // only the first module of that name counts
    }
    return nullptr;
}
