#include "dllguard/trace/trace_settings.h"

#include "base/module_path.h"
#include "base/unique_resource.h"

#include <windows.h>

#include <cctype>

namespace dllguard::trace {
namespace {

// Settings lines are read in pieces of at most this many characters.
constexpr size_t kMaxLine = 511;
// A settings file is a few lines; anything beyond this is not read.
constexpr DWORD kMaxSettingsBytes = 64 * 1024;

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    }
    return true;
}

uint32_t LeadingDecimal(std::string_view text)
{
    uint32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            break;
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    return value;
}

void ApplyLine(std::string_view line, TraceSettings& settings)
{
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos)
        return;
    const std::string_view value = line.substr(equals + 1);
    if (StartsWithNoCase(line, "DLLPROTECT") || line.front() == '*') {
        settings.level = LeadingDecimal(value);
    } else if (StartsWithNoCase(line, "key")) {
        for (size_t i = 0; i < settings.access.size() && i < value.size(); ++i) {
            if (value[i] == '\r' || value[i] == '\n')
                break;
            settings.access[i] ^= static_cast<uint8_t>(value[i]);
        }
    }
}

}  // namespace

TraceSettings ParseTraceSettings(std::string_view text, const AccessWord& code)
{
    TraceSettings settings;
    settings.access = code;
    while (!text.empty()) {
        size_t length = text.find('\n');
        length = length == std::string_view::npos ? text.size() : length + 1;
        if (length > kMaxLine)
            length = kMaxLine;
        ApplyLine(text.substr(0, length), settings);
        text.remove_prefix(length);
    }
    return settings;
}

uint8_t ScrambleByte(const AccessWord& access)
{
    if (access == AccessWord{})
        return 0;
    const uint8_t sum = static_cast<uint8_t>(access[0] + access[1] - access[3]);
    return static_cast<uint8_t>(sum - access[2]);
}

const AccessWord& ProgramAccessCode()
{
    static const AccessWord code = {'v', 'K', '3', 'm'};
    return code;
}

std::vector<std::wstring> DefaultSettingsFiles()
{
    static constexpr wchar_t kFileName[] = L"dbg_trace.ini";
    std::vector<std::wstring> files{std::wstring(L"\\") + kFileName};

    std::wstring beside = ModuleFileName(nullptr, MAX_PATH);
    if (beside.empty())
        return files;
    beside.erase(beside.find_last_of(L"\\/") + 1);
    beside += kFileName;
    if (beside.size() < MAX_PATH)
        files.push_back(beside);
    return files;
}

bool ReadSettingsFile(const std::vector<std::wstring>& candidates, std::string& text)
{
    for (const std::wstring& path : candidates) {
        UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            continue;
        text.assign(kMaxSettingsBytes, '\0');
        DWORD read = 0;
        if (!ReadFile(file.get(), text.data(), kMaxSettingsBytes, &read, nullptr))
            read = 0;
        text.resize(read);
        return true;
    }
    return false;
}

}  // namespace dllguard::trace
