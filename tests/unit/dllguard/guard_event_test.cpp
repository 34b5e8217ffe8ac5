#include "dllguard/guard_result.h"
#include "dllguard/report/guard_event_builders.h"
#include "dllguard/report/report_path.h"
#include "base/text_conversion.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <fmt/format.h>

namespace {

using dllguard::GuardResult;

TEST(GuardResultTest, NamesOfEveryCodeAndUnknownBeyond)
{
    const char* const expected[] = {
        "SUCCESS",         "INIT_DETOUR_FAILED", "LOAD_FAILED",
        "GETPATH_FAILED",  "GETMAPPEDFILE_FAILED", "VULNERABLE_PATH",
        "VULNERABLE_PATH_NTCREATE_SECTION", "INVALID_SIGNATURE", "RECURSIVE_DLL_LOAD_LOADLIBRARY",
        "RECURSIVE_DLL_LOAD_NTCREATESECTION", "DLL_BLOCKED",
    };
    for (int code = 0; code <= 10; ++code)
        EXPECT_STREQ(dllguard::GuardResultName(code), expected[code]) << code;
    for (int code : {-1, 11, 1000})
        EXPECT_STREQ(dllguard::GuardResultName(code), "UNKNOWN") << code;
    EXPECT_STREQ(dllguard::GuardResultName(GuardResult::VulnerablePath), "VULNERABLE_PATH");
}

__attribute__((noinline)) const void* SomeCodeAddress() { return __builtin_return_address(0); }

TEST(GuardEventTest, CallerIsLocatedInItsModule)
{
    const void* address = SomeCodeAddress();
    const dllguard::CallerLocation caller = dllguard::LocateCaller(address);
    const auto base = reinterpret_cast<uintptr_t>(GetModuleHandleW(nullptr));
    EXPECT_EQ(caller.address, fmt::format("0x{:x}", reinterpret_cast<uintptr_t>(address)));
    EXPECT_EQ(caller.offset, fmt::format("0x{:x}", reinterpret_cast<uintptr_t>(address) - base));
    wchar_t module[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, module, MAX_PATH);
    EXPECT_EQ(Utf8ToWide(caller.modulePath), std::wstring(module, length));

    const dllguard::CallerLocation nowhere = dllguard::LocateCaller(reinterpret_cast<const void*>(0x10));
    EXPECT_EQ(nowhere.address, "0x10");
    EXPECT_EQ(nowhere.modulePath, "");
    EXPECT_EQ(nowhere.offset, "");
}

TEST(GuardEventTest, InterceptionEventCarriesTheCheckAndTheCaller)
{
    const dllguard::CallerLocation caller{"0x401234", "C:\\app\\app.exe", "0x1234"};
    const auto event = dllguard::InterceptionEvent(L"x\u00e9.dll", L"\\\\?\\C:\\t\\x\u00e9.dll",
                                                   GuardResult::VulnerablePath, "LoadLibraryExA", caller,
                                                   "paths: exe: C:\\app prog: C:\\Program Files");
    EXPECT_EQ(event.requestedName, "x\xc3\xa9.dll");
    EXPECT_EQ(event.checkedPath, "\\\\?\\C:\\t\\x\xc3\xa9.dll");
    EXPECT_EQ(event.resultName, "VULNERABLE_PATH");
    EXPECT_EQ(event.functionName, "LoadLibraryExA");
    EXPECT_EQ(event.callerAddress, "0x401234");
    EXPECT_EQ(event.callerModule, "C:\\app\\app.exe");
    EXPECT_EQ(event.callerOffset, "0x1234");
    EXPECT_EQ(event.information, "paths: exe: C:\\app prog: C:\\Program Files");

    const auto unmapped =
        dllguard::InterceptionEvent(L"gone.dll", L"", GuardResult::LoadFailed, "LoadLibraryW", caller, "");
    EXPECT_EQ(unmapped.checkedPath, "UNKNOWN");
    EXPECT_EQ(unmapped.resultName, "LOAD_FAILED");
}

TEST(GuardEventTest, RecursiveLoadAndHookFailureEvents)
{
    const dllguard::CallerLocation caller{"0x401234", "C:\\app\\app.exe", "0x1234"};
    const auto recursive =
        dllguard::RecursiveLoadEvent(L"self.dll", "LoadLibraryW", caller, {L"outer.dll", L"self.dll"});
    dllguard::DllProtectInfo expected;
    expected.requestedName = "self.dll";
    expected.resultName = "RECURSIVE_DLL_LOAD_LOADLIBRARY";
    expected.functionName = "LoadLibraryW";
    expected.callerAddress = "0x401234";
    expected.information = "loaded dlls: outer.dll,self.dll,";
    EXPECT_EQ(recursive, expected);

    dllguard::DllProtectInfo failure;
    failure.resultName = "INIT_DETOUR_FAILED";
    EXPECT_EQ(dllguard::HookFailureEvent(), failure);
}

TEST(ReportPathTest, FolderRules)
{
    struct Case {
        const char* what;
        dllguard::ReportFolderInputs inputs;
        std::wstring folder;
    };
    const Case cases[] = {
        {"recorded folder wins", {L"D:\\Reports", true, L"C:\\app", L"C:\\ProgramData"}, L"D:\\Reports"},
        {"elevated: beside the executable", {L"", true, L"C:\\app", L"C:\\ProgramData"}, L"C:\\app"},
        {"not elevated: under ProgramData",
         {L"", false, L"C:\\app", L"C:\\ProgramData"},
         L"C:\\ProgramData\\48C4687D-9760-4F5B-BAB3-60351B0841E4"},
        {"not elevated, no ProgramData: nowhere", {L"", false, L"C:\\app", L""}, L""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(dllguard::ChooseReportFolder(c.inputs), c.folder) << c.what;

    EXPECT_EQ(dllguard::ReportFilePathIn(L"C:\\app", L"Product.Console.exe"),
              L"C:\\app\\dllReport.Product.Console.exe.V2");
    EXPECT_EQ(dllguard::ReportFilePathIn(L"", L"Product.Console.exe"), L"");
}

TEST(ReportPathTest, RecordedFolderIsUsedAsItIs)
{
    TempFolder folder;
    EXPECT_EQ(dllguard::ProcessReportFilePath(folder.Path(), L"a.exe").Full(), folder.Path() + L"\\dllReport.a.exe.V2");
}

}  // namespace
