#pragma once
// Inline hooks on x86-64 functions of this process, installed and removed in
// transactions:
//
//   TransactionBegin();
//   UpdateThread(otherThread);              // threads that may run the targets
//   Attach(&trueFunction, &Replacement);    // as many as needed
//   TransactionCommit();                    // all of them, or none
//
// Attach follows the system's own jump thunks (import thunks, hot-patch
// jumps) to the function body, moves its first instructions (another
// product's jump there included) into a trampoline within rel32 reach (in
// the unused end of the body's own code section where there is room) and,
// on commit, overwrites them with a 5-byte jump to the replacement and
// points `*target` at the trampoline, through which the original stays
// callable. A body that is a lone jmp rel8 keeps the bytes after it: only the
// jump is rewritten, to int3 padding nearby that then jumps on. Detach takes
// the same pair back.
// Enlisted threads are suspended during the commit, and those stopped inside
// the rewritten bytes are moved to the matching place. One transaction at a
// time in the process, driven by the thread that began it. Every function
// returns a Windows error code, 0 on success; after a failed Attach, Detach
// or UpdateThread the transaction can only be aborted (a commit aborts it and
// returns that error).
#include <windows.h>

namespace hooking {

LONG TransactionBegin();
LONG UpdateThread(HANDLE thread);
LONG Attach(void** target, void* detour);
LONG Detach(void** target, void* detour);
LONG TransactionCommit();
LONG TransactionAbort();

// Typed forms, for `Attach(&g_trueCreateFileW, &HookCreateFileW)`.
template <class Function>
LONG Attach(Function* target, Function detour)
{
    return Attach(reinterpret_cast<void**>(target), reinterpret_cast<void*>(detour));
}

template <class Function>
LONG Detach(Function* target, Function detour)
{
    return Detach(reinterpret_cast<void**>(target), reinterpret_cast<void*>(detour));
}

}  // namespace hooking
