#pragma once
// "Support.GetHistory": the history of past support sessions, produced by the
// agent's low-privilege worker program running the support module library.
// The console only starts the worker, inside a job that ends it with the
// console, and waits; the worker writes the history itself. Its exit code
// tells whether it did: anything but 0 is a failed command.
#include "console/command.h"

#include <windows.h>

#include <string>

class CommandGetHistory : public CommandBase {
public:
    static constexpr CommandSynopsis Synopsis = {
        "[path=<file>] [format=csv]",
        "writes the history of past support sessions"};
    static constexpr DWORD WorkerTimeoutMs = 60000;

    explicit CommandGetHistory(TesdkRunner* runner, DWORD workerTimeoutMs = WorkerTimeoutMs)
        : CommandBase(runner), workerTimeoutMs_(workerTimeoutMs)
    {
    }

    std::string& GetName(std::string& name) const override { return name = "Support.GetHistory"; }
    ResultCode Execute(const ArgumentTokens& args) override;

    // Runs the worker to its end and returns the result code: 0 when it
    // exited with 0, 1627 for another exit code, 1460 when it had to be
    // ended at the time limit.
    ResultCode CreateWorkerProcess(bool csv, const std::wstring& outputPath);

private:
    DWORD workerTimeoutMs_;
};

// telowprivilegeworker.exe in the running executable's folder.
std::wstring HistoryWorkerPath();
// The worker's full command line.
std::wstring HistoryWorkerCommandLine(const std::wstring& workerPath, bool csv, const std::wstring& outputPath);
