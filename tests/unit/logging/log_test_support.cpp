#include "log_test_support.h"

#include <gtest/gtest.h>

#include <regex>

bool ParseLogLine(const std::string& text, LogLine& line)
{
    static const std::regex format(
        R"(^(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}) \[(\d+):(\d+)\] (\S+) +(\S+) (\S+): (.*)$)");
    std::smatch match;
    if (!std::regex_match(text, match, format))
        return false;
    line.time = match[1];
    line.processId = std::stoul(match[2]);
    line.threadId = std::stoul(match[3]);
    line.level = match[4];
    line.module = match[5];
    line.function = match[6];
    line.message = match[7];
    return true;
}

LogFolder::LogFolder() { SetEnvironmentVariableW(L"PRODUCT_LOG_DIR", folder_.Path().c_str()); }

LogFolder::~LogFolder() { SetEnvironmentVariableW(L"PRODUCT_LOG_DIR", nullptr); }

std::string LogFolder::Text() const
{
    // The stand-in names the file after the program.
    wchar_t module[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::wstring name(module, length);
    name = name.substr(name.find_last_of(L"\\/") + 1);
    return ReadBytes(folder_ / (name.substr(0, name.rfind(L'.')) + L".log"));
}

std::vector<LogLine> LogFolder::Lines() const
{
    std::vector<LogLine> lines;
    const std::string text = Text();
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            ADD_FAILURE() << "unterminated line: " << text.substr(start);
            break;
        }
        LogLine line;
        const std::string raw = text.substr(start, end - start);
        if (ParseLogLine(raw, line))
            lines.push_back(line);
        else
            ADD_FAILURE() << "not a log line: " << raw;
        start = end + 2;
    }
    return lines;
}

bool LogLibraryLoaded() { return GetModuleHandleW(L"log.dll") != nullptr; }
