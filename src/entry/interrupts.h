#pragma once
// Console control events (Ctrl+C, Ctrl+Break, close, log-off, shut-down) and
// the cancel request of the instance-control observer.
#include <windows.h>


class TesdkRunner;

// The connection the handler stops while the shell waits for its first line.
void SetInterruptRunner(TesdkRunner* runner);

BOOL WINAPI ConsoleCtrlHandler(DWORD controlType);

// The observer's callback: cancels the current command, then raises Ctrl+C
// in the console.
void InterruptCallback();

// Cancels the current command, if any. Cancel requests and forgetting the
// current command are serialised, so a command is never cancelled after the
// teardown has let go of it.
void CancelCurrentCommand();
void ForgetCurrentCommand();
