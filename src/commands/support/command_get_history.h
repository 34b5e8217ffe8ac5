#pragma once
// "Support.GetHistory": the history of past support sessions, produced by the
// agent's low-privilege worker program running the support module library.
// The console only starts the worker, inside a job that ends it with the
// console, and waits; the worker writes the history itself.
#include "console/command.h"

#include <windows.h>

#include <string>

class CommandGetHistory : public CommandBase {
public:
    static constexpr DWORD WorkerTimeoutMs = 60000;

    explicit CommandGetHistory(TesdkRunner* runner, DWORD workerTimeoutMs = WorkerTimeoutMs)
        : CommandBase(runner), workerTimeoutMs_(workerTimeoutMs)
    {
    }

    std::string& GetName(std::string& name) const override { return name = "Support.GetHistory"; }
    ResultCode Execute(const ArgumentTokens& args) override;

    // Runs the worker to its end (or until the time limit) and returns the
    // result code; the worker's own exit code is not looked at.
    ResultCode CreateWorkerProcess(bool csv, const std::wstring& outputPath);

private:
    DWORD workerTimeoutMs_;
};

// telowprivilegeworker.exe in the running executable's folder.
std::wstring HistoryWorkerPath();
// The worker's full command line.
std::wstring HistoryWorkerCommandLine(const std::wstring& workerPath, bool csv, const std::wstring& outputPath);
