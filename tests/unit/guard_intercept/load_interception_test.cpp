// The common path of the load hooks against a scripted system: which checks
// run in which order, what is loaded, reported or refused, and nested loads.
#include "dllguard/intercept/load_interception.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <fmt/format.h>

namespace {

using dllguard::DllProtectInfo;
using dllguard::GuardMode;
using dllguard::GuardResult;
using dllguard::LoadInterception;
using dllguard::LoadRequest;
using dllguard::SecurityCheckResult;

const std::wstring kSystem32 = L"C:\\Sys32";
const dllguard::SignatureRule kAnySignature{true, nullptr};
const dllguard::SignatureRule kNoSignature{false, nullptr};
const std::wstring kPath = L"C:\\Temp\\a.dll";
const std::wstring kOtherPath = L"C:\\Temp\\b.dll";

// Answers the common path's questions from sets and logs each step.
class ScriptedSystem final : public dllguard::LoadInterceptionSystem {
public:
    struct Forwarded {
        HANDLE file;
        DWORD flags;
        DWORD lastError;  // on entry
    };

    HMODULE Load(LPCWSTR name, HANDLE file, DWORD flags) override
    {
        const std::wstring text = name ? name : L"(null)";
        forwarded.push_back({file, flags, GetLastError()});
        log.push_back(L"load " + text);
        if (duringLoad)
            duringLoad(text);
        if (name == nullptr || present.count(text) == 0) {
            SetLastError(ERROR_MOD_NOT_FOUND);
            return nullptr;
        }
        return Handle(text);
    }
    bool IsLoaded(LPCWSTR name) override
    {
        log.push_back(std::wstring(L"loaded? ") + name);
        return loaded.count(name) != 0;
    }
    const std::wstring& System32Directory() override { return kSystem32; }
    bool IsTrustedPath(const std::wstring& path) override
    {
        log.push_back(L"trusted? " + path);
        return trusted.count(path) != 0;
    }
    SecurityCheckResult SecurityCheck(const std::wstring& name, DWORD flags,
                                      const dllguard::SignatureRule& rule) override
    {
        log.push_back(L"check " + name);
        checkFlags = flags;
        checkedSignature = rule.check;
        checkedPublisher = rule.publisher;
        SetLastError(ERROR_INVALID_DATA);  // the checks' own calls leave errors behind
        return check;
    }
    void Report(const DllProtectInfo& event) override
    {
        log.push_back(L"report " + std::wstring(event.resultName.begin(), event.resultName.end()));
        reports.push_back(event);
        if (duringReport)
            duringReport(event);
    }

    // A distinct fake handle per name.
    HMODULE Handle(const std::wstring& name)
    {
        auto it = handles.emplace(name, handles.size() + 1).first;
        return reinterpret_cast<HMODULE>(0x10000 * it->second);
    }

    std::set<std::wstring> loaded, present, trusted;
    SecurityCheckResult check;
    std::function<void(const std::wstring& name)> duringLoad;
    std::function<void(const DllProtectInfo& event)> duringReport;

    std::vector<std::wstring> log;
    std::vector<Forwarded> forwarded;
    std::vector<DllProtectInfo> reports;
    DWORD checkFlags = 0;
    bool checkedSignature = false;
    const dllguard::SignerCertificate* checkedPublisher = nullptr;
    std::map<std::wstring, size_t> handles;
};

// An address inside this test executable, for the caller fields.
void Anchor() {}
const void* AnchorAddress() { return reinterpret_cast<const void*>(&Anchor); }

LoadRequest Request(const std::wstring& name, const char* function = "LoadLibraryW", DWORD flags = 0,
                    HANDLE file = nullptr)
{
    LoadRequest request;
    request.name = name.c_str();
    request.file = file;
    request.flags = flags;
    request.functionName = function;
    request.caller = AnchorAddress();
    return request;
}

std::vector<std::string> ResultNames(const std::vector<DllProtectInfo>& reports)
{
    std::vector<std::string> names;
    for (const DllProtectInfo& event : reports)
        names.push_back(event.resultName);
    return names;
}

std::string Utf8(const std::wstring& text) { return std::string(text.begin(), text.end()); }

TEST(LoadInterceptionTest, StepsOfTheCommonPath)
{
    const std::wstring bare = L"a.dll";
    const std::wstring inSystem32 = kSystem32 + L"\\a.dll";
    struct Case {
        const char* what;
        GuardMode mode;
        std::wstring name;
        std::set<std::wstring> loaded, present, trusted;
        GuardResult check;
        std::vector<std::wstring> log;
        bool loads;
    };
    const Case cases[] = {
        {"already loaded", GuardMode::Block, bare, {bare}, {bare}, {}, GuardResult::Success,
         {L"loaded? a.dll", L"load a.dll"}, true},
        {"bare name found in System32", GuardMode::Block, bare, {}, {inSystem32}, {}, GuardResult::Success,
         {L"loaded? a.dll", L"load C:\\Sys32\\a.dll"}, true},
        {"bare name missing from System32: checked, whatever the current directory", GuardMode::Block, bare, {},
         {bare}, {bare}, GuardResult::Success,
         {L"loaded? a.dll", L"load C:\\Sys32\\a.dll", L"check a.dll", L"load a.dll"}, true},
        {"bare name missing from System32, vulnerable", GuardMode::Block, bare, {}, {bare}, {bare},
         GuardResult::VulnerablePath, {L"loaded? a.dll", L"load C:\\Sys32\\a.dll", L"check a.dll"}, false},
        {"path in a trusted place", GuardMode::Block, kPath, {}, {kPath}, {kPath}, GuardResult::VulnerablePath,
         {L"loaded? " + kPath, L"trusted? " + kPath, L"load " + kPath}, true},
        {"forward slashes make a path too", GuardMode::Block, L"C:/Temp/a.dll", {}, {L"C:/Temp/a.dll"},
         {L"C:/Temp/a.dll"}, GuardResult::Success,
         {L"loaded? C:/Temp/a.dll", L"trusted? C:/Temp/a.dll", L"load C:/Temp/a.dll"}, true},
        {"checks passed", GuardMode::Block, kPath, {}, {kPath}, {}, GuardResult::Success,
         {L"loaded? " + kPath, L"trusted? " + kPath, L"check " + kPath, L"load " + kPath}, true},
        {"report mode, vulnerable", GuardMode::Report, kPath, {}, {kPath}, {}, GuardResult::VulnerablePath,
         {L"loaded? " + kPath, L"trusted? " + kPath, L"check " + kPath, L"report VULNERABLE_PATH", L"load " + kPath},
         true},
        {"report mode, cannot be mapped", GuardMode::Report, kPath, {}, {}, {}, GuardResult::LoadFailed,
         {L"loaded? " + kPath, L"trusted? " + kPath, L"check " + kPath, L"report LOAD_FAILED", L"load " + kPath},
         false},
        {"block mode, vulnerable", GuardMode::Block, kPath, {}, {kPath}, {}, GuardResult::VulnerablePath,
         {L"loaded? " + kPath, L"trusted? " + kPath, L"check " + kPath}, false},
        {"block mode, other failures load", GuardMode::Block, kPath, {}, {kPath}, {}, GuardResult::GetPathFailed,
         {L"loaded? " + kPath, L"trusted? " + kPath, L"check " + kPath, L"load " + kPath}, true},
        {"block mode, unmapped names load", GuardMode::Block, kPath, {}, {}, {}, GuardResult::LoadFailed,
         {L"loaded? " + kPath, L"trusted? " + kPath, L"check " + kPath, L"load " + kPath}, false},
        {"neither mode: checked, never reported", GuardMode::None, kPath, {}, {kPath}, {},
         GuardResult::VulnerablePath, {L"loaded? " + kPath, L"trusted? " + kPath, L"check " + kPath, L"load " + kPath},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedSystem system;
        system.loaded = c.loaded;
        system.present = c.present;
        system.trusted = c.trusted;
        system.check.result = c.check;
        const HMODULE module = LoadInterception(system, c.mode, kAnySignature).Load(Request(c.name));
        EXPECT_EQ(c.log, system.log);
        EXPECT_EQ(c.loads, module != nullptr);
    }
}

// Where a name that is not fully qualified ends up is the loader's search,
// not the current directory: it is checked as mapped, even when the place it
// names relative to the current directory would be trusted.
TEST(LoadInterceptionTest, OnlyFullyQualifiedPathsAreTrustedByTheirPlaceBeforeTheCheck)
{
    struct Case {
        std::wstring name;
        bool trustedByPlace;
    };
    const Case cases[] = {
        {L"C:\\Windows\\System32\\a.dll", true},
        {L"C:/Windows/System32/a.dll", true},
        {L"\\\\server\\share\\a.dll", true},
        {L"\\\\?\\C:\\Windows\\a.dll", false},
        {L"sub\\a.dll", false},
        {L".\\a.dll", false},
        {L"..\\System32\\a.dll", false},
        {L"C:a.dll", false},  // no separator: its System32 copy is tried first, as for a bare name
        {L"\\Windows\\System32\\a.dll", false},
        {L"/Windows/System32/a.dll", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf8(c.name));
        ScriptedSystem system;
        system.present = {c.name};
        system.trusted = {c.name};
        system.check.result = GuardResult::VulnerablePath;
        const HMODULE module = LoadInterception(system, GuardMode::Block, kAnySignature).Load(Request(c.name));
        const std::vector<std::wstring> trusted = {L"loaded? " + c.name, L"trusted? " + c.name, L"load " + c.name};
        std::vector<std::wstring> checked = {L"loaded? " + c.name, L"check " + c.name};
        if (c.name.find_first_of(L"\\/") == std::wstring::npos)
            checked.insert(checked.begin() + 1, L"load " + kSystem32 + L"\\" + c.name);
        EXPECT_EQ(c.trustedByPlace ? trusted : checked, system.log);
        EXPECT_EQ(c.trustedByPlace, module != nullptr);
    }
}

TEST(LoadInterceptionTest, ReportedEventCarriesTheRequestTheCheckAndTheCaller)
{
    ScriptedSystem system;
    system.present = {kPath};
    system.check = {GuardResult::VulnerablePath, L"\\\\?\\C:\\Temp\\a.dll", "paths: exe: C:\\Tools prog: C:\\PF"};
    LoadInterception(system, GuardMode::Report, kAnySignature).Load(Request(kPath, "LoadLibraryExA"));

    ASSERT_EQ(1u, system.reports.size());
    const DllProtectInfo& event = system.reports[0];
    HMODULE self = GetModuleHandleW(nullptr);
    wchar_t exe[MAX_PATH];
    const DWORD length = GetModuleFileNameW(self, exe, MAX_PATH);
    const auto anchor = reinterpret_cast<uintptr_t>(AnchorAddress());
    EXPECT_EQ("C:\\Temp\\a.dll", event.requestedName);
    EXPECT_EQ("\\\\?\\C:\\Temp\\a.dll", event.checkedPath);
    EXPECT_EQ("VULNERABLE_PATH", event.resultName);
    EXPECT_EQ("LoadLibraryExA", event.functionName);
    EXPECT_EQ(fmt::format("0x{:x}", anchor), event.callerAddress);
    EXPECT_EQ(Utf8(std::wstring(exe, length)), event.callerModule);
    EXPECT_EQ(fmt::format("0x{:x}", anchor - reinterpret_cast<uintptr_t>(self)), event.callerOffset);
    EXPECT_EQ("paths: exe: C:\\Tools prog: C:\\PF", event.information);
}

TEST(LoadInterceptionTest, EveryLoadGetsTheCallersFileHandleFlagsAndLastError)
{
    ScriptedSystem system;
    system.present = {L"a.dll"};
    const HANDLE file = reinterpret_cast<HANDLE>(0x44);
    SetLastError(777);
    const HMODULE module =
        LoadInterception(system, GuardMode::Report, kNoSignature).Load(Request(L"a.dll", "LoadLibraryExW", 0x8, file));
    EXPECT_NE(nullptr, module);

    // The System32 attempt fails, the checks run, then the requested name loads.
    ASSERT_EQ(2u, system.forwarded.size());
    for (const auto& forwarded : system.forwarded) {
        EXPECT_EQ(file, forwarded.file);
        EXPECT_EQ(0x8u, forwarded.flags);
        EXPECT_EQ(777u, forwarded.lastError);
    }
    EXPECT_EQ(0x8u, system.checkFlags);
    EXPECT_FALSE(system.checkedSignature);
}

TEST(LoadInterceptionTest, RefusedLoadLeavesTheCallersLastError)
{
    ScriptedSystem system;
    system.check.result = GuardResult::VulnerablePath;
    SetLastError(777);
    EXPECT_EQ(nullptr, LoadInterception(system, GuardMode::Block, kAnySignature).Load(Request(kPath)));
    EXPECT_EQ(777u, GetLastError());
    EXPECT_TRUE(system.checkedSignature);
}

TEST(LoadInterceptionTest, MissingNameGoesStraightToTheSystem)
{
    ScriptedSystem system;
    LoadRequest request = Request(kPath);
    request.name = nullptr;
    EXPECT_EQ(nullptr, LoadInterception(system, GuardMode::Block, kAnySignature).Load(request));
    EXPECT_EQ(std::vector<std::wstring>{L"load (null)"}, system.log);
}

TEST(LoadInterceptionTest, LibraryLoadingItselfIsRecordedOnceAndLoadedDirectly)
{
    ScriptedSystem system;
    system.present = {kPath};
    const LoadInterception interception(system, GuardMode::Block, kAnySignature);
    HMODULE nested = nullptr;
    int loads = 0;
    system.duringLoad = [&](const std::wstring&) {
        if (++loads == 1)
            nested = interception.Load(Request(kPath, "LoadLibraryExW"));
    };
    EXPECT_NE(nullptr, interception.Load(Request(kPath)));
    EXPECT_EQ(system.Handle(kPath), nested);

    EXPECT_EQ((std::vector<std::wstring>{L"loaded? " + kPath, L"trusted? " + kPath, L"check " + kPath,
                                         L"load " + kPath, L"report RECURSIVE_DLL_LOAD_LOADLIBRARY",
                                         L"load " + kPath}),
              system.log);
    ASSERT_EQ(1u, system.reports.size());
    DllProtectInfo event = system.reports[0];
    EXPECT_EQ(fmt::format("0x{:x}", reinterpret_cast<uintptr_t>(AnchorAddress())), event.callerAddress);
    event.callerAddress.clear();
    DllProtectInfo expected;
    expected.requestedName = "C:\\Temp\\a.dll";
    expected.resultName = "RECURSIVE_DLL_LOAD_LOADLIBRARY";
    expected.functionName = "LoadLibraryExW";
    expected.information = "loaded dlls: C:\\Temp\\a.dll,";
    EXPECT_EQ(expected, event);
}

TEST(LoadInterceptionTest, RecursionRecordListsEveryLoadInProgressAndIgnoresCase)
{
    ScriptedSystem system;
    system.present = {kPath, kOtherPath, L"c:\\temp\\A.DLL"};
    const LoadInterception interception(system, GuardMode::Report, kAnySignature);
    system.duringLoad = [&](const std::wstring& name) {
        if (name == kPath)
            interception.Load(Request(kOtherPath));  // a different library: checked as usual
        else if (name == kOtherPath)
            interception.Load(Request(L"c:\\temp\\A.DLL"));  // the first one again
    };
    EXPECT_NE(nullptr, interception.Load(Request(kPath)));

    EXPECT_EQ((std::vector<std::string>{"RECURSIVE_DLL_LOAD_LOADLIBRARY"}), ResultNames(system.reports));
    EXPECT_EQ("c:\\temp\\A.DLL", system.reports[0].requestedName);
    EXPECT_EQ("loaded dlls: C:\\Temp\\a.dll,C:\\Temp\\b.dll,", system.reports[0].information);
}

TEST(LoadInterceptionTest, LoadOfTheSameLibraryWhileItsRecursionRecordIsWrittenMakesNoSecondRecord)
{
    ScriptedSystem system;
    system.present = {kPath};
    const LoadInterception interception(system, GuardMode::Report, kAnySignature);
    int loads = 0;
    system.duringLoad = [&](const std::wstring&) {
        if (++loads == 1)
            interception.Load(Request(kPath));
    };
    HMODULE duringRecord = nullptr;
    system.duringReport = [&](const DllProtectInfo&) { duringRecord = interception.Load(Request(kPath)); };
    interception.Load(Request(kPath));

    EXPECT_EQ(1u, system.reports.size());
    EXPECT_EQ(system.Handle(kPath), duringRecord);
}

TEST(LoadInterceptionTest, LoadIsNoLongerInProgressOnceItReturned)
{
    ScriptedSystem system;
    system.present = {kPath};
    system.check.result = GuardResult::VulnerablePath;
    EXPECT_EQ(nullptr, LoadInterception(system, GuardMode::Block, kAnySignature).Load(Request(kPath)));
    EXPECT_NE(nullptr, LoadInterception(system, GuardMode::Report, kAnySignature).Load(Request(kPath)));
    EXPECT_EQ((std::vector<std::string>{"VULNERABLE_PATH"}), ResultNames(system.reports));
}

TEST(LoadInterceptionTest, SameLibraryOnAnotherThreadIsNotANestedLoad)
{
    ScriptedSystem system;
    system.present = {kPath};
    const LoadInterception interception(system, GuardMode::Report, kAnySignature);
    int loads = 0;
    HMODULE onOtherThread = nullptr;
    system.duringLoad = [&](const std::wstring&) {
        if (++loads == 1)
            std::thread([&] { onOtherThread = interception.Load(Request(kPath)); }).join();
    };
    interception.Load(Request(kPath));

    EXPECT_NE(nullptr, onOtherThread);
    EXPECT_TRUE(system.reports.empty());
    EXPECT_EQ(2, std::count(system.log.begin(), system.log.end(), L"check " + kPath));
}

}  // namespace
