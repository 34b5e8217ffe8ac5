// Task identifiers made from GUIDs.
#include "commands/scan/scan_task_id.h"

#include <gtest/gtest.h>

#include <regex>

namespace {

TEST(ScanTaskId, GroupsTheGuidsFields)
{
    // Data4 read as one little-endian number: 0xf0e1d2c3b4a59687.
    const GUID guid = {0x0A1B2C3D, 0x4E5F, 0x0607, {0x87, 0x96, 0xA5, 0xB4, 0xC3, 0xD2, 0xE1, 0xF0}};
    EXPECT_EQ(FormatTaskId(guid), L"0a1b2c3d-4e5f-0607-f0e1-d2c3b4a59687");
    const GUID zero = {};
    EXPECT_EQ(FormatTaskId(zero), L"00000000-0000-0000-0000-000000000000");
}

TEST(ScanTaskId, NewIdentifiersDifferAndKeepTheFormat)
{
    std::wstring first, second;
    ASSERT_TRUE(NewTaskId(first));
    ASSERT_TRUE(NewTaskId(second));
    EXPECT_NE(first, second);
    const std::wregex format(L"[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}");
    EXPECT_TRUE(std::regex_match(first, format)) << first;
    EXPECT_TRUE(std::regex_match(second, format)) << second;
}

}  // namespace
