// Built into every library and program that links the shared stand-in
// pieces. Each library carries its own copy of the C++ runtime, and that copy
// keeps an emergency block for exceptions (some 70 KiB) that it never frees:
// the console loads the log and telemetry libraries for every command, so
// without this a long interactive session grows by that much per command.
namespace __gnu_cxx {
void __freeres() noexcept;
}

namespace {

struct ReleaseRuntimeAtUnload {
    ~ReleaseRuntimeAtUnload() { __gnu_cxx::__freeres(); }
} releaseRuntimeAtUnload;

}  // namespace
