#pragma once
// Scripted agent: answers, delays and events read from the JSON script named
// by PRODUCT_TESDK_SCRIPT. See README.md for the script's form.
#include "responder.h"

#include <json/value.h>

#include <map>
#include <memory>
#include <mutex>

namespace standin {

class ScriptedResponder : public Responder {
public:
    static std::unique_ptr<ScriptedResponder> FromEnvironment();
    explicit ScriptedResponder(Json::Value script);

    InstanceOutcome OnCreateInstance() override;
    RequestOutcome OnRequest(const std::string& request) override;
    PostOutcome OnPost(const std::string& request, const std::string& requestId) override;

private:
    // The next answer for "Module/Method": lists are consumed in order, the
    // last entry repeating.
    Json::Value NextAnswer(const std::string& key);
    Json::Value NextFrom(const Json::Value& entry, const std::string& key);

    Json::Value script_;
    std::mutex lock_;
    std::map<std::string, Json::ArrayIndex> position_;
};

}  // namespace standin
