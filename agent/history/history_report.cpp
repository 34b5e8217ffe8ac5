#include "history_report.h"

namespace standin {
namespace history {
namespace {

using common::SupportSessionRecord;

std::string Join(const std::vector<std::string>& items, const char* separator)
{
    std::string joined;
    for (const auto& item : items) {
        if (!joined.empty())
            joined += separator;
        joined += item;
    }
    return joined;
}

// "2026-12-10T09:30:00Z" as "2026-12-10 09:30:00"; other text unchanged.
std::string TableTime(std::string time)
{
    if (time.size() == 20 && time[10] == 'T' && time[19] == 'Z') {
        time[10] = ' ';
        time.pop_back();
    }
    return time;
}

// Characters, not bytes, so that non-ASCII text still aligns.
size_t DisplayWidth(const std::string& text)
{
    size_t width = 0;
    for (const unsigned char c : text) {
        if ((c & 0xC0) != 0x80)
            ++width;
    }
    return width;
}

std::string CsvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

}  // namespace

std::string HistoryTable(const std::vector<SupportSessionRecord>& sessions)
{
    if (sessions.empty())
        return "No support sessions recorded.\r\n";

    std::vector<std::vector<std::string>> rows;
    rows.push_back({"Session", "Kind", "Scenarios", "Started (UTC)", "Ended (UTC)", "Status", "Delivered to"});
    for (const auto& session : sessions) {
        rows.push_back({session.id, session.kind, Join(session.scenarios, ", "), TableTime(session.started),
                        TableTime(session.ended), session.status, Join(session.deliveredTo, "; ")});
    }
    for (auto& row : rows) {
        for (auto& cell : row) {
            if (cell.empty())
                cell = "-";
        }
    }

    std::vector<size_t> widths(rows.front().size(), 0);
    for (const auto& row : rows) {
        for (size_t column = 0; column < row.size(); ++column) {
            if (DisplayWidth(row[column]) > widths[column])
                widths[column] = DisplayWidth(row[column]);
        }
    }

    std::string text;
    for (const auto& row : rows) {
        std::string line;
        for (size_t column = 0; column < row.size(); ++column) {
            line += row[column];
            if (column + 1 < row.size())
                line.append(widths[column] - DisplayWidth(row[column]) + 2, ' ');
        }
        text += line + "\r\n";
    }
    return text;
}

std::string HistoryCsv(const std::vector<SupportSessionRecord>& sessions)
{
    std::string text = "id,kind,scenarios,started,ended,status,deliveredTo\r\n";
    for (const auto& session : sessions) {
        const std::string fields[] = {session.id,      session.kind,  Join(session.scenarios, ";"),
                                      session.started, session.ended, session.status,
                                      Join(session.deliveredTo, ";")};
        std::string line;
        for (const auto& field : fields) {
            if (&field != fields)
                line += ',';
            line += CsvField(field);
        }
        text += line + "\r\n";
    }
    return text;
}

std::string HistoryReport(const std::vector<SupportSessionRecord>& sessions, ReportFormat format)
{
    return format == ReportFormat::Csv ? HistoryCsv(sessions) : HistoryTable(sessions);
}

}  // namespace history
}  // namespace standin
