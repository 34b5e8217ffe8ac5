#pragma once
// Where the guard's events go. Start-up installs an event sink or records a
// report folder; the guard's start computes the report file and, with a
// sink, starts the events queue. Without a queue each event is written to
// the report file on the thread that reports it.
#include "dllguard/report/events_consumer.h"
#include "dllguard/report/report_file_writer.h"
#include "dllguard/report/report_path.h"
#include "dllguard/report/synchronized_queue_consumer.h"

#include <memory>
#include <mutex>
#include <string>

namespace dllguard {

class GuardEventReporting {
public:
    explicit GuardEventReporting(ReportFileWriter writer = ReportFileWriter());
    ~GuardEventReporting();
    GuardEventReporting(const GuardEventReporting&) = delete;
    GuardEventReporting& operator=(const GuardEventReporting&) = delete;

    // Start-up settings, made before the guard starts.
    void InstallEventSink(EventSink sink, void* context);
    bool HasEventSink() const { return sink_ != nullptr; }
    void SetReportFolder(std::wstring folder) { reportFolder_ = std::move(folder); }
    const std::wstring& ReportFolder() const { return reportFolder_; }

    // The report file for `processName` by the folder rules.
    void PrepareReportFile(const std::wstring& processName);
    // Tests and tools may name the file directly; it is checked from the
    // folder it is in.
    void SetReportFile(const std::wstring& path) { reportFile_ = ExactPathInItsFolder(path); }
    void SetReportFile(ExactPath path) { reportFile_ = std::move(path); }
    const std::wstring& ReportFile() const { return reportFile_.Full(); }

    // Creates the sink dispatcher and the events queue with its consumer
    // thread; false (with a trace line) when either cannot be created.
    bool StartQueue();
    // Hands over the queued events, joins the consumer thread and releases
    // the queue and the dispatcher.
    void StopQueue();

    void Report(const DllProtectInfo& event);

private:
    ReportFileWriter writer_;
    EventSink sink_ = nullptr;
    void* sinkContext_ = nullptr;
    std::wstring reportFolder_;
    ExactPath reportFile_;
    std::mutex queueLock_;
    std::unique_ptr<EventsConsumerBase> dispatcher_;
    std::unique_ptr<SynchronizedQueueConsumer> queue_;
};

// The process's reporting state.
GuardEventReporting& GuardEvents();

}  // namespace dllguard
