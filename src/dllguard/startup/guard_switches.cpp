#include "dllguard/startup/guard_switches.h"

#include "base/unique_resource.h"
#include "base/system_text.h"
#include "dllguard/startup/executable_name.h"

namespace dllguard {
namespace {

class ProcessSwitches final : public GuardSwitches {
public:
    bool EnvironmentPresent(const wchar_t* name) const override { return EnvironmentVariablePresent(name); }

    std::wstring EnvironmentValue(const wchar_t* name) const override
    {
        return SystemText([&](wchar_t* buffer, DWORD size) { return GetEnvironmentVariableW(name, buffer, size); });
    }

    bool ExecutableFileName(std::wstring& name) const override { return dllguard::ExecutableFileName(name) == 0; }

    bool ImageFileExecutionOption(const std::wstring& executable, const wchar_t* value, DWORD& data) const override
    {
        const std::wstring key = kImageFileExecutionOptionsKey + executable;
        UniqueRegKey options;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE, options.put()) != ERROR_SUCCESS)
            return false;
        DWORD type = 0;
        DWORD read = 0;
        DWORD size = sizeof(read);
        if (RegQueryValueExW(options.get(), value, nullptr, &type, reinterpret_cast<BYTE*>(&read), &size) !=
                ERROR_SUCCESS ||
            type != REG_DWORD || size != sizeof(read))
            return false;
        data = read;
        return true;
    }

    std::wstring ProgramData() const override
    {
        const DWORD size = GetEnvironmentVariableW(L"ProgramData", nullptr, 0);
        if (size == 0)
            return {};
        std::wstring value(size, L'\0');
        const DWORD length = GetEnvironmentVariableW(L"ProgramData", value.data(), size);
        value.resize(length < size ? length : 0);
        return value;
    }
};

}  // namespace

bool EnvironmentVariablePresent(const wchar_t* name)
{
    SetLastError(ERROR_SUCCESS);
    return GetEnvironmentVariableW(name, nullptr, 0) != 0 || GetLastError() != ERROR_ENVVAR_NOT_FOUND;
}

const GuardSwitches& ProcessGuardSwitches()
{
    static const ProcessSwitches switches;
    return switches;
}

}  // namespace dllguard
