#include "dllguard/report/report_file_writer.h"
#include "dllguard/report/report_record.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using dllguard::DllProtectInfo;
using dllguard::ReportFileWriter;
using dllguard::ReportWriterSystem;

DllProtectInfo Event(const std::string& name)
{
    DllProtectInfo event;
    event.requestedName = name;
    event.checkedPath = "C:\\Temp\\" + name;
    event.resultName = "VULNERABLE_PATH";
    event.functionName = "LoadLibraryExW";
    event.callerAddress = "0x401000";
    event.information = "paths: exe: C:\\Temp prog: C:\\Program Files";
    return event;
}

uint64_t RecordSize(const DllProtectInfo& event)
{
    std::string body;
    dllguard::EncipherRecord(event, body);
    return 4 + body.size();
}

uint64_t FileSize(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

void MakeFileOfSize(const std::wstring& path, uint64_t size)
{
    const UniqueFile file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file);
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    ASSERT_TRUE(SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(file.get()));
}

TEST(ReportFileWriterTest, RecordsWrittenOneByOneReadBackThroughTheReader)
{
    TempFolder folder;
    const std::wstring path = folder / L"dllReport.test.exe.V2";
    const ReportFileWriter writer;
    const std::vector<DllProtectInfo> events = {Event("a.dll"), Event("b.dll"), Event(std::string(300, 'x') + ".dll")};
    for (const auto& event : events)
        ASSERT_TRUE(writer.Write(path, event));

    const auto records = dllguard::ParseReport(ReadBytes(path));
    ASSERT_EQ(records.size(), events.size());
    for (size_t i = 0; i < events.size(); ++i) {
        EXPECT_EQ(records[i].status, dllguard::RecordStatus::Valid);
        EXPECT_EQ(records[i].event, events[i]);
    }
}

TEST(ReportFileWriterTest, FileBeyondTenMebibytesIsEmptiedFirst)
{
    TempFolder folder;
    const std::wstring path = folder / L"report.V2";
    const ReportFileWriter writer;
    const uint64_t record = RecordSize(Event("a.dll"));
    struct Case {
        uint64_t before, after;
    };
    const Case cases[] = {
        {dllguard::kMaxReportSize, dllguard::kMaxReportSize + record},  // exactly the limit: appended to
        {dllguard::kMaxReportSize + 1, record},                         // one byte more: emptied first
    };
    for (const Case& c : cases) {
        MakeFileOfSize(path, c.before);
        ASSERT_TRUE(writer.Write(path, Event("a.dll")));
        EXPECT_EQ(FileSize(path), c.after) << "starting from " << c.before;
    }
}

// Fails the n-th write call after writing part of it, as a full disk would.
ReportWriterSystem FailingWrite(int failingCall)
{
    ReportWriterSystem system;
    auto calls = std::make_shared<int>(0);
    system.write = [calls, failingCall](HANDLE file, const void* data, DWORD size, DWORD* written) -> BOOL {
        if (++*calls != failingCall)
            return WriteFile(file, data, size, written, nullptr);
        WriteFile(file, data, size / 2, written, nullptr);
        SetLastError(ERROR_DISK_FULL);
        return FALSE;
    };
    return system;
}

TEST(ReportFileWriterTest, FailedWriteLeavesNoPartialRecord)
{
    for (int failingCall : {1, 2}) {  // the length, the body
        TempFolder folder;
        const std::wstring path = folder / L"report.V2";
        ASSERT_TRUE(ReportFileWriter().Write(path, Event("kept.dll")));
        const std::string before = ReadBytes(path);

        EXPECT_FALSE(ReportFileWriter(FailingWrite(failingCall)).Write(path, Event("lost.dll")));
        EXPECT_EQ(ReadBytes(path), before) << "failing write call " << failingCall;

        ASSERT_TRUE(ReportFileWriter().Write(path, Event("after.dll")));
        const auto records = dllguard::ParseReport(ReadBytes(path));
        ASSERT_EQ(records.size(), 2u);
        EXPECT_EQ(records[1].event, Event("after.dll"));
    }
}

// Another writer holds the file without sharing until the waits add up to `heldMs`.
TEST(ReportFileWriterTest, SharingViolationIsWaitedOutUpToTenRetries)
{
    struct Case {
        DWORD heldMs;
        bool written;
        int sleeps;
    };
    const Case cases[] = {
        {0, true, 0},
        {50, true, 5},
        {100, true, 10},
        {110, false, 10},  // still held after the last retry: the event is dropped
    };
    for (const Case& c : cases) {
        TempFolder folder;
        const std::wstring path = folder / L"report.V2";
        UniqueFile holder;
        if (c.heldMs > 0)
            holder.reset(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD slept = 0;
        int sleeps = 0;
        ReportWriterSystem system;
        system.sleep = [&](DWORD ms) {
            EXPECT_EQ(ms, dllguard::kOpenRetryDelayMs);
            ++sleeps;
            slept += ms;
            if (slept >= c.heldMs)
                holder.reset();
        };
        EXPECT_EQ(ReportFileWriter(system).Write(path, Event("a.dll")), c.written) << "held " << c.heldMs;
        EXPECT_EQ(sleeps, c.sleeps) << "held " << c.heldMs;
        holder.reset();
        EXPECT_EQ(dllguard::ParseReport(ReadBytes(path)).size(), c.written ? 1u : 0u);
    }
}

// The same with a real clock and a real second writer.
TEST(ReportFileWriterTest, FileHeldByAnotherThreadFor50MsIsStillWritten)
{
    TempFolder folder;
    const std::wstring path = folder / L"report.V2";
    UniqueFile holder(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holder);
    std::thread other([&] {
        Sleep(50);
        holder.reset();
    });
    EXPECT_TRUE(ReportFileWriter().Write(path, Event("a.dll")));
    other.join();
    EXPECT_EQ(dllguard::ParseReport(ReadBytes(path)).size(), 1u);
}

TEST(ReportFileWriterTest, NoFileNameNoRecord)
{
    EXPECT_FALSE(ReportFileWriter().Write(L"", Event("a.dll")));
}

}  // namespace
