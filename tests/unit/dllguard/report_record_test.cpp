#include "dllguard/report/blowfish.h"
#include "dllguard/report/report_record.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using dllguard::DllProtectInfo;
using dllguard::RecordStatus;

DllProtectInfo SampleEvent(const std::string& name)
{
    DllProtectInfo event;
    event.requestedName = name;
    event.checkedPath = "\\\\?\\C:\\Users\\Public\\" + name;
    event.resultName = "VULNERABLE_PATH";
    event.functionName = "LoadLibraryW";
    event.callerAddress = "0x7ff6a0c01234";
    event.callerModule = "C:\\Program Files\\Agent\\Product.Console.exe";
    event.callerOffset = "0x1234";
    event.information = "paths: exe: C:\\Program Files\\Agent prog: C:\\Program Files";
    return event;
}

std::string Record(const DllProtectInfo& event)
{
    std::string body;
    EXPECT_TRUE(dllguard::EncipherRecord(event, body));
    const auto prefix = dllguard::RecordLengthPrefix(static_cast<uint32_t>(body.size()));
    return std::string(prefix.data(), prefix.size()) + body;
}

// A record whose body is `text` enciphered as the guard would, whatever it holds.
std::string RawRecord(const std::string& text)
{
    std::string body;
    EXPECT_TRUE(dllguard::EncipherCbc(dllguard::Blowfish(dllguard::ReportKey()), text, body));
    const auto prefix = dllguard::RecordLengthPrefix(static_cast<uint32_t>(body.size()));
    return std::string(prefix.data(), prefix.size()) + body;
}

TEST(ReportRecordTest, TextIsEightSeparatedFieldsPaddedWithSpacesToWholeBlocks)
{
    DllProtectInfo event;
    event.requestedName = "a.dll";
    event.resultName = "LOAD_FAILED";
    // 5 + 1 + 1 + 11 + 1 + 1+1+1+1+1 = 24: already whole blocks, no padding.
    EXPECT_EQ(dllguard::RecordText(event), "a.dll||LOAD_FAILED||||||");
    event.requestedName = "ab.dll";
    EXPECT_EQ(dllguard::RecordText(event), "ab.dll||LOAD_FAILED||||||       ");
    EXPECT_EQ(dllguard::RecordText(DllProtectInfo()), "||||||||");
}

TEST(ReportRecordTest, LengthPrefixIsLittleEndian)
{
    const auto prefix = dllguard::RecordLengthPrefix(0x01020304);
    EXPECT_EQ(std::string(prefix.data(), 4), std::string("\x04\x03\x02\x01", 4));
}

TEST(ReportRecordTest, RecordsReadBackInOrder)
{
    const std::string content = Record(SampleEvent("one.dll")) + Record(SampleEvent("two.dll"));
    const auto records = dllguard::ParseReport(content);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].status, RecordStatus::Valid);
    EXPECT_EQ(records[0].offset, 0u);
    EXPECT_EQ(records[0].event, SampleEvent("one.dll"));
    EXPECT_EQ(records[1].status, RecordStatus::Valid);
    EXPECT_EQ(records[1].offset, 4u + records[0].length);
    EXPECT_EQ(records[1].event, SampleEvent("two.dll"));
}

TEST(ReportRecordTest, DamagedRecordsAreFlagged)
{
    const std::string good = Record(SampleEvent("good.dll"));
    struct Case {
        const char* what;
        std::string content;
        std::vector<RecordStatus> statuses;
    };
    const Case cases[] = {
        {"file ends inside the length", good + std::string("\x10\x00", 2), {RecordStatus::Valid, RecordStatus::Truncated}},
        {"file ends inside the body", good + good.substr(0, good.size() - 3),
         {RecordStatus::Valid, RecordStatus::Truncated}},
        {"length not whole blocks, then reading goes on", std::string("\x03\x00\x00\x00xyz", 7) + good,
         {RecordStatus::Corrupt, RecordStatus::Valid}},
        {"zero length", std::string(4, '\0') + good, {RecordStatus::Corrupt, RecordStatus::Valid}},
        {"length beyond the file and not whole blocks", std::string("\x0b\x00\x00\x00", 4),
         {RecordStatus::Corrupt}},
        {"text without separators", RawRecord("no fields here!!") + good, {RecordStatus::Corrupt, RecordStatus::Valid}},
        {"seven fields", RawRecord("a|b|c|d|e|f|g|  ") + good, {RecordStatus::Corrupt, RecordStatus::Valid}},
        {"nine fields", RawRecord("a|b|c|d|e|f|g|h|i|      ") + good, {RecordStatus::Corrupt, RecordStatus::Valid}},
        {"a whole block of padding", RawRecord("a|b|c|d|e|f|g|h|        ") + good,
         {RecordStatus::Corrupt, RecordStatus::Valid}},
    };
    for (const Case& c : cases) {
        const auto records = dllguard::ParseReport(c.content);
        std::vector<RecordStatus> statuses;
        for (const auto& record : records) {
            statuses.push_back(record.status);
            EXPECT_EQ(record.status == RecordStatus::Valid, record.problem.empty()) << c.what;
        }
        EXPECT_EQ(statuses, c.statuses) << c.what;
    }
}

TEST(ReportRecordTest, FieldsMayBeEmptyOrEndInSpaces)
{
    DllProtectInfo event;
    event.requestedName = "x.dll";
    event.information = "ends in spaces  ";
    const auto records = dllguard::ParseReport(Record(event));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].event, event);
}

// A report written by an earlier build still reads: the format and the key are fixed.
TEST(ReportRecordTest, ReadsAReportOfAnEarlierBuild)
{
    const std::string content = ReadBytes(std::wstring(GUARD_TEST_DATA_DIR) + L"/two_records.V2");
    ASSERT_FALSE(content.empty());
    const auto records = dllguard::ParseReport(content);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].event, SampleEvent("one.dll"));
    EXPECT_EQ(records[1].event.requestedName, "recursive.dll");
    EXPECT_EQ(records[1].event.resultName, "RECURSIVE_DLL_LOAD_LOADLIBRARY");
    EXPECT_EQ(records[1].event.information, "loaded dlls: recursive.dll,");
}

}  // namespace
