// The summary of a finished scan: what it reads from the log event and the
// answer, what makes it fail, and the six lines.
#include "commands/scan/scan_summary.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr char GoodPolicy[] =
    R"({"taskid":"t","logfilepath":"C:\\logs\\scan.log","runstatus":0,"extraData":{"summary":)"
    R"({"totalscanned":10,"stillinfected":1,"stillsuspicious":2,"disinfected":3,"deleted":4,"moved":5}}})";

std::string Response(const std::string& method, int error, const std::string& output)
{
    return R"({"response":{"data":{"FileScan.OnDemand":[{"@name":")" + method + R"(","error":)" +
           std::to_string(error) + (output.empty() ? "" : R"(,"output":)" + output) + "}]}}}";
}

const std::string GoodResponse =
    Response("RunScanTask", 0, R"({"scanSummary":{"IOErrors":1,"archiveBombs":2,"archivePasswordProtected":4}})");

TEST(ScanSummary, SumsTheCountsOfBothArrivals)
{
    ScanSummary summary;
    ASSERT_TRUE(BuildScanSummary(GoodPolicy, GoodResponse, summary));
    EXPECT_EQ(summary.scanned, 10u);
    EXPECT_EQ(summary.remaining, 3u);
    EXPECT_EQ(summary.resolved, 12u);
    EXPECT_EQ(summary.notScanned, 7u);
    EXPECT_EQ(summary.logPath, "C:\\logs\\scan.log");
    EXPECT_EQ(summary.runStatus, 0);
    EXPECT_EQ(FormatScanSummary(summary),
              L"Status: finished\n"
              L"Log path: C:\\logs\\scan.log\n"
              L"Scanned items: 10\n"
              L"Remaining issues: 3\n"
              L"Resolved issues: 12\n"
              L"Objects that were not scanned: 7\n");
}

TEST(ScanSummary, StatusTextsAndLargeCounts)
{
    ScanSummary summary;
    summary.logPath = "C:\\Donn\xc3\xa9" "es\\log";
    summary.scanned = 18446744073709551615ull;
    for (const auto& [status, text] : {std::pair<int32_t, const wchar_t*>{0, L"finished"}, {1, L"aborted"},
                                       {2, L"stopped"}, {3, L""}, {5, L""}, {-1, L""}}) {
        summary.runStatus = status;
        EXPECT_EQ(FormatScanSummary(summary), std::wstring(L"Status: ") + text +
                                                  L"\nLog path: C:\\Donn\u00e9es\\log\n"
                                                  L"Scanned items: 18446744073709551615\n"
                                                  L"Remaining issues: 0\nResolved issues: 0\n"
                                                  L"Objects that were not scanned: 0\n");
    }
}

struct SummaryCase {
    const char* name;
    std::string policy;
    std::string response;
    bool complete;
};

std::string PolicyWith(const std::string& from, const std::string& to)
{
    std::string policy = GoodPolicy;
    const size_t at = policy.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return policy.replace(at, from.size(), to);
}

class ScanSummaryCompleteness : public testing::TestWithParam<SummaryCase> {};

TEST_P(ScanSummaryCompleteness, NeedsEveryValueOfItsKind)
{
    ScanSummary summary;
    EXPECT_EQ(BuildScanSummary(GetParam().policy, GetParam().response, summary), GetParam().complete);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScanSummaryCompleteness,
    testing::Values(
        SummaryCase{"complete", GoodPolicy, GoodResponse, true},
        SummaryCase{"log_path_as_number", PolicyWith(R"("C:\\logs\\scan.log")", "7"), GoodResponse, true},
        SummaryCase{"unusual_run_status", PolicyWith(R"("runstatus":0)", R"("runstatus":5)"), GoodResponse, true},
        SummaryCase{"policy_not_json", "{ nope", GoodResponse, false},
        SummaryCase{"no_log_path", PolicyWith(R"("logfilepath")", R"("logpath")"), GoodResponse, false},
        SummaryCase{"run_status_as_text", PolicyWith(R"("runstatus":0)", R"("runstatus":"0")"), GoodResponse, false},
        SummaryCase{"negative_total", PolicyWith(R"("totalscanned":10)", R"("totalscanned":-1)"), GoodResponse, false},
        SummaryCase{"fractional_count", PolicyWith(R"("moved":5)", R"("moved":5.5)"), GoodResponse, false},
        SummaryCase{"count_as_text", PolicyWith(R"("deleted":4)", R"("deleted":"4")"), GoodResponse, false},
        SummaryCase{"missing_count", PolicyWith(R"("stillsuspicious":2,)", ""), GoodResponse, false},
        SummaryCase{"response_not_a_document", GoodPolicy, "{ nope", false},
        SummaryCase{"response_error", GoodPolicy,
                    Response("RunScanTask", 5, R"({"scanSummary":{"IOErrors":1,"archiveBombs":2,)"
                                               R"("archivePasswordProtected":4}})"),
                    false},
        SummaryCase{"response_for_another_method", GoodPolicy,
                    Response("StopScanTask", 0, R"({"scanSummary":{"IOErrors":1,"archiveBombs":2,)"
                                                R"("archivePasswordProtected":4}})"),
                    false},
        SummaryCase{"response_without_output", GoodPolicy, Response("RunScanTask", 0, ""), false},
        SummaryCase{"negative_not_scanned_count", GoodPolicy,
                    Response("RunScanTask", 0, R"({"scanSummary":{"IOErrors":1,"archiveBombs":-2,)"
                                               R"("archivePasswordProtected":4}})"),
                    false}),
    [](const testing::TestParamInfo<SummaryCase>& test) { return std::string(test.param.name); });

}  // namespace
