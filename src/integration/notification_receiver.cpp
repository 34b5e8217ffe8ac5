#include "integration/notification_receiver.h"

#include "integration/tesdk_runner.h"
#include "json/json_document.h"
#include "json/json_values.h"
#include "base/text_conversion.h"


IntegrationNotificationReceiver::IntegrationNotificationReceiver()
    : arrivalHandles_{arrivals_[PolicyArrived].get(), arrivals_[ResponseArrived].get()}
{
}

IntegrationNotificationReceiver::~IntegrationNotificationReceiver()
{
    // The library must stop calling in before the events and texts go.
    Shutdown();
}

ResultCode IntegrationNotificationReceiver::Start(const std::string& requestId, const cv::StringW& taskId)
{
    cv::tesdk::SdkLoadOptions options;
    options.requireSignedLibrary = true;
    const ResultCode status = Initialize(WideToUtf8(TesdkRunner::GetTesdkLocation().view()), options);
    if (status != result::Success)
        return status;
    std::lock_guard<std::mutex> guard(texts_);
    requestId_ = requestId;
    taskId_ = taskId;
    stopped_ = false;
    return result::Success;
}

void IntegrationNotificationReceiver::OnNotification(std::string_view name, std::string_view data)
{
    if (name != "FileScan.OnDemand.ScanLog.Policy")
        return;
    Json::Value document;
    if (!ParseJsonDocument(data, document))
        return;
    std::wstring taskId;
    if (!GetWideString(taskId, document, "taskid"))
        return;
    std::lock_guard<std::mutex> guard(texts_);
    if (taskId_ != std::wstring_view(taskId))
        return;
    policyText_.assign(data);
    arrivals_[PolicyArrived].Set();
}

void IntegrationNotificationReceiver::OnResponse(std::string_view requestId, ResultCode result, std::string_view response)
{
    std::lock_guard<std::mutex> guard(texts_);
    if (requestId != requestId_)
        return;
    responseResult_ = result;
    responseText_.assign(response);
    arrivals_[ResponseArrived].Set();
}

void IntegrationNotificationReceiver::ResetArrivals()
{
    arrivals_[PolicyArrived].Clear();
    arrivals_[ResponseArrived].Clear();
}

ResultCode IntegrationNotificationReceiver::ResponseResult() const
{
    std::lock_guard<std::mutex> guard(texts_);
    return responseResult_;
}

std::string IntegrationNotificationReceiver::ResponseText() const
{
    std::lock_guard<std::mutex> guard(texts_);
    return responseText_;
}

std::string IntegrationNotificationReceiver::PolicyText() const
{
    std::lock_guard<std::mutex> guard(texts_);
    return policyText_;
}
