#pragma once
// What the guard's operations call to trace: detail lines under the
// operation's name and a scope that writes the entry and exit lines with the
// elapsed time. Nothing is formatted while tracing is off.
#include "dllguard/trace/tracer.h"

#include <fmt/format.h>
#include <fmt/xchar.h>

#include <string>
#include <utility>

namespace dllguard::trace {

// "[DLLPROTECT] :: <operation>() - "
std::string DetailPrefix(const char* operation);
std::wstring DetailPrefixWide(const char* operation);

// A detail line of `operation`; for example
// Detail("PerformSecurityChecks", "path {} couldn't be found", name).
template <class... Args>
void Detail(const char* operation, fmt::format_string<Args...> format, Args&&... args)
{
    Tracer& tracer = CurrentTracer();
    if (!tracer.Enabled())
        return;
    try {
        tracer.Write(DetailPrefix(operation), fmt::format(format, std::forward<Args>(args)...));
    } catch (...) {
        // A bad format or a full heap costs the line, never the caller.
    }
}

// The same with a wide format, for lines that carry paths.
template <class... Args>
void DetailW(const char* operation, fmt::wformat_string<Args...> format, Args&&... args)
{
    Tracer& tracer = CurrentTracer();
    if (!tracer.Enabled())
        return;
    try {
        tracer.Write(DetailPrefixWide(operation), fmt::format(format, std::forward<Args>(args)...));
    } catch (...) {
    }
}

// Writes "[DLLPROTECT] :: <operation> -> " now and
// "[DLLPROTECT] :: <operation> <- \n[> <seconds> <]" when it ends.
class Scope {
public:
    explicit Scope(const char* operation);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

private:
    Tracer& tracer_;
    const char* operation_;
    bool on_;
    LARGE_INTEGER start_{};
};

}  // namespace dllguard::trace
