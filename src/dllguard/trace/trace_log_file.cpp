#include "dllguard/trace/trace_log_file.h"

#include "base/module_path.h"

#include "dllguard/system_library.h"

#include <fmt/format.h>
#include <fmt/xchar.h>

#include <iterator>
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

// Where the directories of a path start: after "C:\" or "\\server\share\".
size_t RootLength(const std::wstring& path)
{
    if (path.size() >= 2 && path[1] == L':')
        return path.size() >= 3 && (path[2] == L'\\' || path[2] == L'/') ? 3 : 2;
    if (path.rfind(L"\\\\", 0) == 0) {
        size_t separators = 0;
        for (size_t i = 2; i < path.size(); ++i) {
            if ((path[i] == L'\\' || path[i] == L'/') && ++separators == 2)
                return i + 1;
        }
        return path.size();
    }
    return path.empty() || (path[0] != L'\\' && path[0] != L'/') ? 0 : 1;
}

}  // namespace

std::wstring DefaultLogRoot()
{
    std::wstring root = Expand(L"%programdata%\\CVLogging");
    if (root.empty() || root.find(L'%') != std::wstring::npos)
        root = Expand(L"%ALLUSERSPROFILE%\\Application Data\\CVLogging");
    return root;
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

bool CreateParentDirectories(const std::wstring& file)
{
    const size_t last = file.find_last_of(L"\\/");
    for (size_t at = file.find_first_of(L"\\/", RootLength(file)); at != std::wstring::npos && at <= last;
         at = file.find_first_of(L"\\/", at + 1)) {
        const std::wstring directory = file.substr(0, at);
        if (GetFileAttributesW(directory.c_str()) != INVALID_FILE_ATTRIBUTES)
            continue;
        if (!CreateDirectoryW(directory.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            return false;
        SetFileAttributesW(directory.c_str(), FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    }
    return true;
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
    if (path.empty() || !CreateParentDirectories(path))
        return;
    file_.reset(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_)
        return;
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

void TraceLogFile::Close()
{
    std::lock_guard<CriticalSection> guard(lock_);
    if (!file_)
        return;
    Append(FormatBanner(">Closed  at : ", source_.localTime(), source_.tickCount(), nullptr));
    file_.reset();
}

}  // namespace dllguard::trace
