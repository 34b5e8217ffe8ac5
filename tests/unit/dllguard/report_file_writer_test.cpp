#include "dllguard/report/report_file_writer.h"
#include "dllguard/report/report_path.h"
#include "dllguard/report/report_record.h"
#include "dllguard/trace/tracer.h"
#include "file_links.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <numeric>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using dllguard::DllProtectInfo;
using dllguard::ReportFileWriter;
using dllguard::ReportWriterSystem;

// The report file `name` in `folder`, checked from that folder.
ExactPath In(const TempFolder& folder, const wchar_t* name) { return ExactPath(folder.Path(), name); }

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
    const ExactPath path = In(folder, L"dllReport.test.exe.V2");
    const ReportFileWriter writer;
    const std::vector<DllProtectInfo> events = {Event("a.dll"), Event("b.dll"), Event(std::string(300, 'x') + ".dll")};
    for (const auto& event : events)
        ASSERT_TRUE(writer.Write(path, event));

    const auto records = dllguard::ParseReport(ReadBytes(path.Full()));
    ASSERT_EQ(records.size(), events.size());
    for (size_t i = 0; i < events.size(); ++i) {
        EXPECT_EQ(records[i].status, dllguard::RecordStatus::Valid);
        EXPECT_EQ(records[i].event, events[i]);
    }
}

TEST(ReportFileWriterTest, FileBeyondTenMebibytesIsEmptiedFirst)
{
    TempFolder folder;
    const ExactPath path = In(folder, L"report.V2");
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
        MakeFileOfSize(path.Full(), c.before);
        ASSERT_TRUE(writer.Write(path, Event("a.dll")));
        EXPECT_EQ(FileSize(path.Full()), c.after) << "starting from " << c.before;
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
        const ExactPath path = In(folder, L"report.V2");
        ASSERT_TRUE(ReportFileWriter().Write(path, Event("kept.dll")));
        const std::string before = ReadBytes(path.Full());

        EXPECT_FALSE(ReportFileWriter(FailingWrite(failingCall)).Write(path, Event("lost.dll")));
        EXPECT_EQ(ReadBytes(path.Full()), before) << "failing write call " << failingCall;

        ASSERT_TRUE(ReportFileWriter().Write(path, Event("after.dll")));
        const auto records = dllguard::ParseReport(ReadBytes(path.Full()));
        ASSERT_EQ(records.size(), 2u);
        EXPECT_EQ(records[1].event, Event("after.dll"));
    }
}

constexpr uint32_t kMiddle = 0x80000000u;
constexpr uint32_t kTop = 0xFFFFFFFFu;

// Another writer holds the file without sharing until the waits add up to
// `heldMs`; each wait is what the draw `random` gives: kMiddle the mean of
// each wait (10, 20, 40, 80, then 160 ms: 1110 ms in all), 0 the shortest,
// kTop the longest.
TEST(ReportFileWriterTest, SharingViolationIsWaitedOutUpToTenRetries)
{
    struct Case {
        DWORD heldMs;
        uint32_t random;
        bool written;
        int sleeps;
    };
    const Case cases[] = {
        {0, kMiddle, true, 0},
        {40, kMiddle, true, 3},
        {1110, kMiddle, true, 10},
        {1120, kMiddle, false, 10},  // still held after the last retry: the event is dropped
        {40, 0, true, 4},
        {40, kTop, true, 2},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        const ExactPath path = In(folder, L"report.V2");
        UniqueFile holder;
        if (c.heldMs > 0)
            holder.reset(CreateFileW(path.Full().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD slept = 0;
        int sleeps = 0;
        ReportWriterSystem system;
        system.random = [&c] { return c.random; };
        system.sleep = [&](DWORD ms) {
            EXPECT_EQ(ms, dllguard::OpenRetryDelay(sleeps, c.random));
            ++sleeps;
            slept += ms;
            if (slept >= c.heldMs)
                holder.reset();
        };
        const std::string what = "held " + std::to_string(c.heldMs) + " drawn " + std::to_string(c.random);
        EXPECT_EQ(ReportFileWriter(system).Write(path, Event("a.dll")), c.written) << what;
        EXPECT_EQ(sleeps, c.sleeps) << what;
        holder.reset();
        EXPECT_EQ(dllguard::ParseReport(ReadBytes(path.Full())).size(), c.written ? 1u : 0u);
    }
}

// The same with a real clock and a real second writer.
TEST(ReportFileWriterTest, FileHeldByAnotherThreadFor50MsIsStillWritten)
{
    TempFolder folder;
    const ExactPath path = In(folder, L"report.V2");
    UniqueFile holder(CreateFileW(path.Full().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holder);
    std::thread other([&] {
        Sleep(50);
        holder.reset();
    });
    EXPECT_TRUE(ReportFileWriter().Write(path, Event("a.dll")));
    other.join();
    EXPECT_EQ(dllguard::ParseReport(ReadBytes(path.Full())).size(), 1u);
}

TEST(ReportFileWriterTest, NoFileNameNoRecord)
{
    EXPECT_FALSE(ReportFileWriter().Write(ExactPath(), Event("a.dll")));
}

// Writers that met at a held file must not meet again at every retry.
TEST(ReportFileWriterTest, RetryWaitsDoubleAndAreSpreadAtRandom)
{
    struct Case {
        int retry;
        uint32_t random;
        DWORD delay;
    };
    const Case cases[] = {
        {0, 0, 5},          {0, kMiddle, 10}, {0, kTop, 15},      {1, kMiddle, 20}, {2, kMiddle, 40},
        {3, kMiddle, 80},   {4, kMiddle, 160}, {9, kMiddle, 160}, {9, 0, 80},       {9, kTop, 240},
    };
    for (const Case& c : cases)
        EXPECT_EQ(dllguard::OpenRetryDelay(c.retry, c.random), c.delay) << c.retry << " " << c.random;

    // Two writers drawing their first wait at the same time, as two threads of one process.
    std::vector<DWORD> first, second;
    std::thread other([&] {
        for (int i = 0; i < 500; ++i)
            second.push_back(dllguard::OpenRetryDelay(0, dllguard::RetryRandom()));
    });
    for (int i = 0; i < 500; ++i)
        first.push_back(dllguard::OpenRetryDelay(0, dllguard::RetryRandom()));
    other.join();
    EXPECT_NE(first, second);
    std::vector<DWORD> all = first;
    all.insert(all.end(), second.begin(), second.end());
    const double mean = std::accumulate(all.begin(), all.end(), 0.0) / static_cast<double>(all.size());
    EXPECT_NEAR(mean, 10.0, 0.5);
    EXPECT_EQ(*std::min_element(all.begin(), all.end()), 5u);
    EXPECT_EQ(*std::max_element(all.begin(), all.end()), 15u);
    EXPECT_EQ(std::set<DWORD>(all.begin(), all.end()).size(), 11u);
}

// A tracer writing readable lines to a file of the test's own.
class CapturedTrace {
public:
    explicit CapturedTrace(const TempFolder& folder) : log_(folder / L"trace.log")
    {
        EXPECT_TRUE(WriteBytes(folder / L"dbg_trace.ini", "DLLPROTECT=2\nkey=TEST\n"));
        dllguard::trace::TraceEnvironment environment;
        environment.settingsFiles = {folder / L"dbg_trace.ini"};
        environment.accessCode = {'T', 'E', 'S', 'T'};
        environment.logFile.path = [this] { return log_; };
        environment.logFile.version = [] { return std::string(); };
        environment.logFile.localTime = [] { return SYSTEMTIME{}; };
        environment.logFile.tickCount = [] { return 0u; };
        environment.openProcessMonitor = [] { return UniqueFile(); };
        tracer_ = std::make_unique<dllguard::trace::Tracer>(environment);
        previous_ = dllguard::trace::ReplaceTracerForTesting(tracer_.get());
    }
    ~CapturedTrace() { dllguard::trace::ReplaceTracerForTesting(previous_); }

    std::string Text() const { return ReadBytes(log_); }

private:
    std::wstring log_;
    std::unique_ptr<dllguard::trace::Tracer> tracer_;
    dllguard::trace::Tracer* previous_ = nullptr;
};

// Another file, 10 MiB and one byte, its first bytes known: a report file
// that large would be emptied before the next record.
std::string MakePrecious(const std::wstring& path)
{
    const std::string head = "a file the guard must never touch";
    EXPECT_TRUE(WriteBytes(path, head));
    const UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(dllguard::kMaxReportSize + 1);
    EXPECT_TRUE(SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN) && SetEndOfFile(file.get()));
    return head;
}

TEST(ReportFileWriterTest, NothingIsWrittenTruncatedOrCutBackThroughAPlantedLink)
{
    struct Case {
        const char* name;
        // Plants in `reports` (under the root) a link to `elsewhere`'s content.
        std::function<bool(const std::wstring& reports, const std::wstring& elsewhere)> plant;
    };
    const Case cases[] = {
        {"report file as a symbolic link",
         [](const std::wstring& reports, const std::wstring& elsewhere) {
             return MakeSymbolicLink(reports + L"\\report.V2", elsewhere + L"\\precious.bin");
         }},
        {"report file as a hard link",
         [](const std::wstring& reports, const std::wstring& elsewhere) {
             return MakeHardLink(reports + L"\\report.V2", elsewhere + L"\\precious.bin");
         }},
        {"report folder as a symbolic link",
         [](const std::wstring& reports, const std::wstring& elsewhere) {
             return RemoveDirectoryW(reports.c_str()) && MakeSymbolicLink(reports, elsewhere);
         }},
    };
    for (const Case& c : cases) {
        TempFolderWithLinks folder;
        const std::wstring reports = folder.MakeFolder(L"root\\reports");
        const std::wstring elsewhere = folder.MakeFolder(L"elsewhere");
        MakePrecious(elsewhere + L"\\precious.bin");
        ASSERT_TRUE(c.plant(reports, elsewhere)) << c.name;
        const std::string before = ReadBytes(elsewhere + L"\\precious.bin");
        {
            CapturedTrace trace(folder);
            // Both failing write calls too: a cut back must not reach the link either.
            for (int failingCall : {0, 1, 2})
                EXPECT_FALSE(ReportFileWriter(FailingWrite(failingCall))
                                 .Write(ExactPath(folder / L"root", L"reports\\report.V2"), Event("a.dll")))
                    << c.name;
            const std::string text = trace.Text();
            EXPECT_NE(text.find("DumpEventToFile() - report file refused, "), std::string::npos) << c.name << text;
            EXPECT_EQ(text.find("cannot open write file"), std::string::npos) << c.name;
        }
        EXPECT_EQ(ReadBytes(elsewhere + L"\\precious.bin"), before) << c.name;
        EXPECT_FALSE(Exists(elsewhere + L"\\report.V2")) << c.name;
    }
}

// The report folder was fine when the guard started and a record went in;
// then it is swapped for a link. The next write is decided on what it opens.
TEST(ReportFileWriterTest, AFolderSwappedAfterEarlierWritesIsRefused)
{
    TempFolderWithLinks folder;
    const std::wstring reports = folder.MakeFolder(L"root\\reports");
    const std::wstring elsewhere = folder.MakeFolder(L"elsewhere");
    const ExactPath path(folder / L"root", L"reports\\report.V2");
    ASSERT_TRUE(ReportFileWriter().Write(path, Event("first.dll")));

    ASSERT_TRUE(MoveFileW(reports.c_str(), (folder / L"root\\moved").c_str()));
    ASSERT_TRUE(MakeSymbolicLink(reports, elsewhere));
    EXPECT_FALSE(ReportFileWriter().Write(path, Event("second.dll")));
    EXPECT_FALSE(Exists(elsewhere + L"\\report.V2"));
    EXPECT_EQ(dllguard::ParseReport(ReadBytes(folder / L"root\\moved\\report.V2")).size(), 1u);
}

TEST(ReportPathTest, TheReportIsCheckedFromProgramDataOrTheExecutablesFolder)
{
    using dllguard::ReportFolderInputs;
    struct Case {
        const char* what;
        ReportFolderInputs inputs;
        std::wstring root;
        std::vector<std::wstring> levels;
    };
    const std::wstring file = L"dllReport.p.exe.V2";
    const std::wstring guid = L"48C4687D-9760-4F5B-BAB3-60351B0841E4";
    const Case cases[] = {
        {"recorded folder: from its parent",
         {L"C:\\ProgramData\\" + guid, false, L"C:\\app", L"C:\\ProgramData"},
         L"C:\\ProgramData",
         {L"C:\\ProgramData\\" + guid, L"C:\\ProgramData\\" + guid + L"\\" + file}},
        {"elevated: the executable's folder", {L"", true, L"C:\\app", L"C:\\ProgramData"}, L"C:\\app",
         {L"C:\\app\\" + file}},
        {"not elevated: from ProgramData",
         {L"", false, L"C:\\app", L"C:\\ProgramData"},
         L"C:\\ProgramData",
         {L"C:\\ProgramData\\" + guid, L"C:\\ProgramData\\" + guid + L"\\" + file}},
        {"nowhere", {L"", false, L"C:\\app", L""}, L"", {}},
    };
    for (const Case& c : cases) {
        const ExactPath path = dllguard::ReportFileLocation(c.inputs, L"p.exe");
        EXPECT_EQ(path.Root(), c.root) << c.what;
        std::vector<std::wstring> levels;
        for (size_t i = 0; i < path.Depth(); ++i)
            levels.push_back(path.Level(i));
        EXPECT_EQ(levels, c.levels) << c.what;
    }
}

TEST(ReportPathTest, ThePerMachineFolderIsMadeForItsOwnerOrRefusedWhenItIsALink)
{
    TempFolderWithLinks folder;
    const std::wstring programData = folder.MakeFolder(L"ProgramData");
    dllguard::ReportFolderInputs inputs{L"", false, L"C:\\app", programData};
    const std::wstring made = programData + L"\\" + dllguard::kReportFolderName;
    ASSERT_TRUE(dllguard::PrepareReportFolder(inputs));
    EXPECT_TRUE(GetFileAttributesW(made.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    ASSERT_TRUE(dllguard::PrepareReportFolder(inputs)) << "found again";

    ASSERT_TRUE(RemoveDirectoryW(made.c_str()));
    const std::wstring elsewhere = folder.MakeFolder(L"elsewhere");
    ASSERT_TRUE(MakeSymbolicLink(made, elsewhere));
    EXPECT_FALSE(dllguard::PrepareReportFolder(inputs));
    EXPECT_FALSE(ReportFileWriter().Write(dllguard::ReportFileLocation(inputs, L"p.exe"), Event("a.dll")));
    EXPECT_TRUE(std::filesystem::is_empty(elsewhere));
}

}  // namespace
