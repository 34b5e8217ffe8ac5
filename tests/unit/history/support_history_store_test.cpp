// The support-session history store: records as lines, damaged lines left
// out, and appends from several processes at once.
#include "temp_folder.h"

#include "common/support_history_store.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

namespace {

using standin::common::AppendSupportSession;
using standin::common::ParseRecordLine;
using standin::common::ReadSupportHistory;
using standin::common::RecordLine;
using standin::common::SupportSessionRecord;

SupportSessionRecord Sample()
{
    SupportSessionRecord record;
    record.id = "18c0a1f2e4b-1a2c";
    record.kind = "troubleshoot";
    record.scenarios = {"network", "update"};
    record.started = "2026-12-10T09:30:00Z";
    record.ended = "2026-12-10T09:41:12Z";
    record.status = "finished";
    record.deliveredTo = {"C:\\Deliveries\\Session \"A\"", "\\\\server\\share\\\xC3\xA9t\xC3\xA9"};
    return record;
}

void ExpectSame(const SupportSessionRecord& actual, const SupportSessionRecord& expected)
{
    EXPECT_EQ(actual.id, expected.id);
    EXPECT_EQ(actual.kind, expected.kind);
    EXPECT_EQ(actual.scenarios, expected.scenarios);
    EXPECT_EQ(actual.started, expected.started);
    EXPECT_EQ(actual.ended, expected.ended);
    EXPECT_EQ(actual.status, expected.status);
    EXPECT_EQ(actual.deliveredTo, expected.deliveredTo);
}

TEST(SupportHistoryStore, ARecordIsOneLineAndReadsBackTheSame)
{
    const std::string line = RecordLine(Sample());
    EXPECT_EQ(line.find('\n'), std::string::npos);
    EXPECT_EQ(line.rfind("{\"deliveredTo\":[", 0), 0u) << line;
    SupportSessionRecord back;
    ASSERT_TRUE(ParseRecordLine(line, back));
    ExpectSame(back, Sample());
}

TEST(SupportHistoryStore, OnlyAnObjectWithAnIdIsARecord)
{
    struct Case {
        const char* line;
        bool record;
    };
    const Case cases[] = {
        {R"({"id":"a"})", true},
        {R"({"id":"a","scenarios":"network","deliveredTo":[1,"x"]})", true},
        {R"({"id":7})", false},
        {R"({"kind":"collect"})", false},
        {R"(["id","a"])", false},
        {R"({"id":"a")", false},
        {"garbage", false},
    };
    for (const auto& c : cases) {
        SupportSessionRecord record;
        EXPECT_EQ(ParseRecordLine(c.line, record), c.record) << c.line;
    }
    SupportSessionRecord loose;
    ASSERT_TRUE(ParseRecordLine(R"({"id":"a","scenarios":"network","deliveredTo":[1,"x"]})", loose));
    EXPECT_EQ(loose.scenarios, std::vector<std::string>{"network"});
    EXPECT_EQ(loose.deliveredTo, std::vector<std::string>{"x"});
    EXPECT_EQ(loose.status, "");
}

TEST(SupportHistoryStore, ReadingLeavesOutDamagedLinesAndKeepsTheOrder)
{
    TempFolder folder;
    const std::wstring path = folder / L"history.jsonl";
    ASSERT_TRUE(WriteBytes(path, "\xEF\xBB\xBF{\"id\":\"first\"}\r\n"
                                 "not json\r\n"
                                 "\r\n"
                                 "{\"id\":\"second\",\"status\":\"aborted\"}\n"
                                 "{\"id\":\"cut"));
    const auto history = ReadSupportHistory(path);
    EXPECT_EQ(history.error, 0u);
    ASSERT_EQ(history.sessions.size(), 2u);
    EXPECT_EQ(history.sessions[0].id, "first");
    EXPECT_EQ(history.sessions[1].id, "second");
    EXPECT_EQ(history.sessions[1].status, "aborted");
    EXPECT_EQ(history.damagedLines, 2u);
}

TEST(SupportHistoryStore, AMissingStoreIsAnEmptyHistory)
{
    TempFolder folder;
    for (const auto& path : {folder / L"history.jsonl", folder / L"no\\such\\folder.jsonl"}) {
        const auto history = ReadSupportHistory(path);
        EXPECT_EQ(history.error, 0u);
        EXPECT_TRUE(history.sessions.empty());
    }
}

TEST(SupportHistoryStore, AppendingCreatesTheFoldersAndAddsAtTheEnd)
{
    TempFolder folder;
    const std::wstring path = folder / L"agent\\data\\support-history.jsonl";
    SupportSessionRecord second = Sample();
    second.id = "second";
    ASSERT_EQ(AppendSupportSession(Sample(), path), 0u);
    ASSERT_EQ(AppendSupportSession(second, path), 0u);
    const auto history = ReadSupportHistory(path);
    ASSERT_EQ(history.sessions.size(), 2u);
    ExpectSame(history.sessions[0], Sample());
    EXPECT_EQ(history.sessions[1].id, "second");
    EXPECT_EQ(ReadBytes(path), RecordLine(Sample()) + "\n" + RecordLine(second) + "\n");
}

TEST(SupportHistoryStore, TimesAreWrittenAsUtcText)
{
    EXPECT_EQ(standin::common::HistoryTimeText(0), "1970-01-01T00:00:00Z");
    EXPECT_EQ(standin::common::HistoryTimeText(1796895000999LL), "2026-12-10T09:30:00Z");
}

// Child side of the next test.
TEST(SupportHistoryStoreChild, AppendsWhenStartedAsChild)
{
    wchar_t path[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"HISTORY_TEST_CHILD_STORE", path, MAX_PATH) == 0)
        GTEST_SKIP() << "runs only as a child of the concurrency test";
    SupportSessionRecord record = Sample();
    for (int i = 0; i < 200; ++i) {
        record.id = std::to_string(GetCurrentProcessId()) + ":" + std::to_string(i);
        ASSERT_EQ(AppendSupportSession(record, path), 0u);
    }
}

TEST(SupportHistoryStore, TwoProcessesAppendingAtOnceLoseNothing)
{
    TempFolder folder;
    const std::wstring path = folder / L"support-history.jsonl";
    SetEnvironmentVariableW(L"HISTORY_TEST_CHILD_STORE", path.c_str());
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::vector<UniqueHandle> children;
    for (int c = 0; c < 2; ++c) {
        std::wstring commandLine = L"\"" + std::wstring(self) + L"\" --gtest_filter=SupportHistoryStoreChild.*";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION created{};
        ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                   &startup, &created));
        UniqueHandle thread(created.hThread);
        children.emplace_back(created.hProcess);
    }
    for (const auto& child : children) {
        ASSERT_EQ(WaitForSingleObject(child.get(), 60000), WAIT_OBJECT_0);
        DWORD code = 1;
        GetExitCodeProcess(child.get(), &code);
        EXPECT_EQ(code, 0u);
    }
    SetEnvironmentVariableW(L"HISTORY_TEST_CHILD_STORE", nullptr);

    const auto history = ReadSupportHistory(path);
    EXPECT_EQ(history.damagedLines, 0u);
    std::map<std::string, int> next;
    for (const auto& session : history.sessions) {
        const size_t colon = session.id.find(':');
        ASSERT_NE(colon, std::string::npos);
        EXPECT_EQ(std::atoi(session.id.c_str() + colon + 1), next[session.id.substr(0, colon)]++);
        ExpectSame(SupportSessionRecord{session.id, Sample().kind, Sample().scenarios, Sample().started,
                                        Sample().ended, Sample().status, Sample().deliveredTo},
                   session);
    }
    ASSERT_EQ(next.size(), 2u);
    for (const auto& [process, count] : next)
        EXPECT_EQ(count, 200) << process;
}

}  // namespace
