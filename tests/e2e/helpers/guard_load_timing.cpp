// guard_load_timing [iterations]: what the guard's hook adds to LoadLibraryW
// of a library that is already loaded. Times the same calls without the
// guard, with it, and without it again, several rounds each, in one process,
// and prints the fastest round of each in nanoseconds per call.
#include "base/console_output.h"
#include "dllguard/intercept/dll_protect.h"
#include "dllguard/intercept/guard_options.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <stdio.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <fmt/xchar.h>

namespace {

constexpr wchar_t kLibrary[] = L"version.dll";
constexpr int kRounds = 5;

// Nanoseconds per LoadLibraryW call, fastest of the rounds. The references
// taken are given back outside the timed part.
double FastestRound(long iterations)
{
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    double best = 0;
    std::vector<HMODULE> handles(static_cast<size_t>(iterations));
    for (int round = 0; round < kRounds; ++round) {
        LARGE_INTEGER start{}, end{};
        QueryPerformanceCounter(&start);
        for (long i = 0; i < iterations; ++i)
            handles[static_cast<size_t>(i)] = LoadLibraryW(kLibrary);
        QueryPerformanceCounter(&end);
        for (HMODULE module : handles)
            FreeLibrary(module);
        const double ns = static_cast<double>(end.QuadPart - start.QuadPart) * 1e9 /
                          static_cast<double>(frequency.QuadPart) / static_cast<double>(iterations);
        best = round == 0 ? ns : std::min(best, ns);
    }
    return best;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    _setmode(_fileno(stdout), _O_U8TEXT);
    const long iterations = argc > 1 ? std::wcstol(argv[1], nullptr, 10) : 100000;
    if (iterations <= 0) {
        console::WriteLine(L"usage: guard_load_timing [iterations]");
        return 1;
    }
    const HMODULE kept = LoadLibraryW(kLibrary);  // loaded for the whole run
    if (kept == nullptr) {
        console::WriteLine(L"cannot load version.dll");
        return 1;
    }

    const double before = FastestRound(iterations);
    if (dllguard::DllProtectStart(dllguard::option::CheckSignature | dllguard::option::ReportMode, L"timing") != 1) {
        console::WriteLine(L"the guard did not start");
        return 1;
    }
    const double hooked = FastestRound(iterations);
    dllguard::DllProtectStop();
    const double after = FastestRound(iterations);
    FreeLibrary(kept);

    const double unhooked = std::min(before, after);
    console::WriteLine(fmt::format(L"iterations: {} x {} rounds", iterations, kRounds));
    console::WriteLine(fmt::format(L"unhooked: {:.0f} ns per call (before {:.0f}, after {:.0f})", unhooked, before,
                                   after));
    console::WriteLine(fmt::format(L"hooked: {:.0f} ns per call", hooked));
    console::WriteLine(fmt::format(L"overhead: {:.0f} ns per call ({:.2f}x)", hooked - unhooked, hooked / unhooked));
    return 0;
}
