// Locating the agent library through the uninstall registration. These tests
// change the prefix's registry, so they run alone (resource lock "registry").
#include "result_code_printer.h"

#include "integration/notification_receiver.h"
#include "integration/tesdk_runner.h"

#include <gtest/gtest.h>

namespace {

constexpr wchar_t Key[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tessaro Security";

struct LocationCase {
    const char* name;
    bool createKey;
    bool setValue;
    std::wstring value;
    std::wstring expected;
};

class LocationTest : public testing::TestWithParam<LocationCase> {
protected:
    void SetUp() override { RegDeleteTreeW(HKEY_LOCAL_MACHINE, Key); }
    void TearDown() override { RegDeleteTreeW(HKEY_LOCAL_MACHINE, Key); }
};

TEST_P(LocationTest, JoinsTheInstallLocation)
{
    const auto& param = GetParam();
    if (param.createKey) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, Key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), 0);
        if (param.setValue) {
            RegSetValueExW(key, L"InstallLocation", 0, REG_SZ, reinterpret_cast<const BYTE*>(param.value.c_str()),
                           static_cast<DWORD>((param.value.size() + 1) * sizeof(wchar_t)));
        }
        RegCloseKey(key);
    }
    EXPECT_EQ(std::wstring(TesdkRunner::GetTesdkLocation().view()), param.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Registrations, LocationTest,
    testing::Values(LocationCase{"no_key", false, false, L"", L"tesdk.dll"},
                    LocationCase{"no_value", true, false, L"", L"tesdk.dll"},
                    LocationCase{"empty_value", true, true, L"", L"tesdk.dll"},
                    LocationCase{"no_separator", true, true, L"C:\\Agent", L"C:\\Agent\\tesdk.dll"},
                    LocationCase{"backslash", true, true, L"C:\\Agent\\", L"C:\\Agent\\tesdk.dll"},
                    LocationCase{"slash", true, true, L"C:/Agent/", L"C:/Agent/tesdk.dll"},
                    LocationCase{"unicode", true, true, L"C:\\\u00C9t\u00E9", L"C:\\\u00C9t\u00E9\\tesdk.dll"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(LocationTest, DataWithoutTerminatorIsTakenWhole)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, Key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), 0);
    const wchar_t data[] = {L'D', L':', L'\\', L'a'};  // no NUL stored
    RegSetValueExW(key, L"InstallLocation", 0, REG_SZ, reinterpret_cast<const BYTE*>(data), sizeof data);
    RegCloseKey(key);
    EXPECT_EQ(std::wstring(TesdkRunner::GetTesdkLocation().view()), L"D:\\a\\tesdk.dll");
}

void SetInstallLocation(const std::wstring& folder)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, Key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), 0);
    RegSetValueExW(key, L"InstallLocation", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                   static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

// A receiver whose library cannot be loaded keeps listening for what it was
// told before: the identifiers of the failed start are not taken.
TEST_F(LocationTest, ReceiverStartWithAnUnloadableLibraryKeepsTheIdentifiers)
{
    IntegrationNotificationReceiver receiver;
    // Without a registration the stand-in beside this program is found by name.
    ASSERT_EQ(receiver.Start("first", cv::StringW(L"task-1")), result::Success);
    SetInstallLocation(L"Z:\\nowhere");
    EXPECT_EQ(receiver.Start("second", cv::StringW(L"task-2")), ResultCode(126));

    receiver.OnResponse("second", result::Success, "{}");
    receiver.OnNotification("FileScan.OnDemand.ScanLog.Policy", R"({"taskid": "task-2"})");
    EXPECT_EQ(WaitForSingleObject(receiver.ArrivalEvents()[IntegrationNotificationReceiver::ResponseArrived], 0),
              static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(WaitForSingleObject(receiver.ArrivalEvents()[IntegrationNotificationReceiver::PolicyArrived], 0),
              static_cast<DWORD>(WAIT_TIMEOUT));

    receiver.OnResponse("first", ResultCode(7), "{}");
    receiver.OnNotification("FileScan.OnDemand.ScanLog.Policy", R"({"taskid": "task-1"})");
    EXPECT_EQ(WaitForMultipleObjects(2, receiver.ArrivalEvents(), TRUE, 0), WAIT_OBJECT_0);
    EXPECT_EQ(receiver.ResponseResult(), ResultCode(7));
}

}  // namespace
