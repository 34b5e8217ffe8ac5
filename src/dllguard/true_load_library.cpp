#include "dllguard/true_load_library.h"

#include <atomic>

namespace dllguard {
namespace {

std::atomic<LoadLibraryExWFunction> g_trueLoadLibraryExW{&::LoadLibraryExW};

}  // namespace

LoadLibraryExWFunction TrueLoadLibraryExW() { return g_trueLoadLibraryExW.load(); }

void SetTrueLoadLibraryExW(LoadLibraryExWFunction function)
{
    g_trueLoadLibraryExW.store(function ? function : &::LoadLibraryExW);
}

}  // namespace dllguard
