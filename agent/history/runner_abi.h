#pragma once
// What the worker calls in a runner library: "RunnerMain", with the options
// that follow the library's name on the worker's command line. Returns the
// worker's exit code.
namespace standin {
namespace history {

constexpr char RunnerEntryName[] = "RunnerMain";
using RunnerMainFn = int (*)(int argc, const wchar_t* const* argv);

}  // namespace history
}  // namespace standin
