#pragma once
// A listening connection for one asynchronous operation: it waits for the
// answer to a posted request (matched by request identifier) and for the
// "FileScan.OnDemand.ScanLog.Policy" event of a task (matched by task
// identifier), stores what arrives and signals one event per kind. Nothing is
// sent through it.
#include "base/event.h"
#include "boundary/cv_string.h"
#include "integration/integration_ex.h"

#include <atomic>
#include <mutex>
#include <string>

class IntegrationNotificationReceiver : public cv::tesdk::IntegrationEx {
public:
    enum Arrival { PolicyArrived = 0, ResponseArrived = 1 };

    IntegrationNotificationReceiver();
    ~IntegrationNotificationReceiver() override;

    // Opens the connection (registering the callbacks before the caller
    // posts anything), then keeps the identifiers to match. Returns the
    // connection's result; on failure nothing is stored.
    ResultCode Start(const std::string& requestId, const cv::StringW& taskId);

    void OnNotification(std::string_view name, std::string_view data) override;
    void OnResponse(std::string_view requestId, ResultCode result, std::string_view response) override;

    // Manual-reset events: [PolicyArrived], [ResponseArrived].
    const HANDLE* ArrivalEvents() const { return arrivalHandles_; }
    void ResetArrivals();

    // Read after the arrival events have been seen set.
    ResultCode ResponseResult() const;
    std::string ResponseText() const;
    std::string PolicyText() const;

    std::atomic<bool>& Stopped() { return stopped_; }

private:
    Event arrivals_[2] = {Event(Event::Reset::Manual, false), Event(Event::Reset::Manual, false)};
    const HANDLE arrivalHandles_[2];  // the two, in order, for one wait on both
    std::string requestId_;
    cv::StringW taskId_;
    ResultCode responseResult_ = result::Success;
    std::string responseText_;
    std::string policyText_;
    // The callbacks run on the library's threads; the texts are guarded so a
    // late second arrival cannot tear a text the command is reading.
    mutable std::mutex texts_;
    std::atomic<bool> stopped_{false};
};
