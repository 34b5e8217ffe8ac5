// Product.Console: the command-line console of the agent.
#include "entry/command_table.h"
#include "console/crash_handler.h"
#include "console/instance_observer.h"
#include "entry/interrupts.h"
#include "entry/shell.h"
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

    int exitCode;
    {
        Product::InstanceControl::Observer observer(Product::InstanceControl::ConsoleEventName, &InterruptCallback);
        exitCode = SharedRunner.Start();
        if (exitCode == 0) {
            ConsoleCommands commands(&SharedRunner);
            commands.RegisterAll();
            RunShell(argc, argv);
            SharedRunner.Shutdown();
        }
    }
    StopDllGuard(guard);
    return exitCode;
}
