#include "log_settings.h"

#include "common/agent_folders.h"

#include <vector>

namespace standin {
namespace log {
namespace {

constexpr wchar_t Section[] = L"Log";

std::wstring Expand(const std::wstring& text)
{
    std::vector<wchar_t> expanded(32768);
    const DWORD length = ExpandEnvironmentStringsW(text.c_str(), expanded.data(), static_cast<DWORD>(expanded.size()));
    return length > 0 && length <= expanded.size() ? std::wstring(expanded.data()) : text;
}

std::wstring ReadText(const std::wstring& file, const wchar_t* key)
{
    wchar_t value[4096] = {};
    GetPrivateProfileStringW(Section, key, L"", value, 4096, file.c_str());
    return value;
}

void ReadNumber(const std::wstring& file, const wchar_t* key, DWORD& target)
{
    const std::wstring text = ReadText(file, key);
    if (text.empty())
        return;
    wchar_t* end = nullptr;
    const unsigned long value = wcstoul(text.c_str(), &end, 0);
    if (end != nullptr && *end == L'\0')
        target = value;
}

}  // namespace

std::wstring DefaultSettingsFile(HMODULE module) { return common::ModuleDirectory(module) + L"\\log.ini"; }

LogSettings LoadSettings(const std::wstring& settingsFile)
{
    LogSettings settings;
    const std::wstring programData = common::EnvironmentText(L"ProgramData");
    settings.folder = (programData.empty() ? std::wstring(L"C:\\ProgramData") : programData) + L"\\ProductAgent\\Logs";

    if (!settingsFile.empty() && GetFileAttributesW(settingsFile.c_str()) != INVALID_FILE_ATTRIBUTES) {
        DWORD enabled = settings.enabled ? 1 : 0;
        ReadNumber(settingsFile, L"Enabled", enabled);
        settings.enabled = enabled != 0;
        ReadNumber(settingsFile, L"Levels", settings.levels);
        ReadNumber(settingsFile, L"Type", settings.type);
        ReadNumber(settingsFile, L"Mode", settings.mode);
        ReadNumber(settingsFile, L"MaxSize", settings.maxSize);
        ReadNumber(settingsFile, L"Depth", settings.depth);
        const std::wstring folder = ReadText(settingsFile, L"Folder");
        if (!folder.empty())
            settings.folder = Expand(folder);
    }

    const std::wstring folder = common::EnvironmentText(L"PRODUCT_LOG_DIR");
    if (!folder.empty())
        settings.folder = folder;
    return settings;
}

ULONGLONG SettingsStamp(const std::wstring& settingsFile)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (settingsFile.empty() || !GetFileAttributesExW(settingsFile.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
}

}  // namespace log
}  // namespace standin
