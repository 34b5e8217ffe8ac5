#pragma once
// The history runner's options:
//   --format=table|csv   table (aligned columns, the default) or CSV
//   --output=<file>      write into this file
//   --help               what the options are
// Without --output the history goes to standard output and to
// DefaultHistoryFile.
#include <string>
#include <vector>

namespace standin {
namespace history {

enum class ReportFormat { Table, Csv };

struct HistoryOptions {
    ReportFormat format = ReportFormat::Table;
    std::wstring output;  // empty: standard output
    bool help = false;
};

// Returns false with a message for the administrator in `error`.
bool ParseHistoryOptions(const std::vector<std::wstring>& args, HistoryOptions& options, std::wstring& error);

extern const wchar_t HistoryUsage[];  // lines separated by CR LF, no line end at the end

// <agent data folder>\SupportHistory.txt, or SupportHistory.csv for CSV.
std::wstring DefaultHistoryFile(ReportFormat format);

}  // namespace history
}  // namespace standin
