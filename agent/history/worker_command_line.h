#pragma once
// The worker's command line:
//   telowprivilegeworker.exe /process /runner <library> [library options]
// The options after the library's name are the runner's own.
#include <string>
#include <vector>

namespace standin {
namespace history {

struct WorkerCommand {
    std::wstring library;
    std::vector<std::wstring> runnerArgs;
};

extern const wchar_t WorkerUsage[];

// `args` without the program name. Returns false with a message in `error`.
bool ParseWorkerCommandLine(const std::vector<std::wstring>& args, WorkerCommand& command, std::wstring& error);

// A bare library name is looked for in the worker's own folder.
std::wstring RunnerLibraryPath(const std::wstring& workerFolder, const std::wstring& library);

}  // namespace history
}  // namespace standin
