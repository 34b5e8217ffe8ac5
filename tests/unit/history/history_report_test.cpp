// The history as an aligned table and as CSV, byte for byte.
#include "history_report.h"

#include <gtest/gtest.h>

namespace {

using standin::common::SupportSessionRecord;
using namespace standin::history;

std::vector<SupportSessionRecord> TwoSessions()
{
    SupportSessionRecord first;
    first.id = "18c0a1f2e4b-1a2c";
    first.kind = "troubleshoot";
    first.scenarios = {"network", "update"};
    first.started = "2026-12-10T09:30:00Z";
    first.ended = "2026-12-10T09:41:12Z";
    first.status = "finished";
    first.deliveredTo = {"C:\\Out\\S1", "D:\\Copy, \"2\""};
    SupportSessionRecord second;
    second.id = "\xC3\xA9t\xC3\xA9";  // two bytes per letter, one column each
    second.kind = "collect";
    second.started = "yesterday";
    second.status = "aborted";
    return {first, second};
}

TEST(HistoryReport, TableColumnsAreAlignedAndEmptyValuesShowAsADash)
{
    EXPECT_EQ(HistoryTable(TwoSessions()),
              "Session           Kind          Scenarios        Started (UTC)        Ended (UTC)          Status    "
              "Delivered to\r\n"
              "18c0a1f2e4b-1a2c  troubleshoot  network, update  2026-12-10 09:30:00  2026-12-10 09:41:12  finished  "
              "C:\\Out\\S1; D:\\Copy, \"2\"\r\n"
              "\xC3\xA9t\xC3\xA9               collect       -                yesterday            -                    "
              "aborted   -\r\n");
}

TEST(HistoryReport, AnEmptyHistoryIsOneSentenceAsATableAndTheHeaderAsCsv)
{
    EXPECT_EQ(HistoryReport({}, ReportFormat::Table), "No support sessions recorded.\r\n");
    EXPECT_EQ(HistoryReport({}, ReportFormat::Csv), "id,kind,scenarios,started,ended,status,deliveredTo\r\n");
}

TEST(HistoryReport, CsvQuotesOnlyTheFieldsThatNeedIt)
{
    EXPECT_EQ(HistoryReport(TwoSessions(), ReportFormat::Csv),
              "id,kind,scenarios,started,ended,status,deliveredTo\r\n"
              "18c0a1f2e4b-1a2c,troubleshoot,network;update,2026-12-10T09:30:00Z,2026-12-10T09:41:12Z,finished,"
              "\"C:\\Out\\S1;D:\\Copy, \"\"2\"\"\"\r\n"
              "\xC3\xA9t\xC3\xA9,collect,,yesterday,,aborted,\r\n");
}

}  // namespace
