#include "dllguard/report/report_file_writer.h"

#include "base/unique_resource.h"
#include "dllguard/report/report_record.h"
#include "dllguard/trace/trace.h"

namespace dllguard {
namespace {

constexpr char kDump[] = "DumpEventToFile";

UniqueFile OpenForAppending(const std::wstring& path, const ReportWriterSystem& system)
{
    for (int retry = 0;; ++retry) {
        // Other writers may read meanwhile, never write: records stay whole.
        UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file || GetLastError() != ERROR_SHARING_VIOLATION || retry == kOpenRetries)
            return file;
        system.sleep(kOpenRetryDelayMs);
    }
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

ReportFileWriter::ReportFileWriter(ReportWriterSystem system) : system_(std::move(system)) {}

bool ReportFileWriter::Write(const std::wstring& path, const DllProtectInfo& event) const
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

    const UniqueFile file = OpenForAppending(path, system_);
    if (!file) {
        trace::Detail(kDump, "cannot open write file");
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
