#include "dllguard/trace/trace_log_file.h"

#include "base/module_path.h"

#include "dllguard/system_library.h"

#include <fmt/format.h>
#include <fmt/xchar.h>

#include <iterator>
#include <utility>
#include <vector>

namespace dllguard::trace {
namespace {

std::wstring Expand(const wchar_t* text)
{
    wchar_t buffer[MAX_PATH * 2];
    const DWORD length = ExpandEnvironmentStringsW(text, buffer, static_cast<DWORD>(std::size(buffer)));
    if (length == 0 || length > std::size(buffer))
        return {};
    return buffer;
}

}  // namespace

std::wstring DefaultLogBase()
{
    std::wstring base = Expand(L"%programdata%");
    if (base.empty() || base.find(L'%') != std::wstring::npos)
        base = Expand(L"%ALLUSERSPROFILE%\\Application Data");
    return base;
}

std::wstring DefaultLogRoot()
{
    const std::wstring base = DefaultLogBase();
    return base.empty() ? base : base + L"\\CVLogging";
}

std::wstring FormatStartStamp(const SYSTEMTIME& time, uint32_t processId)
{
    return fmt::format(L"{:02}-{:02}-{:02}_{:02}_{:02}_{:02}__{:04}", time.wYear, time.wMonth, time.wDay, time.wHour,
                       time.wMinute, time.wSecond, processId);
}

std::wstring ProcessStartStamp()
{
    FILETIME created{}, exited{}, kernel{}, user{};
    SYSTEMTIME local{};
    FILETIME localCreated{};
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user) ||
        !FileTimeToLocalFileTime(&created, &localCreated) || !FileTimeToSystemTime(&localCreated, &local))
        GetLocalTime(&local);
    return FormatStartStamp(local, GetCurrentProcessId());
}

std::wstring LogFilePath(std::wstring_view root, std::wstring_view exeName, std::wstring_view startStamp)
{
    std::wstring path(root);
    path.append(L"\\CstLogs\\").append(exeName).append(L"\\").append(startStamp).append(L"\\DLLPROTECT.log");
    return path;
}

std::string FormatBanner(const char* label, const SYSTEMTIME& time, uint32_t tickCount, const std::string* version)
{
    std::string banner = fmt::format(
        " ----------------------------- \n{}{:04}-{:02}-{:02} {:02}:{:02}:{:02}\n"
        ">UpTime     : {} Days {:02}h {:02}m {:02}s :: {} ms ({})\n",
        label, time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond, tickCount / 86400000u,
        tickCount / 3600000u % 24u, tickCount / 60000u % 60u, tickCount / 1000u % 60u, tickCount % 1000u, tickCount);
    if (version)
        banner += fmt::format(">Version    : {}\n", *version);
    banner += " ----------------------------- \n";
    return banner;
}

std::string ExecutableVersion()
{
    using SizeFunction = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
    using InfoFunction = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
    using QueryFunction = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);
    const auto sizeOf = SystemLibraryFunction<SizeFunction>(L"version.dll", "GetFileVersionInfoSizeW");
    const auto infoOf = SystemLibraryFunction<InfoFunction>(L"version.dll", "GetFileVersionInfoW");
    const auto query = SystemLibraryFunction<QueryFunction>(L"version.dll", "VerQueryValueW");
    const std::wstring module = ModuleFileName(nullptr, MAX_PATH);
    if (!sizeOf || !infoOf || !query || module.empty())
        return {};
    DWORD ignored = 0;
    const DWORD size = sizeOf(module.c_str(), &ignored);
    if (size == 0)
        return {};
    std::vector<unsigned char> data(size);
    VS_FIXEDFILEINFO* info = nullptr;
    UINT infoSize = 0;
    if (!infoOf(module.c_str(), 0, size, data.data()) ||
        !query(data.data(), L"\\", reinterpret_cast<void**>(&info), &infoSize) || !info ||
        infoSize < sizeof(VS_FIXEDFILEINFO))
        return {};
    return fmt::format("{}.{}.{}.{}", HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                       HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS));
}

TraceLogFile::TraceLogFile(LogFileSource source) : source_(std::move(source)) {}

TraceLogFile::~TraceLogFile() { Close(); }

void TraceLogFile::Open()
{
    const std::wstring path = source_.path();
    const ExactPath exact = source_.base ? ExactPathUnder(source_.base(), path) : ExactPathInItsFolder(path);
    ExactOpen how;
    how.access = FILE_APPEND_DATA;
    how.share = FILE_SHARE_READ;
    how.createFolders = true;
    how.newFolderAttributes = FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    UniqueFile file;
    const ExactPathOutcome outcome = OpenExactFile(exact, how, file);
    std::lock_guard<CriticalSection> guard(lock_);
    if (!outcome) {
        // A link planted where the log goes: nothing is written there, and
        // the other outputs are told why.
        if (outcome.status != ExactPathStatus::OpenFailed && outcome.status != ExactPathStatus::NoPath) {
            refusal_ = fmt::format(L"log file refused, {}: {}", ExactPathProblem(outcome.status),
                                   outcome.level < exact.Depth() ? exact.Level(outcome.level) : exact.Root());
            refused_ = true;
        }
        return;
    }
    file_ = std::move(file);
    const std::string version = source_.version();
    Append(FormatBanner(">Started at : ", source_.localTime(), source_.tickCount(), &version));
}

void TraceLogFile::Append(std::string_view bytes)
{
    // One writer at a time: appends of concurrent writers must not interleave within a line.
    std::lock_guard<CriticalSection> guard(lock_);
    if (!file_)
        return;
    DWORD written = 0;
    WriteFile(file_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void TraceLogFile::Write(std::string_view bytes)
{
    std::call_once(opened_, [this] { Open(); });
    Append(bytes);
}

std::wstring TraceLogFile::TakeRefusal()
{
    if (!refused_.exchange(false))
        return {};
    std::lock_guard<CriticalSection> guard(lock_);
    return std::exchange(refusal_, std::wstring());
}

void TraceLogFile::Close()
{
    std::lock_guard<CriticalSection> guard(lock_);
    if (!file_)
        return;
    Append(FormatBanner(">Closed  at : ", source_.localTime(), source_.tickCount(), nullptr));
    file_.reset();
}

}  // namespace dllguard::trace
