// Product.Console: the command-line console of the agent.
#include "console/entry/command_table.h"
#include "console/crash_handler.h"
#include "console/instance_observer.h"
#include "console/entry/interrupts.h"
#include "console/entry/shell.h"
#include "dllguard/startup/guard_startup.h"
#include "integration/tesdk_runner.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <stdio.h>

namespace {
// The one connection every command sends through; lives for the whole process.
TesdkRunner SharedRunner;
}  // namespace

int wmain(int argc, wchar_t** argv)
{
    GuardStartupState guard;
    StartDllGuard(guard);

    _setmode(_fileno(stdout), _O_U8TEXT);
    _setmode(_fileno(stderr), _O_U8TEXT);
    _setmode(_fileno(stdin), _O_WTEXT);
    SetErrorMode(SEM_FAILCRITICALERRORS);
    LoadCrashHandler(nullptr, nullptr);

    SetInterruptRunner(&SharedRunner);
    SetConsoleCtrlHandler(&ConsoleCtrlHandler, TRUE);

    ResultCode started;
    {
        Product::InstanceControl::Observer observer(Product::InstanceControl::ConsoleEventName, &InterruptCallback);
        started = SharedRunner.Start();
        if (started == result::Success) {
            ConsoleCommands commands(&SharedRunner);
            commands.RegisterAll();
            RunShell(argc, argv);
            SharedRunner.Shutdown();
        }
    }
    StopDllGuard(guard);
    // The one place a result becomes the system's number: 0 once the agent
    // was reached, whatever the commands did; else why it could not be.
    return static_cast<int32_t>(started);
}
