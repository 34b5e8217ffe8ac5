#include "dllguard/report/event_reporting.h"

#include "dllguard/report/report_path.h"
#include "dllguard/trace/trace.h"

#include <new>

namespace dllguard {
namespace {

constexpr char kStart[] = "DllProtectStart";

}  // namespace

GuardEventReporting::GuardEventReporting(ReportFileWriter writer) : writer_(std::move(writer)) {}

GuardEventReporting::~GuardEventReporting() { StopQueue(); }

void GuardEventReporting::InstallEventSink(EventSink sink, void* context)
{
    sink_ = sink;
    sinkContext_ = context;
}

void GuardEventReporting::PrepareReportFile(const std::wstring& processName)
{
    reportFile_ = ProcessReportFilePath(reportFolder_, processName);
}

bool GuardEventReporting::StartQueue()
{
    std::unique_ptr<EventsConsumerBase> dispatcher(new (std::nothrow) EventsCbkDumper(sink_, sinkContext_));
    if (!dispatcher) {
        trace::Detail(kStart, "failed to alloc events consumer");
        return false;
    }
    std::unique_ptr<SynchronizedQueueConsumer> queue(new (std::nothrow) SynchronizedQueueConsumer(*dispatcher));
    if (!queue || !queue->Start()) {
        trace::Detail(kStart, "failed to alloc events queue");
        return false;
    }
    std::lock_guard<std::mutex> lock(queueLock_);
    dispatcher_ = std::move(dispatcher);
    queue_ = std::move(queue);
    return true;
}

void GuardEventReporting::StopQueue()
{
    std::unique_ptr<SynchronizedQueueConsumer> queue;
    std::unique_ptr<EventsConsumerBase> dispatcher;
    {
        std::lock_guard<std::mutex> lock(queueLock_);
        queue = std::move(queue_);
        dispatcher = std::move(dispatcher_);
    }
    if (queue)
        queue->Stop();
    // the queue goes before the dispatcher it consumes into
    queue.reset();
}

void GuardEventReporting::Report(const DllProtectInfo& event)
{
    {
        std::lock_guard<std::mutex> lock(queueLock_);
        if (queue_) {
            queue_->Push(event);
            return;
        }
    }
    writer_.Write(reportFile_, event);
}

GuardEventReporting& GuardEvents()
{
    // Never destroyed: hooks on other threads may report until the process
    // ends. The guard's stop ends the queue and its thread.
    static GuardEventReporting* const reporting = new GuardEventReporting();
    return *reporting;
}

}  // namespace dllguard
