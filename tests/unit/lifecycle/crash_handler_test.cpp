#include "console/crash_handler.h"

#include <gtest/gtest.h>

#include <csignal>

namespace {

void PreviousAbortHandler(int) {}

// The abort handler in place after LoadCrashHandler, restoring ours.
void (*AbortHandlerAfter(const wchar_t* library))(int)
{
    const HMODULE module = LoadLibraryW(library);
    EXPECT_NE(module, nullptr);
    std::signal(SIGABRT, &PreviousAbortHandler);
    const HMODULE enabled = LoadCrashHandler(nullptr, module);
    auto* const current = std::signal(SIGABRT, SIG_DFL);
    EXPECT_EQ(enabled != nullptr, std::wstring(library) == L"accepting_crash_handler.dll");
    return current;
}

TEST(LoadCrashHandler, RefusalLeavesNoAbortHandlerIntoTheLibrary)
{
    EXPECT_EQ(AbortHandlerAfter(L"refusing_crash_handler.dll"), &PreviousAbortHandler);
}

TEST(LoadCrashHandler, EnabledLibraryHandlesAborts)
{
    const auto handler = AbortHandlerAfter(L"accepting_crash_handler.dll");
    EXPECT_EQ(reinterpret_cast<void*>(handler),
              reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"accepting_crash_handler.dll"), "SignalHandler")));
}

}  // namespace
