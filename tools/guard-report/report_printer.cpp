#include "report_printer.h"

#include "base/text_conversion.h"

#include <fmt/format.h>
#include <fmt/xchar.h>

#include <array>

namespace guard_report {
namespace {

using dllguard::DllProtectInfo;
using dllguard::RecordStatus;
using dllguard::ReportRecord;

// Labels of the eight fields, in field order.
constexpr std::array<const wchar_t*, DllProtectInfo::kFieldCount> kTextLabels = {
    L"Library", L"Checked path", L"Result", L"Function",
    L"Caller address", L"Caller module", L"Caller offset", L"Information",
};
constexpr std::array<const wchar_t*, DllProtectInfo::kFieldCount> kCsvColumns = {
    L"library", L"checked_path", L"result", L"function",
    L"caller_address", L"caller_module", L"caller_offset", L"information",
};

const wchar_t* StatusName(RecordStatus status)
{
    switch (status) {
    case RecordStatus::Valid:
        return L"valid";
    case RecordStatus::Truncated:
        return L"truncated";
    case RecordStatus::Corrupt:
        return L"corrupt";
    }
    return L"corrupt";
}

std::wstring CsvField(const std::wstring& value)
{
    if (value.find_first_of(L",\"\r\n") == std::wstring::npos)
        return value;
    std::wstring quoted = L"\"";
    for (wchar_t c : value) {
        if (c == L'"')
            quoted += L'"';
        quoted += c;
    }
    return quoted + L"\"";
}

bool IsOption(const std::wstring& argument, const wchar_t* name)
{
    for (const wchar_t* lead : {L"--", L"-", L"/"}) {
        if (argument == std::wstring(lead) + name)
            return true;
    }
    return false;
}

}  // namespace

bool ParseReaderArguments(const std::vector<std::wstring>& arguments, ReaderOptions& options, std::wstring& error)
{
    for (const std::wstring& argument : arguments) {
        if (IsOption(argument, L"csv")) {
            options.csv = true;
        } else if (IsOption(argument, L"help") || IsOption(argument, L"h") || IsOption(argument, L"?")) {
            options.help = true;
        } else if (!argument.empty() && argument[0] == L'-') {
            error = L"unknown option: " + argument;
            return false;
        } else if (!options.file.empty()) {
            error = L"more than one report file given: " + argument;
            return false;
        } else {
            options.file = argument;
        }
    }
    if (options.file.empty() && !options.help) {
        error = L"no report file given";
        return false;
    }
    return true;
}

std::wstring UsageText()
{
    return L"Usage: guard-report [--csv] <report file>\n"
           L"\n"
           L"Reads a report file of the DLL load guard (dllReport.<process>.V2) and prints\n"
           L"its records, oldest first. Records that are cut short or cannot be deciphered\n"
           L"are flagged TRUNCATED or CORRUPT. Records carry no checksum: damage that\n"
           L"leaves a record's eight fields in place shows as garbled text, not as CORRUPT.\n"
           L"\n"
           L"Options:\n"
           L"  --csv        comma-separated values, one line per record, with a header line\n"
           L"  --help, /?   this text\n"
           L"\n"
           L"Exit codes:\n"
           L"  0  every record was read\n"
           L"  1  the command line was not understood\n"
           L"  2  the report file could not be opened or read\n"
           L"  3  the report file holds truncated or corrupt records\n";
}

std::wstring FormatAsText(const std::vector<ReportRecord>& records)
{
    std::wstring text;
    size_t valid = 0, truncated = 0, corrupt = 0;
    for (size_t i = 0; i < records.size(); ++i) {
        const ReportRecord& record = records[i];
        if (i != 0)
            text += L"\n";
        if (record.status != RecordStatus::Valid) {
            (record.status == RecordStatus::Truncated ? truncated : corrupt)++;
            text += fmt::format(L"Record {} at offset {}: {} - {}\n", i + 1, record.offset,
                                record.status == RecordStatus::Truncated ? L"TRUNCATED" : L"CORRUPT",
                                Utf8ToWide(record.problem));
            continue;
        }
        ++valid;
        text += fmt::format(L"Record {} at offset {} ({} bytes)\n", i + 1, record.offset, record.length);
        for (size_t field = 0; field < DllProtectInfo::kFieldCount; ++field) {
            const std::wstring label = std::wstring(kTextLabels[field]) + L":";
            text += fmt::format(L"  {:<16}{}\n", label, Utf8ToWide(record.event.*DllProtectInfo::kFields[field]));
        }
    }
    if (records.empty())
        text += L"No records.\n";
    else
        text += L"\n";
    text += fmt::format(L"{} record(s): {} valid, {} truncated, {} corrupt\n", records.size(), valid, truncated,
                        corrupt);
    return text;
}

std::wstring FormatAsCsv(const std::vector<ReportRecord>& records)
{
    std::wstring csv = L"record,offset,status";
    for (const wchar_t* column : kCsvColumns)
        csv += std::wstring(L",") + column;
    csv += L",problem\n";
    for (size_t i = 0; i < records.size(); ++i) {
        const ReportRecord& record = records[i];
        csv += fmt::format(L"{},{},{}", i + 1, record.offset, StatusName(record.status));
        for (auto field : DllProtectInfo::kFields)
            csv += L"," + CsvField(Utf8ToWide(record.event.*field));
        csv += L"," + CsvField(Utf8ToWide(record.problem)) + L"\n";
    }
    return csv;
}

int ExitCodeFor(const std::vector<ReportRecord>& records)
{
    for (const ReportRecord& record : records) {
        if (record.status != RecordStatus::Valid)
            return exit_code::DamagedRecords;
    }
    return exit_code::AllRecordsRead;
}

}  // namespace guard_report
