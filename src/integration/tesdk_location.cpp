#include "base/logging.h"
#include "integration/tesdk_runner.h"
#include "base/text_conversion.h"

#include <vector>

namespace {

constexpr wchar_t UninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tessaro Security";
constexpr wchar_t InstallLocationValue[] = L"InstallLocation";
constexpr wchar_t LibraryFileName[] = L"tesdk.dll";
constexpr wchar_t TraceFunction[] = L"TesdkRunner::GetTesdkLocation";

void TraceRegistryError(LONG status)
{
    logging::Diagnostic(logging::level::Failure, TraceFunction, L"Error opening key %ld", static_cast<long>(status));
}

std::wstring ReadInstallLocation()
{
    UniqueRegKey key;
    // What RegOpenKeyW does for a named subkey, without importing advapi32.dll
    // (which costs every start more than all of this lookup).
    LONG status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, UninstallKey, 0, MAXIMUM_ALLOWED, key.put());
    if (status != ERROR_SUCCESS) {
        TraceRegistryError(status);
        return {};
    }
    DWORD size = 0;
    status = RegQueryValueExW(key.get(), InstallLocationValue, nullptr, nullptr, nullptr, &size);
    if (status != ERROR_SUCCESS) {
        TraceRegistryError(status);
        return {};
    }
    // Room for a terminator the data may lack; the value's type is not checked.
    std::vector<wchar_t> data(size / sizeof(wchar_t) + 1, L'\0');
    status = RegQueryValueExW(key.get(), InstallLocationValue, nullptr, nullptr,
                              reinterpret_cast<BYTE*>(data.data()), &size);
    if (status != ERROR_SUCCESS) {
        TraceRegistryError(status);
        return {};
    }
    std::wstring location(data.data());  // up to the first NUL
    logging::Diagnostic(logging::level::Info, TraceFunction, L"Reg key %s", location.c_str());
    return location;
}

}  // namespace

cv::StringW TesdkRunner::GetTesdkLocation()
{
    std::wstring path = ReadInstallLocation();
    if (!path.empty() && path.back() != L'\\' && path.back() != L'/')
        path += L'\\';
    return cv::StringW(path + LibraryFileName);
}

ResultCode TesdkRunner::Start()
{
    cv::tesdk::SdkLoadOptions options;
    options.requireSignedLibrary = true;
    return Initialize(WideToUtf8(GetTesdkLocation().view()), options);
}
