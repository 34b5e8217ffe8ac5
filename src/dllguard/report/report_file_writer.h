#pragma once
// Appends one guard event as a record to the report file: waits out other
// writers holding the file, starts the file afresh beyond 10 MiB and never
// leaves a partial record behind.
#include "dllguard/report/guard_event.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

namespace dllguard {

constexpr uint64_t kMaxReportSize = 10485760;  // larger files are emptied before the next record
constexpr int kOpenRetries = 10;               // after a sharing violation
constexpr DWORD kOpenRetryDelayMs = 10;

struct ReportWriterSystem {
    std::function<void(DWORD milliseconds)> sleep = ::Sleep;
    // WriteFile's contract; replaced in tests to make a write fail part-way.
    std::function<BOOL(HANDLE file, const void* data, DWORD size, DWORD* written)> write =
        [](HANDLE file, const void* data, DWORD size, DWORD* written) {
            return ::WriteFile(file, data, size, written, nullptr);
        };
};

class ReportFileWriter {
public:
    explicit ReportFileWriter(ReportWriterSystem system = {});

    // True when the whole record reached the file; on false the file is as
    // it was (or emptied, when it had grown too large).
    bool Write(const std::wstring& path, const DllProtectInfo& event) const;

private:
    ReportWriterSystem system_;
};

}  // namespace dllguard
