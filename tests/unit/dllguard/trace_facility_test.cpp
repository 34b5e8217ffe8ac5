#include "dllguard/trace/trace.h"
#include "dllguard/trace/trace_line.h"
#include "file_links.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace dllguard::trace;

const AccessWord kCode = {'T', 'E', 'S', 'T'};
const wchar_t kStamp[] = L"2026-12-10_14_03_22__0042";

SYSTEMTIME FixedTime()
{
    SYSTEMTIME time{};
    time.wYear = 2026;
    time.wMonth = 12;
    time.wDay = 10;
    time.wHour = 14;
    time.wMinute = 3;
    time.wSecond = 22;
    return time;
}

// A tracer whose settings file, log folder, clock and device are all in the test's hands.
class TraceRig {
public:
    TraceEnvironment Environment()
    {
        TraceEnvironment environment;
        environment.settingsFiles = {folder / L"missing.ini", folder / L"dbg_trace.ini"};
        environment.accessCode = kCode;
        environment.logFile.path = [this] {
            ++pathAsked;
            return LogFilePath(LogRoot(), L"guard.exe", kStamp);
        };
        environment.logFile.base = [this] { return folder.Path(); };
        environment.logFile.version = [] { return std::string("9.8.7.6"); };
        environment.logFile.localTime = FixedTime;
        environment.logFile.tickCount = [this] { return tick; };
        environment.openProcessMonitor = [this] {
            ++deviceOpens;
            return UniqueFile();
        };
        return environment;
    }

    void Settings(const std::string& text) { ASSERT_TRUE(WriteBytes(folder / L"dbg_trace.ini", text)); }
    std::wstring LogRoot() const { return folder / L"CVLogging"; }
    std::wstring LogFile() const { return LogFilePath(LogRoot(), L"guard.exe", kStamp); }
    std::string Line(const std::string& text) const
    {
        return BuildLine(tick, static_cast<uint32_t>(GetCurrentThreadId()), "", text);
    }
    static std::string OpeningBanner(uint32_t tick)
    {
        const std::string version = "9.8.7.6";
        return FormatBanner(">Started at : ", FixedTime(), tick, &version);
    }

    TempFolderWithLinks folder;
    int pathAsked = 0;
    int deviceOpens = 0;
    uint32_t tick = 1234;
};

bool KeepsNotIndexedMark(const TempFolder& folder)
{
    const std::wstring probe = folder.MakeFolder(L"probe");
    SetFileAttributesW(probe.c_str(), FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    const bool kept = GetFileAttributesW(probe.c_str()) & FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    RemoveDirectoryW(probe.c_str());
    return kept;
}

// Puts a tracer in place of the process's own for the test's duration.
class ScopedTracer {
public:
    explicit ScopedTracer(Tracer& tracer) : previous_(ReplaceTracerForTesting(&tracer)) {}
    ~ScopedTracer() { ReplaceTracerForTesting(previous_); }

private:
    Tracer* previous_;
};

TEST(TraceFacilityTest, WithoutSettingsNothingIsWrittenOrCreated)
{
    for (const char* settings : {static_cast<const char*>(nullptr), "DLLPROTECT=0\nkey=TEST\n", "other=3\n"}) {
        TraceRig rig;
        if (settings)
            rig.Settings(settings);
        Tracer tracer(rig.Environment());
        {
            ScopedTracer scoped(tracer);
            Scope scope("DllProtectStart");
            Detail("DllProtectStart", "options: {}", 18);
            DetailW("DllProtectStart", L"path {}", L"x");
        }
        tracer.Write("", "text");
        tracer.Close();
        EXPECT_EQ(tracer.Level(), 0u);
        EXPECT_EQ(rig.pathAsked, 0);
        EXPECT_EQ(rig.deviceOpens, 0);
        EXPECT_FALSE(Exists(rig.LogRoot())) << "no log folder";
    }
}

TEST(TraceFacilityTest, LogFileUnderTheStartStampFolderWithBannersAndReadableLines)
{
    TraceRig rig;
    rig.Settings("DLLPROTECT=3abc\nkey=TEST\n");
    Tracer tracer(rig.Environment());
    EXPECT_EQ(tracer.Level(), 3u);
    tracer.Write("[P] ", "first");
    rig.tick = 90061001;  // 1 day 1 h 1 min 1 s 1 ms
    tracer.Write("", "second");
    tracer.Close();

    const std::string expected = TraceRig::OpeningBanner(1234) +
                                 BuildLine(1234, static_cast<uint32_t>(GetCurrentThreadId()), "[P] ", "first") +
                                 rig.Line("second") +
                                 FormatBanner(">Closed  at : ", FixedTime(), 90061001, nullptr);
    EXPECT_EQ(ReadBytes(rig.LogFile()), expected);
    EXPECT_EQ(rig.pathAsked, 1);

    // Every folder the facility made is kept out of the content index, where
    // the file system keeps that mark at all (Wine accepts it and drops it).
    if (!KeepsNotIndexedMark(rig.folder))
        return;
    for (const std::wstring& made : {rig.LogRoot(), rig.LogRoot() + L"\\CstLogs",
                                     rig.LogRoot() + L"\\CstLogs\\guard.exe",
                                     rig.LogRoot() + L"\\CstLogs\\guard.exe\\" + kStamp}) {
        const DWORD attributes = GetFileAttributesW(made.c_str());
        ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
        EXPECT_TRUE(attributes & FILE_ATTRIBUTE_NOT_CONTENT_INDEXED) << std::string(made.begin(), made.end());
    }
    EXPECT_FALSE(GetFileAttributesW(rig.folder.Path().c_str()) & FILE_ATTRIBUTE_NOT_CONTENT_INDEXED)
        << "folders that were there are left alone";
}

TEST(TraceFacilityTest, LinesAreScrambledUnlessTheKeyMatches)
{
    struct Case {
        const char* settings;
        uint8_t scramble;
    };
    const Case cases[] = {
        {"DLLPROTECT=2\nkey=TEST\n", 0},
        {"DLLPROTECT=2\nkey=TESX\n", ScrambleByte(AccessWord{0, 0, 0, 'T' ^ 'X'})},
        {"DLLPROTECT=2\n", ScrambleByte(kCode)},
    };
    for (const Case& c : cases) {
        TraceRig rig;
        rig.Settings(c.settings);
        Tracer tracer(rig.Environment());
        tracer.Write("", "path: C:\\x.dll is UNTRUSTED");
        std::string line = rig.Line("path: C:\\x.dll is UNTRUSTED");
        Scramble(line, c.scramble);
        EXPECT_EQ(ReadBytes(rig.LogFile()), TraceRig::OpeningBanner(1234) + line) << c.settings;
        if (c.scramble != 0) {
            EXPECT_EQ(ReadBytes(rig.LogFile()).find("UNTRUSTED"), std::string::npos) << c.settings;
        }
    }
}

TEST(TraceFacilityTest, DetailAndScopeLines)
{
    TraceRig rig;
    rig.Settings("DLLPROTECT=2\nkey=TEST\n");
    Tracer tracer(rig.Environment());
    {
        ScopedTracer scoped(tracer);
        Scope scope("PerformSecurityChecks");
        Detail("PerformSecurityChecks", "WriteFile failed 0x{:x}  dw: 0x{:x} size: 0x{:x}", 112, 0, 0x28);
        DetailW("PerformSecurityChecks", L"dllpath is {}", L"C:\\t\\\u00e9.dll");
    }
    const std::string log = ReadBytes(rig.LogFile()).substr(TraceRig::OpeningBanner(1234).size());
    const std::string tid = fmt::format("{:06}", GetCurrentThreadId());
    const std::string head = "[0000001234][" + tid + "] x ";
    const std::string lines = head + "[DLLPROTECT] :: PerformSecurityChecks -> \n" +
                              head + "[DLLPROTECT] :: PerformSecurityChecks() - WriteFile failed 0x70  dw: 0x0 size: 0x28\n" +
                              head + "[DLLPROTECT] :: PerformSecurityChecks() - dllpath is C:\\t\\\xc3\xa9.dll\n" +
                              head + "[DLLPROTECT] :: PerformSecurityChecks <- \n[> ";
    ASSERT_EQ(log.substr(0, lines.size()), lines);
    EXPECT_TRUE(std::regex_match(log.substr(lines.size()), std::regex("[0-9]+\\.[0-9]{6} <\\]\n"))) << log;
}

TEST(TraceFacilityTest, ConcurrentWritersGetOneBannerAndWholeLines)
{
    TraceRig rig;
    rig.Settings("DLLPROTECT=2\nkey=TEST\n");
    Tracer tracer(rig.Environment());
    constexpr int kThreads = 4, kLines = 100;
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t)
        writers.emplace_back([&tracer, t] {
            for (int i = 0; i < kLines; ++i)
                tracer.Write("", fmt::format("writer {} line {}", t, i));
        });
    for (auto& writer : writers)
        writer.join();

    const std::string log = ReadBytes(rig.LogFile());
    ASSERT_EQ(log.rfind(TraceRig::OpeningBanner(1234), 0), 0u);
    EXPECT_EQ(log.find(">Started at", TraceRig::OpeningBanner(1234).size()), std::string::npos);
    const std::regex line("\\[0000001234\\]\\[[0-9]{6,}\\] x writer [0-3] line [0-9]+");
    size_t lines = 0;
    size_t start = TraceRig::OpeningBanner(1234).size();
    while (start < log.size()) {
        const size_t end = log.find('\n', start);
        ASSERT_NE(end, std::string::npos);
        EXPECT_TRUE(std::regex_match(log.substr(start, end - start), line)) << log.substr(start, end - start);
        ++lines;
        start = end + 1;
    }
    EXPECT_EQ(lines, size_t(kThreads * kLines));
}

// Opening the log may load a library whose hook traces again on the same
// thread: that line is dropped instead of waiting on the opening forever.
TEST(TraceFacilityTest, LineWrittenWhileOpeningTheLogIsDropped)
{
    TraceRig rig;
    rig.Settings("DLLPROTECT=2\nkey=TEST\n");
    TraceEnvironment environment = rig.Environment();
    Tracer* self = nullptr;
    const auto path = environment.logFile.path;
    environment.logFile.path = [&self, path] {
        self->Write("", "nested");
        return path();
    };
    Tracer tracer(environment);
    self = &tracer;
    tracer.Write("", "outer");
    tracer.Write("", "next");
    EXPECT_EQ(ReadBytes(rig.LogFile()), TraceRig::OpeningBanner(1234) + rig.Line("outer") + rig.Line("next"));
}

// What this process sends to a debugger: OutputDebugString raises an
// exception that a vectored handler sees first.
class DebuggerOutput {
public:
    DebuggerOutput() : handler_(AddVectoredExceptionHandler(1, &DebuggerOutput::Seen)) { current_ = this; }
    ~DebuggerOutput()
    {
        RemoveVectoredExceptionHandler(handler_);
        current_ = nullptr;
    }
    std::vector<std::wstring> Lines()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }

private:
    static LONG CALLBACK Seen(EXCEPTION_POINTERS* pointers)
    {
        const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
        if (current_ && record.NumberParameters >= 2 && record.ExceptionInformation[0] > 0) {
            std::lock_guard<std::mutex> lock(current_->mutex_);
            const size_t length = record.ExceptionInformation[0] - 1;
            if (record.ExceptionCode == DBG_PRINTEXCEPTION_WIDE_C) {
                current_->lines_.emplace_back(reinterpret_cast<const wchar_t*>(record.ExceptionInformation[1]), length);
            } else if (record.ExceptionCode == DBG_PRINTEXCEPTION_C) {
                const char* text = reinterpret_cast<const char*>(record.ExceptionInformation[1]);
                current_->lines_.emplace_back(text, text + length);
            }
        }
        return EXCEPTION_CONTINUE_SEARCH;
    }

    static inline DebuggerOutput* current_ = nullptr;
    void* handler_;
    std::mutex mutex_;
    std::vector<std::wstring> lines_;
};

// Links another user planted where the log goes, at each level and as the
// file itself: nothing is made or written through them, and the debugger
// output, the one safe place left, says why once.
TEST(TraceFacilityTest, LogThroughAPlantedLinkIsNotWrittenAndTheOtherOutputsAreToldWhy)
{
    struct Case {
        const char* name;
        std::wstring at;  // below the rig's folder
        bool hard;
    };
    const std::wstring stampFolder = std::wstring(L"CVLogging\\CstLogs\\guard.exe\\") + kStamp;
    const Case cases[] = {
        {"log root", L"CVLogging", false},
        {"CstLogs", L"CVLogging\\CstLogs", false},
        {"executable's folder", L"CVLogging\\CstLogs\\guard.exe", false},
        {"start-stamp folder", stampFolder, false},
        {"log file as a symbolic link", stampFolder + L"\\DLLPROTECT.log", false},
        {"log file as a hard link", stampFolder + L"\\DLLPROTECT.log", true},
    };
    for (const Case& c : cases) {
        TraceRig rig;
        const std::wstring other = rig.folder.MakeFolder(L"other");
        ASSERT_TRUE(WriteBytes(other + L"\\precious.log", "kept"));
        const std::wstring link = rig.folder / c.at;
        rig.folder.MakeFolder(c.at);
        ASSERT_TRUE(RemoveDirectoryW(link.c_str()));
        const bool file = c.at.size() > stampFolder.size();
        ASSERT_TRUE(c.hard ? MakeHardLink(link, other + L"\\precious.log")
                           : MakeSymbolicLink(link, file ? other + L"\\precious.log" : other))
            << c.name;
        rig.Settings("DLLPROTECT=3\nkey=TEST\n");
        DebuggerOutput debugger;
        {
            Tracer tracer(rig.Environment());
            tracer.Write("", "first");
            tracer.Write(L"", L"second");
            tracer.Close();
        }
        std::vector<std::string> entries;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(other))
            entries.push_back(entry.path().filename().string());
        EXPECT_EQ(entries, std::vector<std::string>{"precious.log"}) << c.name;
        EXPECT_EQ(ReadBytes(other + L"\\precious.log"), "kept") << c.name;

        const auto lines = debugger.Lines();
        const auto refusals = std::count_if(lines.begin(), lines.end(), [](const std::wstring& line) {
            return line.find(L"[DLLPROTECT] :: OpenLogFile() - log file refused, ") != std::wstring::npos;
        });
        EXPECT_EQ(refusals, 1) << c.name;
        EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                                [](const std::wstring& line) { return line.find(L"second") != std::wstring::npos; }))
            << c.name << ": the debugger still gets every line";
    }
}

TEST(TraceFacilityTest, AllFourOutputsAtOnce)
{
    TraceRig rig;
    rig.Settings("DLLPROTECT=15\nkey=TEST\n");
    Tracer tracer(rig.Environment());
    tracer.Write("", "narrow");
    tracer.Write(L"", L"wide \u00e9");
    EXPECT_EQ(ReadBytes(rig.LogFile()),
              TraceRig::OpeningBanner(1234) + rig.Line("narrow") + rig.Line("wide \xc3\xa9"));
    EXPECT_EQ(rig.deviceOpens, 1);
}

TEST(TraceFacilityTest, ProcessMonitorDeviceIsLookedForAtMostEveryTenSeconds)
{
    uint32_t now = 0xFFFFF000;  // the tick count wraps in between
    int opens = 0;
    ProcessMonitorOutput output(
        [&opens] {
            ++opens;
            return UniqueFile();
        },
        [&now] { return now; });
    struct Step {
        uint32_t advance;
        int opens;
    };
    const Step steps[] = {{0, 1}, {5000, 1}, {4999, 1}, {1, 2}, {1, 2}, {15000, 3}};
    for (const Step& step : steps) {
        now += step.advance;
        output.Send(L"line");
        EXPECT_EQ(opens, step.opens) << "at " << now;
    }
}

TEST(TraceFacilityTest, ProcessMonitorOnlyWhenItsBitIsSet)
{
    for (const auto& [settings, opens] : {std::pair<const char*, int>{"DLLPROTECT=4", 1}, {"DLLPROTECT=3", 0}}) {
        TraceRig rig;
        rig.Settings(settings);
        Tracer tracer(rig.Environment());
        tracer.Write("", "one");
        tracer.Write(L"", L"two");  // within ten seconds: not looked for again
        EXPECT_EQ(rig.deviceOpens, opens) << settings;
    }
}

TEST(TraceFacilityTest, LogPathAndBannerFormats)
{
    EXPECT_EQ(FormatStartStamp(FixedTime(), 42), kStamp);
    EXPECT_EQ(FormatStartStamp(FixedTime(), 123456), L"2026-12-10_14_03_22__123456");
    EXPECT_EQ(LogFilePath(L"C:\\ProgramData\\CVLogging", L"Product.Console.exe", kStamp),
              std::wstring(L"C:\\ProgramData\\CVLogging\\CstLogs\\Product.Console.exe\\") + kStamp +
                  L"\\DLLPROTECT.log");

    const std::string version = "1.0.0.1";
    EXPECT_EQ(FormatBanner(">Started at : ", FixedTime(), 90061001, &version),
              " ----------------------------- \n"
              ">Started at : 2026-12-10 14:03:22\n"
              ">UpTime     : 1 Days 01h 01m 01s :: 1 ms (90061001)\n"
              ">Version    : 1.0.0.1\n"
              " ----------------------------- \n");
    EXPECT_EQ(FormatBanner(">Closed  at : ", FixedTime(), 999, nullptr),
              " ----------------------------- \n"
              ">Closed  at : 2026-12-10 14:03:22\n"
              ">UpTime     : 0 Days 00h 00m 00s :: 999 ms (999)\n"
              " ----------------------------- \n");
}

}  // namespace
