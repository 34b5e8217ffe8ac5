#include "entry/interrupts.h"

#include "entry/shell.h"
#include "console/handled_interrupts.h"
#include "integration/tesdk_runner.h"

#include <atomic>
#include <mutex>

namespace {

std::atomic<TesdkRunner*> g_runner{nullptr};

std::mutex& CancelLock()
{
    static std::mutex lock;
    return lock;
}

}  // namespace

void SetInterruptRunner(TesdkRunner* runner) { g_runner = runner; }

void CancelCurrentCommand()
{
    std::lock_guard<std::mutex> guard(CancelLock());
    if (ICommand* command = CurrentCommand.load())
        command->Cancel();
}

void ForgetCurrentCommand()
{
    std::lock_guard<std::mutex> guard(CancelLock());
    CurrentCommand = nullptr;
}

BOOL WINAPI ConsoleCtrlHandler(DWORD controlType)
{
    switch (controlType) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        break;
    default:
        return FALSE;
    }
    if (AwaitingInput.load()) {
        // Nothing runs yet: close the agent connection and let the system's
        // default handling end the process.
        if (TesdkRunner* runner = g_runner.load())
            runner->Shutdown();
        CountHandledInterrupt();
        return FALSE;
    }
    CancelCurrentCommand();
    CountHandledInterrupt();
    return TRUE;
}

void InterruptCallback()
{
    CancelCurrentCommand();
    // Fails without a console; the cancel has been made either way.
    GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
}
