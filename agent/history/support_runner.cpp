// Product.Support.dll as a runner: writes the agent's support-session history.
#include "exit_codes.h"
#include "history_options.h"
#include "history_report.h"
#include "report_output.h"
#include "runner_abi.h"

#include "common/support_history_store.h"

#include <windows.h>

#include <type_traits>
#include <vector>

using namespace standin::history;
using standin::common::ReadSupportHistory;
using standin::common::SupportHistoryPath;

extern "C" __declspec(dllexport) int RunnerMain(int argc, const wchar_t* const* argv)
{
    static_assert(std::is_same<decltype(&RunnerMain), RunnerMainFn>::value, "runner entry type");

    const std::vector<std::wstring> args(argv, argv + argc);
    HistoryOptions options;
    std::wstring error;
    if (!ParseHistoryOptions(args, options, error)) {
        ReportError(error);
        ReportError(HistoryUsage);
        return exit_code::BadCommandLine;
    }
    if (options.help) {
        WriteStandard(STD_OUTPUT_HANDLE, ToUtf8(std::wstring(HistoryUsage) + L"\r\n"));
        return exit_code::Written;
    }

    const std::wstring store = SupportHistoryPath();
    const standin::common::SupportHistory history = ReadSupportHistory(store);
    if (history.error != 0) {
        ReportError(L"Cannot read the support session history " + store + L": " + ErrorText(history.error));
        return exit_code::StoreUnreadable;
    }
    if (history.damagedLines > 0)
        ReportError(L"Warning: " + std::to_wstring(history.damagedLines) +
                    L" damaged line(s) in the support session history " + store + L" were left out.");

    const std::string report = HistoryReport(history.sessions, options.format);
    if (options.output.empty()) {
        // Started by the console, the worker's standard output is a console
        // nobody sees: the default file keeps the history either way.
        WriteStandard(STD_OUTPUT_HANDLE, report);
        options.output = DefaultHistoryFile(options.format);
    }
    const DWORD written = WriteTextFile(options.output, report);
    if (written != 0) {
        ReportError(L"Cannot write the history to " + options.output + L": " + ErrorText(written));
        return exit_code::OutputFailed;
    }
    return exit_code::Written;
}
