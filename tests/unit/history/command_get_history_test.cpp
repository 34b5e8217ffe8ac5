// Support.GetHistory against the real worker and runner library built beside
// the test executable: the command line it builds, the log lines, the wait
// and the job that ends a worker that takes too long.
#include "log_test_support.h"
#include "result_code_printer.h"

#include "commands/support/command_get_history.h"
#include "entry/command_run.h"
#include "base/logging.h"
#include "base/text_conversion.h"

#include <gtest/gtest.h>

#include <tlhelp32.h>

#include <chrono>

namespace {

const std::wstring Worker = L"\"" + TestBinaryFolder() + L"\\telowprivilegeworker.exe\"";

std::string StartProcessLine(const std::wstring& extra)
{
    return "StartProcess [" + WideToUtf8(Worker + L" /process /runner \"Product.Support.dll\" " + extra) + "]";
}

// A store with one session, and the folders the worker and the plug-ins write to.
class HistoryCommandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetEnvironmentVariableW(L"PRODUCT_AGENT_STATE_DIR", agent_.Path().c_str());
        SetEnvironmentVariableW(L"PRODUCT_TELEMETRY_DIR", agent_.MakeFolder(L"telemetry").c_str());
        ASSERT_TRUE(WriteBytes(agent_ / L"support-history.jsonl",
                               R"({"id":"s1","kind":"collect","scenarios":["scan"],"started":"2026-12-10T09:30:00Z",)"
                               R"("ended":"2026-12-10T09:31:00Z","status":"finished","deliveredTo":["C:\\D\\s1"]})"
                               "\n"));
    }
    void TearDown() override
    {
        SetEnvironmentVariableW(L"PRODUCT_AGENT_STATE_DIR", nullptr);
        SetEnvironmentVariableW(L"PRODUCT_TELEMETRY_DIR", nullptr);
        SetEnvironmentVariableW(L"PRODUCT_WORKER_HANG_MS", nullptr);
    }

    std::vector<std::string> Messages(const char* level = nullptr) const
    {
        std::vector<std::string> messages;
        for (const auto& line : log_.Lines()) {
            if (line.function == "CommandGetHistory::CreateWorkerProcess" && (level == nullptr || line.level == level))
                messages.push_back(line.message);
        }
        return messages;
    }

    ResultCode Run(CommandGetHistory& command, const ArgumentTokens& args)
    {
        logging::ScopedBridgeReference log;  // as while the shell runs a command
        return command.Execute(args);
    }

    TempFolder agent_;
    LogFolder log_;
};

TEST(HistoryWorkerCommand, IsBuiltFromWorkerRunnerOptionsLibraryAndExtraOptions)
{
    const std::wstring worker = L"C:\\Program Files\\Agent\\telowprivilegeworker.exe";
    const std::wstring start = L"\"" + worker + L"\" /process /runner \"Product.Support.dll\" ";
    EXPECT_EQ(HistoryWorkerCommandLine(worker, false, L""), start);
    EXPECT_EQ(HistoryWorkerCommandLine(worker, true, L""), start + L"--format=csv ");
    EXPECT_EQ(HistoryWorkerCommandLine(worker, false, L"C:\\a b\\h.txt"), start + L"--output=\"C:\\a b\\h.txt\"");
    EXPECT_EQ(HistoryWorkerCommandLine(worker, true, L"h.csv"), start + L"--format=csv --output=\"h.csv\"");
}

TEST(HistoryWorkerCommand, TheWorkerIsLookedForBesideTheRunningExecutable)
{
    EXPECT_EQ(L"\"" + HistoryWorkerPath() + L"\"", Worker);
}

TEST_F(HistoryCommandTest, ArgumentsBecomeTheWorkersOptions)
{
    const std::wstring folder = agent_.MakeFolder(L"out dir");
    const std::string folderUtf8 = WideToUtf8(folder);
    struct Case {
        ArgumentTokens args;
        std::wstring extra;
    };
    const Case cases[] = {
        {{}, L""},
        {{"format=CSV"}, L""},
        {{"format"}, L""},
        {{"format=csv"}, L"--format=csv "},
        {{"--format=csv", "format=table"}, L"--format=csv "},
        {{"path=" + folderUtf8 + "\\\"my\" history.txt"}, L"--output=\"" + folder + L"\\my history.txt\""},
        {{"--path=" + folderUtf8 + "\\a.csv", "/format=csv"}, L"--format=csv --output=\"" + folder + L"\\a.csv\""},
        {{"-path=" + folderUtf8 + "\\first.txt", "path=second.txt"}, L"--output=\"" + folder + L"\\first.txt\""},
        {{"Path=ignored.txt", "formats=csv"}, L""},
    };
    CommandGetHistory command(nullptr);
    for (const auto& c : cases)
        EXPECT_EQ(Run(command, c.args), result::Success) << ::testing::PrintToString(c.args);

    std::vector<std::string> expected;
    for (const auto& c : cases) {
        expected.push_back(StartProcessLine(c.extra));
        expected.push_back("Worker finished job");
    }
    EXPECT_EQ(Messages("INFO"), expected);
    EXPECT_TRUE(Messages("ERROR").empty());

    // The worker wrote where it was told, in the format it was told.
    EXPECT_EQ(ReadBytes(folder + L"\\a.csv"),
              "id,kind,scenarios,started,ended,status,deliveredTo\r\n"
              "s1,collect,scan,2026-12-10T09:30:00Z,2026-12-10T09:31:00Z,finished,C:\\D\\s1\r\n");
    const std::string table = ReadBytes(folder + L"\\my history.txt");
    EXPECT_EQ(table.rfind("Session  Kind     Scenarios  Started (UTC)  ", 0), 0u) << table;
    EXPECT_EQ(ReadBytes(folder + L"\\first.txt"), table);
    EXPECT_FALSE(Exists(folder + L"\\second.txt"));
    // Without a path, the default file in the agent's data folder.
    EXPECT_EQ(ReadBytes(agent_ / L"SupportHistory.txt"), table);
}

TEST_F(HistoryCommandTest, AWorkerThatFailsFailsTheCommand)
{
    CommandGetHistory command(nullptr);
    // The worker cannot write into a folder that does not exist (its code 3).
    EXPECT_EQ(Run(command, {"path=" + WideToUtf8(agent_ / L"no such folder\\h.txt")}), result::CommandFailed);
    EXPECT_EQ(Messages("INFO").size(), 2u);
    EXPECT_EQ(Messages("ERROR"), std::vector<std::string>{"Worker failed [exit code = 3]"});
}

TEST_F(HistoryCommandTest, TheCommandsLinesReachTheLogWhileTheShellRunsIt)
{
    CommandGetHistory command(nullptr);
    EXPECT_EQ(ExecuteAndReport(command, "Support.GetHistory", {"format=csv"}), result::Success);
    EXPECT_EQ(Messages(), (std::vector<std::string>{StartProcessLine(L"--format=csv "), "Worker finished job"}));
    EXPECT_FALSE(logging::BridgeAvailable());
}

// Child processes of this process that run the worker.
std::vector<DWORD> LiveWorkers()
{
    std::vector<DWORD> workers;
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        if (entry.th32ParentProcessID == GetCurrentProcessId() &&
            _wcsicmp(entry.szExeFile, L"telowprivilegeworker.exe") == 0)
            workers.push_back(entry.th32ProcessID);
    }
    return workers;
}

TEST_F(HistoryCommandTest, AWorkerThatTakesTooLongIsEndedAndTheCommandTimesOut)
{
    SetEnvironmentVariableW(L"PRODUCT_WORKER_HANG_MS", L"60000");
    CommandGetHistory command(nullptr, 300);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Run(command, {"format=csv"}), result::ResponseTimeout);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));

    EXPECT_EQ(Messages("INFO"), std::vector<std::string>{StartProcessLine(L"--format=csv ")});
    EXPECT_EQ(Messages("ERROR"), std::vector<std::string>{"Worker timed out"});
    for (int i = 0; i < 100 && !LiveWorkers().empty(); ++i)
        Sleep(50);
    EXPECT_TRUE(LiveWorkers().empty());
    EXPECT_FALSE(Exists(agent_ / L"SupportHistory.csv"));
}

TEST(HistoryCommand, TheConsoleWaitsAMinuteForTheWorker)
{
    EXPECT_EQ(CommandGetHistory::WorkerTimeoutMs, 60000u);
    std::string name;
    EXPECT_EQ(CommandGetHistory(nullptr).GetName(name), "Support.GetHistory");
}

}  // namespace
