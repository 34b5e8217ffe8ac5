#include "report_printer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using dllguard::RecordStatus;
using dllguard::ReportRecord;
using namespace guard_report;

std::vector<ReportRecord> SampleRecords()
{
    ReportRecord valid;
    valid.offset = 0;
    valid.length = 160;
    valid.event.requestedName = "evil.dll";
    valid.event.checkedPath = "\\\\?\\C:\\Temp\\evil.dll";
    valid.event.resultName = "VULNERABLE_PATH";
    valid.event.functionName = "LoadLibraryW";
    valid.event.callerAddress = "0x401234";
    valid.event.callerModule = "C:\\Tools\\app.exe";
    valid.event.callerOffset = "0x1234";
    valid.event.information = "paths: exe: C:\\Tools prog: C:\\Program Files, \"x86\"";

    ReportRecord corrupt;
    corrupt.offset = 164;
    corrupt.length = 8;
    corrupt.status = RecordStatus::Corrupt;
    corrupt.problem = "the deciphered text has 3 fields instead of eight";

    ReportRecord truncated;
    truncated.offset = 176;
    truncated.length = 48;
    truncated.status = RecordStatus::Truncated;
    truncated.problem = "the file ends 12 byte(s) into a record of 48 bytes";
    return {valid, corrupt, truncated};
}

TEST(ReportPrinterTest, TextFlagsDamagedRecords)
{
    EXPECT_EQ(FormatAsText(SampleRecords()),
              L"Record 1 at offset 0 (160 bytes)\n"
              L"  Library:        evil.dll\n"
              L"  Checked path:   \\\\?\\C:\\Temp\\evil.dll\n"
              L"  Result:         VULNERABLE_PATH\n"
              L"  Function:       LoadLibraryW\n"
              L"  Caller address: 0x401234\n"
              L"  Caller module:  C:\\Tools\\app.exe\n"
              L"  Caller offset:  0x1234\n"
              L"  Information:    paths: exe: C:\\Tools prog: C:\\Program Files, \"x86\"\n"
              L"\n"
              L"Record 2 at offset 164: CORRUPT - the deciphered text has 3 fields instead of eight\n"
              L"\n"
              L"Record 3 at offset 176: TRUNCATED - the file ends 12 byte(s) into a record of 48 bytes\n"
              L"\n"
              L"3 record(s): 1 valid, 1 truncated, 1 corrupt\n");
    EXPECT_EQ(FormatAsText({}), L"No records.\n0 record(s): 0 valid, 0 truncated, 0 corrupt\n");
}

TEST(ReportPrinterTest, CsvQuotesWhereNeeded)
{
    EXPECT_EQ(FormatAsCsv(SampleRecords()),
              L"record,offset,status,library,checked_path,result,function,caller_address,caller_module,"
              L"caller_offset,information,problem\n"
              L"1,0,valid,evil.dll,\\\\?\\C:\\Temp\\evil.dll,VULNERABLE_PATH,LoadLibraryW,0x401234,"
              L"C:\\Tools\\app.exe,0x1234,\"paths: exe: C:\\Tools prog: C:\\Program Files, \"\"x86\"\"\",\n"
              L"2,164,corrupt,,,,,,,,,the deciphered text has 3 fields instead of eight\n"
              L"3,176,truncated,,,,,,,,,the file ends 12 byte(s) into a record of 48 bytes\n");
}

TEST(ReportPrinterTest, ExitCodes)
{
    auto records = SampleRecords();
    EXPECT_EQ(ExitCodeFor(records), exit_code::DamagedRecords);
    records.resize(1);
    EXPECT_EQ(ExitCodeFor(records), exit_code::AllRecordsRead);
    EXPECT_EQ(ExitCodeFor({}), exit_code::AllRecordsRead);
}

TEST(ReportPrinterTest, CommandLines)
{
    struct Case {
        std::vector<std::wstring> arguments;
        bool understood;
        bool csv;
        bool help;
        std::wstring file;
    };
    const Case cases[] = {
        {{L"r.V2"}, true, false, false, L"r.V2"},
        {{L"--csv", L"r.V2"}, true, true, false, L"r.V2"},
        {{L"r.V2", L"/csv"}, true, true, false, L"r.V2"},
        {{L"-csv", L"r.V2"}, true, true, false, L"r.V2"},
        {{L"/?"}, true, false, true, L""},
        {{L"--help"}, true, false, true, L""},
        {{}, false, false, false, L""},
        {{L"--csv"}, false, true, false, L""},
        {{L"a.V2", L"b.V2"}, false, false, false, L"a.V2"},
        {{L"--verbose", L"r.V2"}, false, false, false, L""},
    };
    for (const Case& c : cases) {
        ReaderOptions options;
        std::wstring error;
        EXPECT_EQ(ParseReaderArguments(c.arguments, options, error), c.understood);
        EXPECT_EQ(error.empty(), c.understood);
        if (c.understood) {
            EXPECT_EQ(options.csv, c.csv);
            EXPECT_EQ(options.help, c.help);
            EXPECT_EQ(options.file, c.file);
        }
    }
}

}  // namespace
