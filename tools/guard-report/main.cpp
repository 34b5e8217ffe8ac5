// guard-report: prints the records of a DLL load guard report file.
#include "base/console_output.h"
#include "base/unique_resource.h"
#include "dllguard/report/report_record.h"
#include "report_printer.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <stdio.h>

#include <iostream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// Report files are emptied beyond 10 MiB; anything far larger is not one.
constexpr LONGLONG kLargestReadable = 256LL * 1024 * 1024;

// The whole file, read while the guard may still be appending to it.
bool ReadWholeFile(const std::wstring& path, std::string& content, DWORD& error)
{
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size)) {
        error = GetLastError();
        return false;
    }
    if (size.QuadPart > kLargestReadable) {
        error = ERROR_FILE_TOO_LARGE;
        return false;
    }
    content.resize(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (done < content.size()) {
        DWORD read = 0;
        if (!ReadFile(file.get(), content.data() + done, static_cast<DWORD>(content.size() - done), &read, nullptr)) {
            error = GetLastError();
            return false;
        }
        if (read == 0)
            break;  // the file shrank meanwhile
        done += read;
    }
    content.resize(done);
    return true;
}

// "error 2 (The system cannot find the file specified.)"
std::wstring DescribeError(DWORD error)
{
    wchar_t message[512];
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                  message, static_cast<DWORD>(std::size(message)), nullptr);
    while (length > 0 && (message[length - 1] == L'\r' || message[length - 1] == L'\n' || message[length - 1] == L' '))
        --length;
    std::wstring text = L"error " + std::to_wstring(error);
    if (length > 0)
        text += L" (" + std::wstring(message, length) + L")";
    return text;
}

void WriteError(const std::wstring& text)
{
    console::WriteError(L"guard-report: " + text + L"\n");
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    _setmode(_fileno(stdout), _O_U8TEXT);
    _setmode(_fileno(stderr), _O_U8TEXT);

    std::vector<std::wstring> arguments(argv + 1, argv + argc);
    guard_report::ReaderOptions options;
    std::wstring error;
    if (!guard_report::ParseReaderArguments(arguments, options, error)) {
        WriteError(error);
        console::WriteError(L"\n" + guard_report::UsageText());
        return guard_report::exit_code::BadCommandLine;
    }
    if (options.help) {
        console::Write(guard_report::UsageText());
        return guard_report::exit_code::AllRecordsRead;
    }

    std::string content;
    DWORD readError = 0;
    if (!ReadWholeFile(options.file, content, readError)) {
        WriteError(L"cannot read " + options.file + L": " + DescribeError(readError));
        return guard_report::exit_code::UnreadableFile;
    }
    const std::vector<dllguard::ReportRecord> records = dllguard::ParseReport(content);
    console::Write(options.csv ? guard_report::FormatAsCsv(records) : guard_report::FormatAsText(records));
    return guard_report::ExitCodeFor(records);
}
