#include "dllguard/trust/device_path.h"

#include "base/system_text.h"

#include <iterator>

namespace dllguard {
namespace {

bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix)
{
    return text.size() >= prefix.size() &&
           CompareStringOrdinal(text.data(), static_cast<int>(prefix.size()), prefix.data(),
                                static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL;
}

// "\Device\Mup\server\share\x" (or the LanmanRedirector form) gives
// "server\share\x"; leading connection names of mapped drives
// (";LanmanRedirector", ";Z:0000...") are passed over.
bool StripRedirector(std::wstring_view path, std::wstring_view& rest)
{
    for (std::wstring_view redirector : {std::wstring_view(L"\\Device\\Mup\\"),
                                         std::wstring_view(L"\\Device\\LanmanRedirector\\")}) {
        if (!StartsWithNoCase(path, redirector))
            continue;
        rest = path.substr(redirector.size());
        while (!rest.empty() && rest.front() == L';') {
            const size_t next = rest.find(L'\\');
            rest = next == std::wstring_view::npos ? std::wstring_view() : rest.substr(next + 1);
        }
        return !rest.empty();
    }
    return false;
}

}  // namespace

std::vector<DosDevice> QueryDosDevices()
{
    std::vector<DosDevice> devices;
    const DWORD drives = GetLogicalDrives();
    for (int letter = 0; letter < 26; ++letter) {
        if (!(drives & (1u << letter)))
            continue;
        const wchar_t drive[] = {static_cast<wchar_t>(L'A' + letter), L':', L'\0'};
        wchar_t target[1024];
        if (QueryDosDeviceW(drive, target, static_cast<DWORD>(std::size(target))) == 0)
            continue;
        devices.push_back({drive, target});  // the first of the returned names is the current one
    }
    return devices;
}

std::wstring MatchDosDevice(std::wstring_view devicePath, const std::vector<DosDevice>& devices)
{
    // Network files are named by server and share, not by the drive a session mapped.
    std::wstring_view rest;
    if (StripRedirector(devicePath, rest))
        return L"\\\\?\\UNC\\" + std::wstring(rest);
    for (const DosDevice& device : devices) {
        if (device.target.empty() || !StartsWithNoCase(devicePath, device.target))
            continue;
        rest = devicePath.substr(device.target.size());
        if (rest.empty() || rest.front() == L'\\')
            return device.drive + std::wstring(rest);
    }
    for (std::wstring_view dosNamespace : {std::wstring_view(L"\\??\\"), std::wstring_view(L"\\GLOBAL??\\")}) {
        if (!StartsWithNoCase(devicePath, dosNamespace))
            continue;
        rest = devicePath.substr(dosNamespace.size());
        if (StartsWithNoCase(rest, L"UNC\\"))
            return L"\\\\?\\" + std::wstring(rest);
        if (rest.size() >= 2 && rest[1] == L':')
            return std::wstring(rest);
    }
    return {};
}

std::wstring FinalPathOfDevicePath(const std::wstring& devicePath, const NativeFileApi& native)
{
    if (!native.Available() || devicePath.empty() || devicePath.size() * sizeof(wchar_t) > 0xFFFE)
        return {};
    UNICODE_STRING name;
    name.Buffer = const_cast<wchar_t*>(devicePath.c_str());
    name.Length = static_cast<USHORT>(devicePath.size() * sizeof(wchar_t));
    name.MaximumLength = name.Length;
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
    IO_STATUS_BLOCK status{};
    HANDLE handle = nullptr;
    if (native.create(&handle, FILE_READ_DATA | FILE_READ_ATTRIBUTES, &attributes, &status, nullptr, 0,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN, FILE_NON_DIRECTORY_FILE,
                      nullptr, 0) < 0)
        return {};
    const NativeFileHandle file(native.close, handle);

    return SystemText([&](wchar_t* buffer, DWORD size) {
        return GetFinalPathNameByHandleW(file.get(), buffer, size, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    });
}

std::wstring ConvertDevicePath(const std::wstring& devicePath, const NativeFileApi& native)
{
    std::wstring path = FinalPathOfDevicePath(devicePath, native);
    if (path.empty())
        path = MatchDosDevice(devicePath, QueryDosDevices());
    return path;
}

}  // namespace dllguard
