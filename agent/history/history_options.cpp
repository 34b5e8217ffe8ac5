#include "history_options.h"

#include "common/agent_folders.h"

namespace standin {
namespace history {
namespace {

// "--name=value": true with the value when `arg` is that option.
bool OptionValue(const std::wstring& arg, const std::wstring& name, std::wstring& value, bool& hasValue)
{
    const std::wstring prefix = L"--" + name;
    if (arg.compare(0, prefix.size(), prefix) != 0)
        return false;
    if (arg.size() == prefix.size()) {
        hasValue = false;
        return true;
    }
    if (arg[prefix.size()] != L'=')
        return false;
    hasValue = true;
    value = arg.substr(prefix.size() + 1);
    return true;
}

}  // namespace

const wchar_t HistoryUsage[] =
    L"Options: [--format=table|csv] [--output=<file>]\r\n"
    L"  --format=table  aligned columns (the default)\r\n"
    L"  --format=csv    comma-separated values with a header line\r\n"
    L"  --output=<file> write the history into <file>; without it, to standard output\r\n"
    L"                  and to SupportHistory.txt (.csv) in the agent's data folder";

std::wstring DefaultHistoryFile(ReportFormat format)
{
    return common::AgentDataDirectory() + (format == ReportFormat::Csv ? L"\\SupportHistory.csv" : L"\\SupportHistory.txt");
}

bool ParseHistoryOptions(const std::vector<std::wstring>& args, HistoryOptions& options, std::wstring& error)
{
    bool formatSeen = false;
    bool outputSeen = false;
    for (const auto& arg : args) {
        std::wstring value;
        bool hasValue = false;
        if (arg == L"--help" || arg == L"-h" || arg == L"/?") {
            options.help = true;
        } else if (OptionValue(arg, L"format", value, hasValue)) {
            if (formatSeen) {
                error = L"--format is given more than once.";
                return false;
            }
            formatSeen = true;
            if (!hasValue || value.empty()) {
                error = L"--format needs a value: --format=table or --format=csv.";
                return false;
            }
            if (value == L"csv") {
                options.format = ReportFormat::Csv;
            } else if (value == L"table") {
                options.format = ReportFormat::Table;
            } else {
                error = L"Unknown format \"" + value + L"\": use --format=table or --format=csv.";
                return false;
            }
        } else if (OptionValue(arg, L"output", value, hasValue)) {
            if (outputSeen) {
                error = L"--output is given more than once.";
                return false;
            }
            outputSeen = true;
            if (!hasValue || value.empty()) {
                error = L"--output needs a file name: --output=<file>.";
                return false;
            }
            options.output = value;
        } else if (!arg.empty() && (arg[0] == L'-' || arg[0] == L'/')) {
            error = L"Unknown option \"" + arg + L"\".";
            return false;
        } else {
            error = L"Unexpected argument \"" + arg + L"\".";
            return false;
        }
    }
    return true;
}

}  // namespace history
}  // namespace standin
