#include "dllguard/trust/user_writable_folders.h"

namespace dllguard {
namespace {

// Below the Windows directory and below System32, as default installations
// grant standard users the right to create files there.
constexpr const wchar_t* kInWindows[] = {
    L"Temp",
    L"Tasks",
    L"tracing",
    L"Registration\\CRMLog",
    L"SysWOW64\\Tasks",
    L"SysWOW64\\FxsTmp",
    L"SysWOW64\\com\\dmp",
};
constexpr const wchar_t* kInSystem32[] = {
    L"Tasks",
    L"spool\\drivers\\color",
    L"spool\\PRINTERS",
    L"spool\\SERVERS",
    L"FxsTmp",
    L"com\\dmp",
    L"Microsoft\\Crypto\\RSA\\MachineKeys",
};

}  // namespace

std::vector<std::wstring> UserWritableFolders(const GuardDirectories& directories)
{
    std::vector<std::wstring> folders;
    if (!directories.windows.empty()) {
        for (const wchar_t* folder : kInWindows)
            folders.push_back(directories.windows + L"\\" + folder);
    }
    if (!directories.system32.empty()) {
        for (const wchar_t* folder : kInSystem32)
            folders.push_back(directories.system32 + L"\\" + folder);
    }
    return folders;
}

}  // namespace dllguard
