#include "bench_documents.h"

#include <json/writer.h>

namespace bench {

Json::Value ResponseDocument(size_t methods)
{
    Json::Value document(Json::objectValue);
    Json::Value& list = document["response"]["data"]["Product"];
    list = Json::Value(Json::arrayValue);
    for (size_t i = 0; i < methods; ++i) {
        Json::Value method(Json::objectValue);
        method["@name"] = "GetStatus";
        method["error"] = static_cast<Json::Int>(i % 3);
        method["output"]["Version"] = "1.2.3." + std::to_string(i);
        method["output"]["running"] = (i % 2) == 0;
        list.append(std::move(method));
    }
    return document;
}

std::string ResponseText(size_t methods)
{
    // Compact, as the agent writes it.
    return Json::FastWriter().write(ResponseDocument(methods));
}

Json::Value ProductStatus()
{
    Json::Value status(Json::objectValue);
    Json::Value& product = status["Locations"]["Product"];
    product["Version"] = "1.2.3.4";
    product["check"]["error"] = 0;
    product["check"]["lastSucceededTime"] = Json::Int64(1700000000);
    product["check"]["time"] = Json::Int64(1700000300);
    product["update"]["error"] = 7;
    product["update"]["lastSucceededTime"] = Json::Int64(1690000000);
    product["update"]["time"] = Json::Int64(1700000600);
    product["restartNeeded"] = false;
    status["Locations"]["Antivirus"]["Version"] = 42;
    status["Locations"]["Antivirus"]["signatures"] = Json::UInt64(18446744073709551615ull);
    return status;
}

}  // namespace bench
