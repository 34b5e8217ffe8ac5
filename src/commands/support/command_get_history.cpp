#include "commands/support/command_get_history.h"

#include "console/arguments.h"
#include "base/logging.h"
#include "base/module_path.h"
#include "base/process_information.h"
#include "base/result_codes.h"
#include "console/command_output.h"
#include "base/unique_resource.h"
#include "base/text_conversion.h"

#include <shlwapi.h>

#include <vector>

namespace {

constexpr wchar_t TraceFunction[] = L"CommandGetHistory::CreateWorkerProcess";
constexpr wchar_t WorkerName[] = L"telowprivilegeworker.exe";
constexpr wchar_t RunnerOptions[] = L"/process /runner";
constexpr wchar_t SupportLibrary[] = L"Product.Support.dll";

constexpr ResultCode ResultWorkerUnavailable{6};
constexpr ResultCode ResultWorkerNotStarted{1067};

// The worker and anything it starts end when the job handle closes.
UniqueHandle CreateKillOnCloseJob()
{
    UniqueHandle job(CreateJobObjectW(nullptr, nullptr));
    if (!job) {
        logging::Diagnostic(logging::level::Failure, TraceFunction, L"Job object creation failed");
        return job;
    }
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        logging::Diagnostic(logging::level::Failure, TraceFunction, L"Couldn't set job object. [error = %d]",
                            static_cast<int>(GetLastError()));
        job.reset();
    }
    return job;
}

// Only a worker that says it succeeded has written the history.
ResultCode WorkerResult(HANDLE process)
{
    DWORD exitCode = 0;
    if (!GetExitCodeProcess(process, &exitCode)) {
        logging::Diagnostic(logging::level::Failure, TraceFunction, L"Couldn't read the worker's exit code [error = %d]",
                            static_cast<int>(GetLastError()));
        return result::CommandFailed;
    }
    CommandOutput().Data("workerExitCode", Json::Value(static_cast<Json::UInt>(exitCode)));
    if (exitCode == 0)
        return result::Success;
    logging::Diagnostic(logging::level::Failure, TraceFunction, L"Worker failed [exit code = %u]",
                        static_cast<unsigned>(exitCode));
    return result::CommandFailed;
}

}  // namespace

std::wstring HistoryWorkerPath()
{
    return FolderWithBackslash(ModuleFileName(nullptr)) + WorkerName;
}

std::wstring HistoryWorkerCommandLine(const std::wstring& workerPath, bool csv, const std::wstring& outputPath)
{
    std::wstring extra;
    if (csv)
        extra += L"--format=csv ";
    if (!outputPath.empty())
        extra += L"--output=\"" + outputPath + L"\"";
    // "<worker>" <runner options> "<library>" <extra options>
    return L"\"" + workerPath + L"\" " + RunnerOptions + L" \"" + SupportLibrary + L"\" " + extra;
}

ResultCode CommandGetHistory::Execute(const ArgumentTokens& args)
{
    std::vector<std::wstring> words;
    words.reserve(args.size());
    for (const auto& arg : args)
        words.push_back(StripQuotes(Utf8ToWide(arg)));
    const WideArgumentMap params = ParseArguments(words);
    const std::wstring path = GetParam(params, std::wstring(L"path"));
    const bool csv = HasParam(params, std::wstring(L"format")) && GetParam(params, std::wstring(L"format")) == L"csv";
    return CreateWorkerProcess(csv, path);
}

ResultCode CommandGetHistory::CreateWorkerProcess(bool csv, const std::wstring& outputPath)
{
    // Declared first so that it closes last, after the worker's handles.
    UniqueHandle job = CreateKillOnCloseJob();
    if (!job)
        return ResultWorkerUnavailable;

    std::wstring commandLine = HistoryWorkerCommandLine(HistoryWorkerPath(), csv, outputPath);
    logging::Diagnostic(logging::level::Info, TraceFunction, L"StartProcess [%s]", commandLine.c_str());

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION created{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &created)) {
        logging::Diagnostic(logging::level::Failure, TraceFunction, L"Failed to create worker process [error = %d]",
                            static_cast<int>(GetLastError()));
        return ResultWorkerNotStarted;
    }
    const ProcessInformation worker(created);
    if (!worker) {
        logging::Diagnostic(logging::level::Failure, TraceFunction, L"Couldn't create worker process [error = %d]",
                            static_cast<int>(GetLastError()));
        return ResultWorkerUnavailable;
    }

    if (!AssignProcessToJobObject(job.get(), worker.Process()))
        logging::Diagnostic(logging::level::Failure, TraceFunction, L"Failed to assign process to job. [error = %d]",
                            static_cast<int>(GetLastError()));

    if (WaitForSingleObject(worker.Process(), workerTimeoutMs_) != WAIT_OBJECT_0) {
        logging::Diagnostic(logging::level::Failure, TraceFunction, L"Worker timed out");
        TerminateProcess(worker.Process(), 0xFFFFFFFF);
        CommandOutput().Data("workerTerminated", true);
        return result::ResponseTimeout;
    }
    logging::Diagnostic(logging::level::Info, TraceFunction, L"Worker finished job");
    return WorkerResult(worker.Process());
}
