// The worker's command line and the history runner's options.
#include "history_options.h"
#include "worker_command_line.h"

#include <gtest/gtest.h>

namespace {

using namespace standin::history;

TEST(WorkerCommandLine, RunsTheNamedLibraryWithTheRestAsItsOptions)
{
    struct Case {
        std::vector<std::wstring> args;
        bool ok;
        std::wstring library;
        std::vector<std::wstring> runnerArgs;
        std::wstring error;
    };
    const Case cases[] = {
        {{L"/process", L"/runner", L"Product.Support.dll"}, true, L"Product.Support.dll", {}, L""},
        {{L"/PROCESS", L"/Runner", L"x.dll", L"--format=csv", L"--output=C:\\a b\\h.csv"},
         true,
         L"x.dll",
         {L"--format=csv", L"--output=C:\\a b\\h.csv"},
         L""},
        {{}, false, L"", {}, L"Nothing to do."},
        {{L"/service"}, false, L"", {}, L"Unknown option \"/service\": the worker runs with /process only."},
        {{L"/process"}, false, L"", {}, L"/process needs /runner <library>."},
        {{L"/process", L"/run", L"x.dll"}, false, L"", {}, L"Unknown option \"/run\": expected /runner <library>."},
        {{L"/process", L"/runner"}, false, L"", {}, L"/runner needs the name of a runner library."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        WorkerCommand command;
        std::wstring error;
        ASSERT_EQ(ParseWorkerCommandLine(c.args, command, error), c.ok);
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(command.library, c.library);
        EXPECT_EQ(command.runnerArgs, c.runnerArgs);
    }
}

TEST(WorkerCommandLine, ABareLibraryNameIsLookedForBesideTheWorker)
{
    EXPECT_EQ(RunnerLibraryPath(L"C:\\Agent", L"Product.Support.dll"), L"C:\\Agent\\Product.Support.dll");
    EXPECT_EQ(RunnerLibraryPath(L"C:\\Agent", L"D:\\Other\\x.dll"), L"D:\\Other\\x.dll");
    EXPECT_EQ(RunnerLibraryPath(L"C:\\Agent", L"sub/x.dll"), L"sub/x.dll");
}

TEST(HistoryOptions, FormatAndOutput)
{
    struct Case {
        std::vector<std::wstring> args;
        bool ok;
        ReportFormat format;
        std::wstring output;
        std::wstring error;
    };
    const Case cases[] = {
        {{}, true, ReportFormat::Table, L"", L""},
        {{L"--format=csv"}, true, ReportFormat::Csv, L"", L""},
        {{L"--format=table", L"--output=C:\\a b\\\xE9.txt"}, true, ReportFormat::Table, L"C:\\a b\\\xE9.txt", L""},
        {{L"--output=x=y.csv", L"--format=csv"}, true, ReportFormat::Csv, L"x=y.csv", L""},
        {{L"--format=CSV"}, false, ReportFormat::Table, L"",
         L"Unknown format \"CSV\": use --format=table or --format=csv."},
        {{L"--format"}, false, ReportFormat::Table, L"", L"--format needs a value: --format=table or --format=csv."},
        {{L"--format=csv", L"--format=csv"}, false, ReportFormat::Csv, L"", L"--format is given more than once."},
        {{L"--output="}, false, ReportFormat::Table, L"", L"--output needs a file name: --output=<file>."},
        {{L"--output=a", L"--output=b"}, false, ReportFormat::Table, L"a", L"--output is given more than once."},
        {{L"--formats=csv"}, false, ReportFormat::Table, L"", L"Unknown option \"--formats=csv\"."},
        {{L"/output=x"}, false, ReportFormat::Table, L"", L"Unknown option \"/output=x\"."},
        {{L"history.csv"}, false, ReportFormat::Table, L"", L"Unexpected argument \"history.csv\"."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        HistoryOptions options;
        std::wstring error;
        ASSERT_EQ(ParseHistoryOptions(c.args, options, error), c.ok);
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(options.format, c.format);
        EXPECT_EQ(options.output, c.output);
    }
    HistoryOptions options;
    std::wstring error;
    ASSERT_TRUE(ParseHistoryOptions({L"--help"}, options, error));
    EXPECT_TRUE(options.help);
}

}  // namespace
