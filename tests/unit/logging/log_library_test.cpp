// The log.dll stand-in through its own entry points: settings, file naming,
// roll-over, events, and appends from several processes at once.
#include "log_test_support.h"

#include "base/log_abi.h"
#include "base/logging.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>

namespace {

using namespace logging::abi;

template <class Function>
Function Entry(HMODULE library, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

// log.dll loaded by the test itself, with the entries the console never calls.
class LogLibrary {
public:
    LogLibrary() : library_(LoadLibraryW((TestBinaryFolder() + L"\\log.dll").c_str())) {}

    bool Loaded() const { return static_cast<bool>(library_); }
    template <class Function>
    Function Get(const char* name) const
    {
        return Entry<Function>(library_.get(), name);
    }

    HRESULT Write(DWORD level, const wchar_t* function, const wchar_t* format, ...) const
    {
        va_list args;
        va_start(args, format);
        const HRESULT result =
            Get<LogWriteFn>("LogWrite")(line_kind::Plain, &level, nullptr, function, format, args);
        va_end(args);
        return result;
    }

private:
    UniqueModule library_;
};

TEST(LogStandIn, ExportsEveryEntryTheBridgeLooksFor)
{
    LogLibrary log;
    ASSERT_TRUE(log.Loaded());
    const char* names[] = {"LogInit",         "LogDeinit",          "LogApplySettings",     "LogSetSettingsFile",
                           "LogEnable",       "LogSetLevel",        "LogSetPath",           "LogSetType",
                           "LogSetMode",      "LogSetMaxSize",      "LogSetDepth",          "LogWrite",
                           "LogIsEnabled",    "LogMonitorSettings", "LogUninitDeskMetrics", "LogTrackEvent",
                           "LogTrackEventData", "LogRemoveModule",  "LogGetLevel"};
    for (const char* name : names)
        EXPECT_NE(log.Get<FARPROC>(name), nullptr) << name;
}

TEST(LogStandIn, TheSettingsFileChoosesLevelsAndFolder)
{
    TempFolder folder;
    const std::wstring settings = folder / L"log.ini";
    ASSERT_TRUE(WriteBytes(settings, "[Log]\r\nLevels=0x14\r\nFolder=" + std::string("%LOG_TEST_ROOT%\\written") +
                                         "\r\n"));
    SetEnvironmentVariableW(L"LOG_TEST_ROOT", folder.Path().c_str());
    {
        LogLibrary log;
        log.Get<LogSetSettingsFileFn>("LogSetSettingsFile")(settings.c_str());
        EXPECT_EQ(log.Get<LogGetLevelFn>("LogGetLevel")(), 0x14u);
        EXPECT_EQ(log.Write(4, L"F", L"failure"), S_OK);
        EXPECT_EQ(log.Write(8, L"F", L"detail"), S_FALSE);
        EXPECT_EQ(log.Write(16, L"F", L"info"), S_OK);
        EXPECT_EQ(log.Write(32, L"F", L"dump"), S_FALSE);
    }
    SetEnvironmentVariableW(L"LOG_TEST_ROOT", nullptr);

    const std::string text = ReadBytes(folder / L"written\\logging_tests.log");
    EXPECT_NE(text.find(" ERROR  logging_tests.exe F: failure\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find(" INFO   logging_tests.exe F: info\r\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("detail"), std::string::npos);
    EXPECT_EQ(text.find("dump"), std::string::npos);
}

TEST(LogStandIn, TheEnvironmentFolderWinsOverTheSettingsFile)
{
    LogFolder log;
    TempFolder other;
    const std::wstring settings = other / L"log.ini";
    ASSERT_TRUE(WriteBytes(settings, "[Log]\r\nFolder=" + std::string(other.Path().begin(), other.Path().end()) +
                                         "\\elsewhere\r\n"));
    LogLibrary library;
    library.Get<LogSetSettingsFileFn>("LogSetSettingsFile")(settings.c_str());
    library.Write(16, L"F", L"here");
    EXPECT_EQ(log.Lines().size(), 1u);
    EXPECT_FALSE(Exists(other / L"elsewhere"));
}

TEST(LogStandIn, SettersChangeWhatIsWritten)
{
    LogFolder log;
    LogLibrary library;
    EXPECT_TRUE(library.Get<LogIsEnabledFn>("LogIsEnabled")());
    library.Get<LogEnableFn>("LogEnable")(FALSE);
    EXPECT_FALSE(library.Get<LogIsEnabledFn>("LogIsEnabled")());
    EXPECT_EQ(library.Write(4, L"F", L"while disabled"), S_FALSE);
    library.Get<LogEnableFn>("LogEnable")(TRUE);
    library.Get<LogSetLevelFn>("LogSetLevel")(4);
    EXPECT_EQ(library.Write(16, L"F", L"filtered"), S_FALSE);
    EXPECT_EQ(library.Write(4, L"F", L"kept"), S_OK);
    EXPECT_EQ(library.Get<LogTrackEventDataFn>("LogTrackEventData")(L"session.start", L"id=7"), S_OK);
    EXPECT_EQ(library.Get<LogSetPathFn>("LogSetPath")(L""), E_INVALIDARG);

    const auto lines = log.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].message, "kept");
    EXPECT_EQ(lines[1].level, "EVENT");
    EXPECT_EQ(lines[1].function, "session.start");
    EXPECT_EQ(lines[1].message, "id=7");
}

TEST(LogStandIn, PerProcessModeNamesTheFileAfterTheProcess)
{
    LogFolder log;
    LogLibrary library;
    EXPECT_EQ(library.Get<LogSetModeFn>("LogSetMode")(7), E_INVALIDARG);
    library.Get<LogSetModeFn>("LogSetMode")(1);
    library.Write(16, L"F", L"mine");
    EXPECT_TRUE(log.Text().empty());
    const std::string text =
        ReadBytes(log.Path() + L"\\logging_tests-" + std::to_wstring(GetCurrentProcessId()) + L".log");
    EXPECT_NE(text.find("F: mine\r\n"), std::string::npos) << text;
}

TEST(LogStandIn, AFullFileIsRolledOverAndANewOneStarted)
{
    LogFolder log;
    LogLibrary library;
    library.Get<LogSetMaxSizeFn>("LogSetMaxSize")(300);
    for (int i = 0; i < 10; ++i)
        library.Write(16, L"F", L"line %d of the roll-over test", i);

    const std::string old = ReadBytes(log.Path() + L"\\logging_tests.old.log");
    const std::string current = log.Text();
    EXPECT_FALSE(old.empty());
    EXPECT_LE(current.size(), 300u + 120u);  // at most one line beyond the limit
    EXPECT_NE(current.find("line 9 of"), std::string::npos);
    EXPECT_EQ(old.find("line 9 of"), std::string::npos);
}

// Child side of the next test: writes its lines through the bridge, as a
// console process would.
TEST(LogStandInChild, WritesLinesWhenStartedAsChild)
{
    char lines[16] = {};
    if (GetEnvironmentVariableA("LOG_TEST_CHILD_LINES", lines, sizeof lines) == 0)
        GTEST_SKIP() << "runs only as a child of the concurrency test";
    const int count = std::atoi(lines);
    for (int i = 0; i < count; ++i) {
        logging::ScopedBridgeReference reference;
        logging::Diagnostic(logging::level::Info, L"Child", L"line %d of %d", i, count);
    }
}

TEST(LogStandIn, ProcessesWritingAtOnceNeverMixTheirLines)
{
    LogFolder log;
    constexpr int LinesEach = 150;
    SetEnvironmentVariableW(L"LOG_TEST_CHILD_LINES", std::to_wstring(LinesEach).c_str());

    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::vector<UniqueHandle> children;
    for (int c = 0; c < 2; ++c) {
        std::wstring commandLine =
            L"\"" + std::wstring(self) + L"\" --gtest_filter=LogStandInChild.* --gtest_brief=1";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION created{};
        ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                   &startup, &created));
        UniqueHandle thread(created.hThread);
        children.emplace_back(created.hProcess);
    }
    for (int i = 0; i < LinesEach; ++i) {
        logging::ScopedBridgeReference reference;
        logging::Diagnostic(logging::level::Info, L"Child", L"line %d of %d", i, LinesEach);
    }
    for (const auto& child : children) {
        ASSERT_EQ(WaitForSingleObject(child.get(), 60000), WAIT_OBJECT_0);
        DWORD code = 1;
        GetExitCodeProcess(child.get(), &code);
        EXPECT_EQ(code, 0u);
    }
    SetEnvironmentVariableW(L"LOG_TEST_CHILD_LINES", nullptr);

    std::map<unsigned long, int> next;
    for (const auto& line : log.Lines()) {
        int i = -1, count = -1;
        ASSERT_EQ(std::sscanf(line.message.c_str(), "line %d of %d", &i, &count), 2) << line.message;
        EXPECT_EQ(i, next[line.processId]++);
    }
    ASSERT_EQ(next.size(), 3u);
    for (const auto& [process, count] : next)
        EXPECT_EQ(count, LinesEach) << process;
}

}  // namespace
