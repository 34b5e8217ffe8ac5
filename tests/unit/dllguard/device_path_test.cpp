#include "dllguard/trust/device_path.h"
#include "dllguard/trust/mapped_file_name.h"
#include "dllguard/trust/path_within.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using dllguard::DosDevice;

TEST(DevicePathTest, DriveDevicesAndRedirectorsByPrefix)
{
    const std::vector<DosDevice> devices = {
        {L"C:", L"\\Device\\HarddiskVolume1"},
        {L"D:", L"\\Device\\HarddiskVolume10"},
        {L"Y:", L"\\Device\\LanmanRedirector\\;Y:0000000000012345\\server\\share"},
    };
    struct Case {
        std::wstring device;
        std::wstring path;
    };
    const Case cases[] = {
        {L"\\Device\\HarddiskVolume1\\Windows\\a.dll", L"C:\\Windows\\a.dll"},
        {L"\\Device\\HarddiskVolume10\\a.dll", L"D:\\a.dll"},  // not C: followed by "0"
        {L"\\device\\harddiskvolume1\\a.dll", L"C:\\a.dll"},
        {L"\\Device\\HarddiskVolume1x\\a.dll", L""},
        {L"\\Device\\Mup\\server\\share\\a.dll", L"\\\\?\\UNC\\server\\share\\a.dll"},
        {L"\\Device\\LanmanRedirector\\server\\share\\a.dll", L"\\\\?\\UNC\\server\\share\\a.dll"},
        {L"\\Device\\LanmanRedirector\\;Y:0000000000012345\\server\\share\\a.dll",
         L"\\\\?\\UNC\\server\\share\\a.dll"},
        {L"\\Device\\Mup\\;LanmanRedirector\\;Y:0000000000012345\\server\\share\\a.dll",
         L"\\\\?\\UNC\\server\\share\\a.dll"},
        {L"\\??\\Z:\\tmp\\a.dll", L"Z:\\tmp\\a.dll"},
        {L"\\??\\UNC\\server\\share\\a.dll", L"\\\\?\\UNC\\server\\share\\a.dll"},
        {L"\\GLOBAL??\\C:\\a.dll", L"C:\\a.dll"},
        {L"\\Device\\CdRom0\\a.dll", L""},
        {L"", L""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(dllguard::MatchDosDevice(c.device, devices), c.path) << std::string(c.device.begin(), c.device.end());
}

TEST(DevicePathTest, TheSystemDriveHasADevice)
{
    wchar_t windows[MAX_PATH];
    ASSERT_GT(GetWindowsDirectoryW(windows, MAX_PATH), 0u);
    const std::wstring drive(windows, 2);
    const auto devices = dllguard::QueryDosDevices();
    const auto found = std::find_if(devices.begin(), devices.end(), [&](const DosDevice& d) { return d.drive == drive; });
    ASSERT_NE(found, devices.end());
    EXPECT_EQ(dllguard::MatchDosDevice(found->target + L"\\x.dll", devices), drive + L"\\x.dll");
}

TEST(DevicePathTest, FinalPathThroughTheNativeOpen)
{
    TempFolder folder;
    const std::wstring file = folder / L"a.dll";
    ASSERT_TRUE(WriteBytes(file, "MZ"));
    const auto native = dllguard::ResolveNativeFileApi();
    ASSERT_TRUE(native.Available());

    const std::wstring final = dllguard::FinalPathOfDevicePath(L"\\??\\" + file, native);
    EXPECT_EQ(final.rfind(L"\\\\?\\", 0), 0u);
    EXPECT_EQ(CompareStringOrdinal(dllguard::NormalisePath(final).c_str(), -1, file.c_str(), -1, TRUE), CSTR_EQUAL);

    EXPECT_EQ(dllguard::FinalPathOfDevicePath(L"\\??\\" + folder / L"missing.dll", native), L"");
    EXPECT_EQ(dllguard::FinalPathOfDevicePath(L"\\??\\" + file, dllguard::NativeFileApi{}), L"");
    // Without the native functions the drive match still converts it.
    EXPECT_EQ(dllguard::ConvertDevicePath(L"\\??\\" + file, dllguard::NativeFileApi{}), file);
}

TEST(MappedFileNameTest, BufferDoublesWhileTooSmall)
{
    struct Case {
        DWORD needed;  // characters the answer needs; 0: fails with access denied
        bool found;
        std::vector<DWORD> sizes;
    };
    const Case cases[] = {
        {150, true, {200}},
        {1000, true, {200, 400, 800, 1600}},
        {30000, true, {200, 400, 800, 1600, 3200, 6400, 12800, 25600, 32767}},
        {40000, false, {200, 400, 800, 1600, 3200, 6400, 12800, 25600, 32767}},
        {0, false, {200}},
    };
    for (const Case& c : cases) {
        std::vector<DWORD> sizes;
        auto query = [&](void*, wchar_t* buffer, DWORD size) -> DWORD {
            sizes.push_back(size);
            if (c.needed == 0) {
                SetLastError(ERROR_ACCESS_DENIED);
                return 0;
            }
            if (size < c.needed) {
                SetLastError(ERROR_INSUFFICIENT_BUFFER);
                return 0;
            }
            std::fill(buffer, buffer + c.needed, L'x');
            return c.needed;
        };
        std::wstring name;
        EXPECT_EQ(dllguard::MappedFileName(nullptr, name, query), c.found) << c.needed;
        EXPECT_EQ(sizes, c.sizes) << c.needed;
        EXPECT_EQ(name.size(), c.found ? c.needed : 0u) << c.needed;
    }
}

}  // namespace
