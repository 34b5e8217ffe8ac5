#pragma once
// Appends one guard event as a record to the report file: waits out other
// writers holding the file, starts the file afresh beyond 10 MiB and never
// leaves a partial record behind. The file is written only when the handle
// is the file its path names; through a planted link nothing is written.
#include "base/exact_path.h"
#include "dllguard/report/guard_event.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

namespace dllguard {

constexpr uint64_t kMaxReportSize = 10485760;  // larger files are emptied before the next record
constexpr int kOpenRetries = 10;               // after a sharing violation
// The first wait is 10 ms on average; each next one doubles, up to 160 ms.
// Every wait is drawn between half and one and a half of that, so that
// writers that met once do not meet again at every retry, and many writers
// at once (32 consoles) still all get their turn: about 1.1 s in all.
constexpr DWORD kOpenRetryDelayMs = 10;
constexpr DWORD kOpenRetryMaxDelayMs = 160;

// The wait before retry `retry` (from 0) for a random number.
DWORD OpenRetryDelay(int retry, uint32_t random);

// A number for the next wait; differs between threads and processes that
// ask at the same moment. Neither allocates nor takes a lock.
uint32_t RetryRandom();

struct ReportWriterSystem {
    std::function<void(DWORD milliseconds)> sleep = ::Sleep;
    std::function<uint32_t()> random = RetryRandom;
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
    bool Write(const ExactPath& path, const DllProtectInfo& event) const;

private:
    ReportWriterSystem system_;
};

}  // namespace dllguard
