// Product.Console: the command-line console of the agent.
#include "entry/command_table.h"
#include "console/crash_handler.h"
#include "console/instance_observer.h"
#include "entry/interrupts.h"
#include "entry/shell.h"
#include "entry/start_options.h"
#include "entry/usage.h"
#include "console/shell_output.h"
#include "dllguard/startup/guard_startup.h"
#include "integration/tesdk_runner.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <stdio.h>

namespace {
// The one connection every command sends through; lives for the whole process.
TesdkRunner SharedRunner;

// The usage needs the command table only: nothing of the agent is loaded, so
// it answers where the agent is missing or broken.
void AnswerUsageAlone()
{
    ConsoleCommands commands(&SharedRunner);
    commands.RegisterAll();
    AnswerUsage("/?");
}

// The process's exit code: why the agent could not be reached, else what the
// shell ends with.
int RunConsole(const StartOptions& start)
{
    LoadCrashHandler(nullptr, nullptr);

    SetInterruptRunner(&SharedRunner);
    SetConsoleCtrlHandler(&ConsoleCtrlHandler, TRUE);

    Product::InstanceControl::Observer observer(Product::InstanceControl::ConsoleEventName, &InterruptCallback);
    const ResultCode started = SharedRunner.Start();
    if (started != result::Success) {
        OutputForm().StartupFailed(started);
        return static_cast<int32_t>(started);  // the system's number for why
    }
    ConsoleCommands commands(&SharedRunner);
    commands.RegisterAll();
    const int exitCode = RunShell(start.argc, start.argv);
    SharedRunner.Shutdown();
    return exitCode;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    GuardStartupState guard;
    StartDllGuard(guard);

    _setmode(_fileno(stdout), _O_U8TEXT);
    _setmode(_fileno(stderr), _O_U8TEXT);
    _setmode(_fileno(stdin), _O_WTEXT);
    SetErrorMode(SEM_FAILCRITICALERRORS);

    const StartOptions start = ReadStartOptions(argc, argv);
    UseOutputForm(start.json ? JsonForm() : TextForm());
    int exitCode = 0;
    if (start.usage)
        AnswerUsageAlone();
    else
        exitCode = RunConsole(start);
    StopDllGuard(guard);
    return exitCode;
}
