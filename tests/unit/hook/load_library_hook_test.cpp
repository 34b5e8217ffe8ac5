// Hooks on the process's own LoadLibraryW, LoadLibraryExW, LoadLibraryA and
// LoadLibraryExA: loads pass through the replacements, and the trampolines
// still load libraries as the system functions do.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <initializer_list>

#include "base/unique_resource.h"
#include "dllguard/hook/jump_thunks.h"
#include "dllguard/hook/mapped_image.h"
#include "dllguard/hook/x64_jump.h"
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
        for (const char* name : {"LoadLibraryW", "LoadLibraryExW", "LoadLibraryA", "LoadLibraryExA"}) {
            void* exported = Code(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), name));
            exports_.push_back({exported, Bytes(exported)});
        }
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
    std::vector<std::pair<void*, std::vector<uint8_t>>> exports_;  // kernel32's, before the hooks
};

HMODULE ModuleOf(const void* address)
{
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         static_cast<LPCWSTR>(address), &module);
    return module;
}

// kernel32's exports are import thunks into kernelbase (lea rsp,[rsp+0];
// jmp [rip+x] under Wine), reached here through this executable's own import
// stubs: the patches go into kernelbase, the thunks stay.
TEST_F(LoadLibraryHooks, Kernel32ThunksAreFollowedIntoKernelbase)
{
    const HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
    const HMODULE kernelbase = ::GetModuleHandleW(L"kernelbase.dll");
    ASSERT_NE(nullptr, kernelbase);
    for (size_t i = 0; i < exports_.size(); ++i) {
        SCOPED_TRACE(i);
        ASSERT_EQ(kernel32, ModuleOf(exports_[i].first));
        EXPECT_EQ(kernelbase, ModuleOf(bodies_[i].first));
        EXPECT_EQ(exports_[i].second, Bytes(exports_[i].first)) << "the thunk in kernel32 is not patched";
        EXPECT_EQ(0xE9, bodies_[i].first[0]);
    }
}

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

// Through the trampolines libraries load as through the system functions,
// without passing their own hooks. (The system's LoadLibraryW goes on into
// LoadLibraryExW, and a first load may run start-up code that loads more,
// so only each trampoline's own hook is counted, on a second round.)
TEST_F(LoadLibraryHooks, TrampolinesLoadLibrariesPastTheirHooks)
{
    struct {
        const char* what;
        HMODULE (*load)();
        std::atomic<int>& ownCalls;
        const wchar_t* name;
    } const cases[] = {
        {"LoadLibraryW", [] { return g_trueLoadLibraryW(L"version.dll"); }, g_callsW, L"version.dll"},
        {"LoadLibraryExW", [] { return g_trueLoadLibraryExW(L"shlwapi.dll", nullptr, 0); }, g_callsExW,
         L"shlwapi.dll"},
        {"LoadLibraryA", [] { return g_trueLoadLibraryA("winmm.dll"); }, g_callsA, L"winmm.dll"},
        {"LoadLibraryExA", [] { return g_trueLoadLibraryExA("wintrust.dll", nullptr, 0); }, g_callsExA,
         L"wintrust.dll"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        UniqueModule first(c.load());
        ASSERT_TRUE(first);
        EXPECT_EQ(::GetModuleHandleW(c.name), first.get());
        c.ownCalls = 0;
        UniqueModule second(c.load());
        EXPECT_EQ(first.get(), second.get());
        EXPECT_EQ(0, c.ownCalls.load());
    }
    UniqueModule version(g_trueLoadLibraryW(L"version.dll"));
    EXPECT_NE(nullptr, ::GetProcAddress(version.get(), "GetFileVersionInfoSizeW"));
}

// The trampolines of the functions the guard hooks, where they really are:
// in the unused end of the code section of each body's own image, which no
// library loaded later (the trust checks load wintrust and crypt32 after the
// hooks go in) can be mapped over, and within reach of the body.
TEST_F(LoadLibraryHooks, TrampolinesLieInTheirBodysOwnImage)
{
    const std::vector<void*> trampolines = {Code(g_trueLoadLibraryW), Code(g_trueLoadLibraryExW),
                                            Code(g_trueLoadLibraryA), Code(g_trueLoadLibraryExA)};
    for (size_t i = 0; i < trampolines.size(); ++i) {
        const auto body = reinterpret_cast<uintptr_t>(bodies_[i].first);
        const auto trampoline = reinterpret_cast<uintptr_t>(trampolines[i]);
        std::printf("body %#llx, trampoline %#llx\n", static_cast<unsigned long long>(body),
                    static_cast<unsigned long long>(trampoline));
        hooking::MappedImage image;
        ASSERT_TRUE(image.Open(bodies_[i].first));
        const auto tails = image.CodeSectionTails();
        EXPECT_TRUE(std::any_of(tails.begin(), tails.end(),
                                [&](const hooking::AddressRange& tail) { return tail.Contains(trampoline); }))
            << i;
        EXPECT_TRUE(hooking::Reachable(body, trampoline) && hooking::Reachable(trampoline, body)) << i;
    }
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
