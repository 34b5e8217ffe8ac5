#include "worker_command_line.h"

#include <windows.h>

namespace standin {
namespace history {
namespace {

bool SameSwitch(const std::wstring& arg, const wchar_t* name)
{
    return CompareStringOrdinal(arg.c_str(), -1, name, -1, TRUE) == CSTR_EQUAL;
}

}  // namespace

const wchar_t WorkerUsage[] = L"Usage: telowprivilegeworker.exe /process /runner <library> [library options]";

bool ParseWorkerCommandLine(const std::vector<std::wstring>& args, WorkerCommand& command, std::wstring& error)
{
    if (args.empty()) {
        error = L"Nothing to do.";
        return false;
    }
    if (!SameSwitch(args[0], L"/process")) {
        error = L"Unknown option \"" + args[0] + L"\": the worker runs with /process only.";
        return false;
    }
    if (args.size() < 2 || !SameSwitch(args[1], L"/runner")) {
        error = args.size() < 2 ? L"/process needs /runner <library>."
                                : L"Unknown option \"" + args[1] + L"\": expected /runner <library>.";
        return false;
    }
    if (args.size() < 3 || args[2].empty()) {
        error = L"/runner needs the name of a runner library.";
        return false;
    }
    command.library = args[2];
    command.runnerArgs.assign(args.begin() + 3, args.end());
    return true;
}

std::wstring RunnerLibraryPath(const std::wstring& workerFolder, const std::wstring& library)
{
    if (library.find_first_of(L"\\/:") != std::wstring::npos || workerFolder.empty())
        return library;
    return workerFolder + L"\\" + library;
}

}  // namespace history
}  // namespace standin
