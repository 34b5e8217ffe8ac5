#include "dllguard/report/event_reporting.h"
#include "dllguard/report/report_record.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using dllguard::DllProtectInfo;

DllProtectInfo Event(const std::string& name)
{
    DllProtectInfo event;
    event.requestedName = name;
    event.checkedPath = "p";
    event.resultName = "VULNERABLE_PATH";
    event.functionName = "LoadLibraryA";
    event.callerAddress = "0x1";
    event.callerModule = "m";
    event.callerOffset = "0x2";
    event.information = "i";
    return event;
}

// Keeps what the sink receives, copied out of the field pointers.
struct Received {
    std::mutex lock;
    std::vector<std::vector<std::string>> events;
    std::vector<void*> contexts;

    static void Sink(const char* const* fields, void* context)
    {
        auto* self = static_cast<Received*>(context);
        std::lock_guard<std::mutex> guard(self->lock);
        self->events.emplace_back(fields, fields + DllProtectInfo::kFieldCount);
        self->contexts.push_back(context);
    }
};

TEST(EventQueueTest, DispatcherHandsTheEightFieldsInOrderWithTheContext)
{
    Received received;
    dllguard::EventsCbkDumper dumper(&Received::Sink, &received);
    dumper.Consume(Event("a.dll"));
    ASSERT_EQ(received.events.size(), 1u);
    EXPECT_EQ(received.events[0],
              (std::vector<std::string>{"a.dll", "p", "VULNERABLE_PATH", "LoadLibraryA", "0x1", "m", "0x2", "i"}));
    EXPECT_EQ(received.contexts[0], &received);
}

TEST(EventQueueTest, EventsOfManyThreadsAllArriveEachThreadInOrder)
{
    Received received;
    dllguard::EventsCbkDumper dumper(&Received::Sink, &received);
    dllguard::SynchronizedQueueConsumer queue(dumper);
    ASSERT_TRUE(queue.Start());
    constexpr int kThreads = 4, kEach = 50;
    std::vector<std::thread> producers;
    for (int t = 0; t < kThreads; ++t) {
        producers.emplace_back([&queue, t] {
            for (int i = 0; i < kEach; ++i)
                queue.Push(Event(std::to_string(t) + ":" + std::to_string(i)));
        });
    }
    for (auto& producer : producers)
        producer.join();
    queue.Stop();  // hands over whatever is still queued

    ASSERT_EQ(received.events.size(), size_t(kThreads * kEach));
    std::vector<int> next(kThreads, 0);
    for (const auto& fields : received.events) {
        const int thread = std::stoi(fields[0]);
        EXPECT_EQ(std::stoi(fields[0].substr(fields[0].find(':') + 1)), next[thread]++);
    }
}

TEST(EventQueueTest, WithASinkEventsGoThroughTheQueueAndNoFileIsWritten)
{
    TempFolder folder;
    Received received;
    dllguard::GuardEventReporting reporting;
    reporting.InstallEventSink(&Received::Sink, &received);
    reporting.SetReportFile(folder / L"report.V2");
    ASSERT_TRUE(reporting.StartQueue());
    reporting.Report(Event("a.dll"));
    reporting.Report(Event("b.dll"));
    reporting.StopQueue();
    ASSERT_EQ(received.events.size(), 2u);
    EXPECT_EQ(received.events[1][0], "b.dll");
    EXPECT_FALSE(Exists(folder / L"report.V2"));
}

TEST(EventQueueTest, SwitchedOffReportingDiscardsEvents)
{
    TempFolder folder;
    dllguard::GuardEventReporting reporting;
    reporting.InstallEventSink(&dllguard::NoOpEventSink, nullptr);
    reporting.SetReportFile(folder / L"report.V2");
    ASSERT_TRUE(reporting.StartQueue());
    reporting.Report(Event("a.dll"));
    reporting.StopQueue();
    EXPECT_FALSE(Exists(folder / L"report.V2"));
}

TEST(EventQueueTest, WithoutAQueueEventsAreWrittenToTheReportFile)
{
    TempFolder folder;
    dllguard::GuardEventReporting reporting;
    reporting.SetReportFile(folder / L"report.V2");
    reporting.Report(Event("a.dll"));
    reporting.Report(Event("b.dll"));
    const auto records = dllguard::ParseReport(ReadBytes(folder / L"report.V2"));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].event, Event("a.dll"));
    EXPECT_EQ(records[1].event, Event("b.dll"));
}

}  // namespace
