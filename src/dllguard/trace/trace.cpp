#include "dllguard/trace/trace.h"

namespace dllguard::trace {
namespace {

constexpr char kTag[] = "[DLLPROTECT] :: ";

}  // namespace

std::string DetailPrefix(const char* operation) { return fmt::format("{}{}() - ", kTag, operation); }

std::wstring DetailPrefixWide(const char* operation)
{
    std::wstring prefix;
    for (const char* c = kTag; *c; ++c)
        prefix.push_back(static_cast<unsigned char>(*c));
    for (const char* c = operation; *c; ++c)  // operation names are ASCII
        prefix.push_back(static_cast<unsigned char>(*c));
    return prefix + L"() - ";
}

Scope::Scope(const char* operation) : tracer_(CurrentTracer()), operation_(operation), on_(tracer_.Enabled())
{
    if (!on_)
        return;
    QueryPerformanceCounter(&start_);
    try {
        tracer_.Write(std::string_view(), fmt::format("{}{} -> ", kTag, operation_));
    } catch (...) {
    }
}

Scope::~Scope()
{
    if (!on_)
        return;
    LARGE_INTEGER end{}, frequency{};
    QueryPerformanceCounter(&end);
    QueryPerformanceFrequency(&frequency);
    const double seconds =
        frequency.QuadPart ? static_cast<double>(end.QuadPart - start_.QuadPart) / static_cast<double>(frequency.QuadPart) : 0.0;
    try {
        tracer_.Write(std::string_view(), fmt::format("{}{} <- \n[> {:.6f} <]", kTag, operation_, seconds));
    } catch (...) {
    }
}

}  // namespace dllguard::trace
