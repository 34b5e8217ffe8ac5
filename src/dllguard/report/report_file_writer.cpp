#include "dllguard/report/report_file_writer.h"

#include "base/unique_resource.h"
#include "dllguard/report/report_record.h"
#include "dllguard/trace/trace.h"

#include <atomic>

namespace dllguard {
namespace {

constexpr char kDump[] = "DumpEventToFile";

// Waits out a writer that holds the file, with the folders on the way held.
bool RetryWhenShared(void* context, DWORD error, int retry)
{
    if (error != ERROR_SHARING_VIOLATION || retry == kOpenRetries)
        return false;
    const auto& system = *static_cast<const ReportWriterSystem*>(context);
    system.sleep(OpenRetryDelay(retry, system.random()));
    return true;
}

ExactPathOutcome OpenForAppending(const ExactPath& path, const ReportWriterSystem& system, UniqueFile& file)
{
    ExactOpen how;
    how.access = GENERIC_READ | GENERIC_WRITE;
    how.share = FILE_SHARE_READ;  // other writers may read meanwhile, never write: records stay whole
    how.retryOpen = &RetryWhenShared;
    how.context = const_cast<ReportWriterSystem*>(&system);
    return OpenExactFile(path, how, file);
}

// The level the check stopped at: the file, or a folder on the way.
const std::wstring& RefusedAt(const ExactPath& path, const ExactPathOutcome& outcome)
{
    return outcome.level < path.Depth() ? path.Level(outcome.level) : path.Root();
}

bool MoveTo(HANDLE file, int64_t position, DWORD method)
{
    LARGE_INTEGER distance;
    distance.QuadPart = position;
    return SetFilePointerEx(file, distance, nullptr, method) != FALSE;
}

bool WriteAll(const ReportWriterSystem& system, HANDLE file, const void* data, DWORD size)
{
    DWORD written = 0;
    if (system.write(file, data, size, &written) && written == size)
        return true;
    trace::Detail(kDump, "WriteFile failed 0x{:x}  dw: 0x{:x} size: 0x{:x}", GetLastError(), written, size);
    return false;
}

}  // namespace

DWORD OpenRetryDelay(int retry, uint32_t random)
{
    DWORD mean = kOpenRetryDelayMs;
    for (int doubling = 0; doubling < retry && mean < kOpenRetryMaxDelayMs; ++doubling)
        mean *= 2;
    // Scaled rather than reduced modulo: every wait in the range is as likely.
    return mean / 2 + static_cast<DWORD>((uint64_t(random) * (mean + 1)) >> 32);
}

uint32_t RetryRandom()
{
    // xorshift32 over one word for the process, seeded by the clock and the
    // process id: writers in other processes start elsewhere in the sequence.
    static std::atomic<uint32_t> state{0};
    uint32_t current = state.load(std::memory_order_relaxed);
    uint32_t next;
    do {
        next = current;
        if (next == 0) {
            LARGE_INTEGER now{};
            QueryPerformanceCounter(&now);
            next = static_cast<uint32_t>(now.QuadPart) ^ (GetCurrentProcessId() << 16) ^ GetCurrentThreadId();
            next |= 1;
        }
        next ^= next << 13;
        next ^= next >> 17;
        next ^= next << 5;
    } while (!state.compare_exchange_weak(current, next, std::memory_order_relaxed));
    return next;
}

ReportFileWriter::ReportFileWriter(ReportWriterSystem system) : system_(std::move(system)) {}

bool ReportFileWriter::Write(const ExactPath& path, const DllProtectInfo& event) const
{
    trace::Scope scope(kDump);
    // The record is ready before the file is opened: other writers wait only
    // for the write itself.
    std::string body;
    if (!EncipherRecord(event, body)) {
        trace::Detail(kDump, "Incorrect buffer length");
        trace::Detail(kDump, "encrypt failed");
        trace::Detail(kDump, "DumpEventToFile failed");
        return false;
    }
    const auto prefix = RecordLengthPrefix(static_cast<uint32_t>(body.size()));

    UniqueFile file;
    const ExactPathOutcome opened = OpenForAppending(path, system_, file);
    if (opened.status == ExactPathStatus::NoPath || opened.status == ExactPathStatus::OpenFailed) {
        trace::Detail(kDump, "cannot open write file");
        return false;
    }
    if (!opened) {
        // Another user's link or second name: the event is dropped rather than
        // written, truncated or cut back through it.
        trace::DetailW(kDump, L"report file refused, {}: {}", ExactPathProblem(opened.status), RefusedAt(path, opened));
        return false;
    }

    LARGE_INTEGER size{};
    if (GetFileSizeEx(file.get(), &size) && static_cast<uint64_t>(size.QuadPart) > kMaxReportSize) {
        MoveTo(file.get(), 0, FILE_BEGIN);
        SetEndOfFile(file.get());
    }
    LARGE_INTEGER end{};
    LARGE_INTEGER none{};
    if (!SetFilePointerEx(file.get(), none, &end, FILE_END)) {
        trace::Detail(kDump, "cannot open write file");
        return false;
    }

    const bool written = WriteAll(system_, file.get(), prefix.data(), static_cast<DWORD>(prefix.size())) &&
                         WriteAll(system_, file.get(), body.data(), static_cast<DWORD>(body.size()));
    if (!written) {
        trace::Detail(kDump, "DumpEventToFile failed");
        MoveTo(file.get(), end.QuadPart, FILE_BEGIN);
        SetEndOfFile(file.get());
    }
    return written;
}

}  // namespace dllguard
