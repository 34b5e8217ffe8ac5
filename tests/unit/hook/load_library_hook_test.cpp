// Hooks on the process's own LoadLibraryW, LoadLibraryExW, LoadLibraryA and
// LoadLibraryExA: loads pass through the replacements, and the trampolines
// still load libraries as the system functions do.
#include <gtest/gtest.h>

#include <atomic>

#include "console/unique_resource.h"
#include "dllguard/hook/jump_thunks.h"
#include "hook_test_support.h"

namespace hooktest {
namespace {

decltype(&::LoadLibraryW) g_trueLoadLibraryW = &::LoadLibraryW;
decltype(&::LoadLibraryExW) g_trueLoadLibraryExW = &::LoadLibraryExW;
decltype(&::LoadLibraryA) g_trueLoadLibraryA = &::LoadLibraryA;
decltype(&::LoadLibraryExA) g_trueLoadLibraryExA = &::LoadLibraryExA;

std::atomic<int> g_callsW{0}, g_callsExW{0}, g_callsA{0}, g_callsExA{0};

HMODULE WINAPI HookLoadLibraryW(LPCWSTR name)
{
    g_callsW.fetch_add(1);
    return g_trueLoadLibraryW(name);
}

HMODULE WINAPI HookLoadLibraryExW(LPCWSTR name, HANDLE file, DWORD flags)
{
    g_callsExW.fetch_add(1);
    return g_trueLoadLibraryExW(name, file, flags);
}

HMODULE WINAPI HookLoadLibraryA(LPCSTR name)
{
    g_callsA.fetch_add(1);
    return g_trueLoadLibraryA(name);
}

HMODULE WINAPI HookLoadLibraryExA(LPCSTR name, HANDLE file, DWORD flags)
{
    g_callsExA.fetch_add(1);
    return g_trueLoadLibraryExA(name, file, flags);
}

uint8_t* Body(void* function)
{
    return hooking::FollowJumpThunks(static_cast<uint8_t*>(function), nullptr, nullptr);
}

class LoadLibraryHooks : public ::testing::Test {
protected:
    void SetUp() override
    {
        unhooked_ = {Code(g_trueLoadLibraryW), Code(g_trueLoadLibraryExW), Code(g_trueLoadLibraryA),
                     Code(g_trueLoadLibraryExA)};
        for (void* function : unhooked_)
            bodies_.push_back({Body(function), Bytes(Body(function))});
        ASSERT_EQ(0, hooking::TransactionBegin());
        ASSERT_EQ(0, hooking::UpdateThread(::GetCurrentThread()));
        ASSERT_EQ(0, hooking::Attach(&g_trueLoadLibraryW, &HookLoadLibraryW));
        ASSERT_EQ(0, hooking::Attach(&g_trueLoadLibraryExW, &HookLoadLibraryExW));
        ASSERT_EQ(0, hooking::Attach(&g_trueLoadLibraryA, &HookLoadLibraryA));
        ASSERT_EQ(0, hooking::Attach(&g_trueLoadLibraryExA, &HookLoadLibraryExA));
        ASSERT_EQ(0, hooking::TransactionCommit());
        hooked_ = true;
        g_callsW = g_callsExW = g_callsA = g_callsExA = 0;
    }

    void TearDown() override
    {
        if (!hooked_)
            return;
        ASSERT_EQ(0, hooking::TransactionBegin());
        ASSERT_EQ(0, hooking::UpdateThread(::GetCurrentThread()));
        ASSERT_EQ(0, hooking::Detach(&g_trueLoadLibraryW, &HookLoadLibraryW));
        ASSERT_EQ(0, hooking::Detach(&g_trueLoadLibraryExW, &HookLoadLibraryExW));
        ASSERT_EQ(0, hooking::Detach(&g_trueLoadLibraryA, &HookLoadLibraryA));
        ASSERT_EQ(0, hooking::Detach(&g_trueLoadLibraryExA, &HookLoadLibraryExA));
        ASSERT_EQ(0, hooking::TransactionCommit());
        for (const auto& body : bodies_)
            EXPECT_EQ(body.second, Bytes(body.first)) << "the system function is back byte for byte";
        const std::vector<void*> restored = {Code(g_trueLoadLibraryW), Code(g_trueLoadLibraryExW),
                                             Code(g_trueLoadLibraryA), Code(g_trueLoadLibraryExA)};
        EXPECT_EQ(unhooked_, restored);
    }

    TransactionGuard guard_;
    bool hooked_ = false;
    std::vector<void*> unhooked_;  // the pointers before the hooks: our import stubs, say
    std::vector<std::pair<uint8_t*, std::vector<uint8_t>>> bodies_;
};

// Each call goes through its own replacement (a system function or a
// library's start-up may load more through the hooked functions, so counts
// can grow by more than one).
TEST_F(LoadLibraryHooks, CallsPassThroughTheHooks)
{
    struct {
        const char* what;
        HMODULE (*load)();
        std::atomic<int>& calls;
    } const cases[] = {
        {"LoadLibraryW", [] { return ::LoadLibraryW(L"version.dll"); }, g_callsW},
        {"LoadLibraryExW", [] { return ::LoadLibraryExW(L"shlwapi.dll", nullptr, 0); }, g_callsExW},
        {"LoadLibraryA", [] { return ::LoadLibraryA("winmm.dll"); }, g_callsA},
        {"LoadLibraryExA", [] { return ::LoadLibraryExA("wintrust.dll", nullptr, 0); }, g_callsExA},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const int before = c.calls.load();
        UniqueModule module(c.load());
        EXPECT_TRUE(module);
        EXPECT_LT(before, c.calls.load());
    }
}

TEST_F(LoadLibraryHooks, TrampolinesLoadLibraries)
{
    UniqueModule w(g_trueLoadLibraryW(L"version.dll"));
    ASSERT_TRUE(w);
    EXPECT_NE(nullptr, ::GetProcAddress(w.get(), "GetFileVersionInfoSizeW"));
    UniqueModule exW(g_trueLoadLibraryExW(L"shlwapi.dll", nullptr, 0));
    EXPECT_EQ(::GetModuleHandleW(L"shlwapi.dll"), exW.get());
    UniqueModule a(g_trueLoadLibraryA("winmm.dll"));
    EXPECT_EQ(::GetModuleHandleW(L"winmm.dll"), a.get());
    UniqueModule exA(g_trueLoadLibraryExA("version.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE));
    EXPECT_TRUE(exA);
    EXPECT_EQ(0, g_callsW.load());
    EXPECT_EQ(0, g_callsA.load());
}

TEST_F(LoadLibraryHooks, FailuresKeepTheirLastError)
{
    ::SetLastError(0);
    EXPECT_EQ(nullptr, ::LoadLibraryW(L"no-such-library-here.dll"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), ::GetLastError());
    ::SetLastError(0);
    EXPECT_EQ(nullptr, g_trueLoadLibraryExA("no-such-library-here.dll", nullptr, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), ::GetLastError());
}

}  // namespace
}  // namespace hooktest
