// LoadLibraryW of a library the process already holds, with and without a
// hook in front of it. The guard hooks every library load of the process, so
// its overhead on this common case is paid again and again.
#include "base/unique_resource.h"
#include "dllguard/hook/hook_transaction.h"
#include "dllguard/intercept/dll_protect.h"
#include "dllguard/intercept/guard_options.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

constexpr wchar_t LoadedLibrary[] = L"kernel32.dll";
// Handles are freed in batches, outside the timed part.
constexpr size_t Batch = 4096;

void LoadLoadedLibrary(benchmark::State& state)
{
    std::vector<UniqueModule> handles;
    handles.reserve(Batch);
    for (auto _ : state) {
        handles.emplace_back(::LoadLibraryW(LoadedLibrary));
        if (handles.size() == Batch) {
            state.PauseTiming();
            handles.clear();
            state.ResumeTiming();
        }
    }
    if (handles.empty() || !handles.front())
        state.SkipWithError("LoadLibraryW failed");
}

decltype(&::LoadLibraryW) g_trueLoadLibraryW = &::LoadLibraryW;

HMODULE WINAPI PassThroughLoadLibraryW(LPCWSTR name) { return g_trueLoadLibraryW(name); }

// A pass-through detour on LoadLibraryW for the lifetime of the object.
class PassThroughHook {
public:
    PassThroughHook()
    {
        hooking::TransactionBegin();
        hooking::UpdateThread(::GetCurrentThread());
        if (hooking::Attach(&g_trueLoadLibraryW, &PassThroughLoadLibraryW) != 0) {
            hooking::TransactionAbort();
            return;
        }
        attached_ = hooking::TransactionCommit() == 0;
    }
    ~PassThroughHook()
    {
        if (!attached_)
            return;
        hooking::TransactionBegin();
        hooking::UpdateThread(::GetCurrentThread());
        if (hooking::Detach(&g_trueLoadLibraryW, &PassThroughLoadLibraryW) != 0)
            hooking::TransactionAbort();
        else
            hooking::TransactionCommit();
    }
    PassThroughHook(const PassThroughHook&) = delete;
    PassThroughHook& operator=(const PassThroughHook&) = delete;

    bool Attached() const { return attached_; }

private:
    bool attached_ = false;
};

void BM_LoadLibraryW_Unhooked(benchmark::State& state) { LoadLoadedLibrary(state); }
BENCHMARK(BM_LoadLibraryW_Unhooked);

void BM_LoadLibraryW_PassThroughHook(benchmark::State& state)
{
    PassThroughHook hook;
    if (!hook.Attached()) {
        state.SkipWithError("the hook could not be attached");
        return;
    }
    LoadLoadedLibrary(state);
}
BENCHMARK(BM_LoadLibraryW_PassThroughHook);

// The guard's own hooks, in report mode with the signature check, as the
// console starts them.
void BM_LoadLibraryW_GuardHook(benchmark::State& state)
{
    using namespace dllguard;
    if (DllProtectStart(option::ReportMode | option::CheckSignature, L"product_microbench.exe") != 1 ||
        !DllProtectActive()) {
        state.SkipWithError("the guard did not start");
        return;
    }
    LoadLoadedLibrary(state);
    DllProtectStop();
}
BENCHMARK(BM_LoadLibraryW_GuardHook);

}  // namespace
