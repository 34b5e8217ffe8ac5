// telowprivilegeworker.exe: loads a runner library and runs it with the
// options that follow its name.
#include "exit_codes.h"
#include "report_output.h"
#include "runner_abi.h"
#include "worker_command_line.h"

#include "common/agent_folders.h"
#include "base/unique_resource.h"

#include <windows.h>

#include <cwchar>
#include <vector>

using namespace standin::history;

namespace {

// Test switch: a worker that takes this long before it starts its work.
void HangWhenAsked()
{
    const std::wstring hang = standin::common::EnvironmentText(L"PRODUCT_WORKER_HANG_MS");
    if (!hang.empty())
        Sleep(static_cast<DWORD>(std::wcstoul(hang.c_str(), nullptr, 10)));
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    HangWhenAsked();

    const std::vector<std::wstring> args(argv + 1, argv + argc);
    WorkerCommand command;
    std::wstring error;
    if (!ParseWorkerCommandLine(args, command, error)) {
        ReportError(error);
        ReportError(WorkerUsage);
        return exit_code::BadCommandLine;
    }

    const std::wstring path = RunnerLibraryPath(standin::common::ModuleDirectory(nullptr), command.library);
    // The library's own dependencies are found beside it.
    UniqueModule library(LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!library) {
        ReportError(L"Cannot load the runner library " + path + L": " + ErrorText(GetLastError()));
        return exit_code::RunnerUnavailable;
    }
    const auto runnerMain =
        reinterpret_cast<RunnerMainFn>(reinterpret_cast<void*>(GetProcAddress(library.get(), RunnerEntryName)));
    if (runnerMain == nullptr) {
        ReportError(path + L" is no runner library: it has no " + FromUtf8(RunnerEntryName) + L" entry.");
        return exit_code::RunnerUnavailable;
    }

    std::vector<const wchar_t*> runnerArgs;
    for (const auto& arg : command.runnerArgs)
        runnerArgs.push_back(arg.c_str());
    runnerArgs.push_back(nullptr);
    return runnerMain(static_cast<int>(command.runnerArgs.size()), runnerArgs.data());
}
