// The guard started for real in this process: the hooks go in and come out
// again byte for byte, events reach an installed sink through the queue,
// block mode refuses, and a start that cannot hook reports it and leaves
// nothing behind.
#include "base/unique_resource.h"
#include "dllguard/hook/hook_transaction.h"
#include "dllguard/hook/jump_thunks.h"
#include "dllguard/intercept/dll_protect.h"
#include "dllguard/report/event_reporting.h"
#include "dllguard/true_load_library.h"
#include "base/text_conversion.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <future>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using dllguard::DllProtectInfo;

constexpr uint32_t kReportMode = 0x13;  // signature check, report mode, search-path mode kept
constexpr uint32_t kBlockMode = 0x23;
constexpr DWORD kUntouched = 4660;

std::mutex g_eventsLock;
std::vector<DllProtectInfo> g_events;

void CollectingSink(const char* const* fields, void*)
{
    DllProtectInfo event;
    for (size_t i = 0; i < DllProtectInfo::kFieldCount; ++i)
        event.*DllProtectInfo::kFields[i] = fields[i];
    std::lock_guard<std::mutex> lock(g_eventsLock);
    g_events.push_back(event);
}

std::vector<DllProtectInfo> TakeEvents()
{
    std::lock_guard<std::mutex> lock(g_eventsLock);
    return std::move(g_events);
}

std::vector<uint8_t> Bytes(const uint8_t* address) { return std::vector<uint8_t>(address, address + 16); }

template <class Function>
const uint8_t* Body(Function function)
{
    return hooking::FollowJumpThunks(reinterpret_cast<uint8_t*>(function), nullptr, nullptr);
}

std::string ExecutablePath()
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::string(path, path + length);
}

class GuardStartTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { dllguard::GuardEvents().InstallEventSink(&CollectingSink, nullptr); }

    void SetUp() override
    {
        // Before any hook: the bodies of the four functions as the system has them.
        bodies_ = {Body(&::LoadLibraryW), Body(&::LoadLibraryExW), Body(&::LoadLibraryA), Body(&::LoadLibraryExA)};
        for (const uint8_t* body : bodies_)
            original_.push_back(Bytes(body));
        library_ = folder_ / L"unsigned_library.dll";
        ASSERT_TRUE(CopyInto(TestBinaryFolder() + L"\\guard_test_library.dll", library_));
        TakeEvents();
    }

    void TearDown() override
    {
        dllguard::DllProtectStop();
        EXPECT_FALSE(dllguard::DllProtectActive());
        EXPECT_TRUE(SystemFunctionsUntouched());
    }

    bool SystemFunctionsUntouched() const
    {
        for (size_t i = 0; i < bodies_.size(); ++i) {
            if (Bytes(bodies_[i]) != original_[i])
                return false;
        }
        return true;
    }

    bool EveryFunctionPatched() const
    {
        for (size_t i = 0; i < bodies_.size(); ++i) {
            if (Bytes(bodies_[i]) == original_[i])
                return false;
        }
        return true;
    }

    TempFolder folder_;
    std::wstring library_;
    std::vector<const uint8_t*> bodies_;
    std::vector<std::vector<uint8_t>> original_;
};

TEST_F(GuardStartTest, ReportAndBlockModeTogetherInstallNothing)
{
    EXPECT_EQ(0, dllguard::DllProtectStart(0x32, L"guard_intercept_tests.exe"));
    EXPECT_FALSE(dllguard::DllProtectActive());
    EXPECT_TRUE(SystemFunctionsUntouched());
}

TEST_F(GuardStartTest, ReportModeReportsAnUnsignedLibraryAndLoadsIt)
{
    ASSERT_EQ(1, dllguard::DllProtectStart(kReportMode, L"guard_intercept_tests.exe"));
    EXPECT_TRUE(dllguard::DllProtectActive());
    EXPECT_TRUE(EveryFunctionPatched());
    {
        const UniqueModule module(::LoadLibraryW(library_.c_str()));
        EXPECT_TRUE(module);
        const UniqueModule data(::LoadLibraryExW(library_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        EXPECT_TRUE(data);  // passes straight through: no second event
    }
    dllguard::DllProtectStop();  // hands over what is queued
    EXPECT_TRUE(SystemFunctionsUntouched());

    const std::vector<DllProtectInfo> events = TakeEvents();
    ASSERT_EQ(1u, events.size());
    EXPECT_EQ(std::string(library_.begin(), library_.end()), events[0].requestedName);
    EXPECT_EQ("VULNERABLE_PATH", events[0].resultName);
    EXPECT_EQ("LoadLibraryW", events[0].functionName);
    EXPECT_EQ(ExecutablePath(), events[0].callerModule);
    EXPECT_EQ(0u, events[0].information.find("paths: exe: "));
}

TEST_F(GuardStartTest, BlockModeRefusesTheLibraryButNotTheGuardsOwnLoads)
{
    ASSERT_EQ(1, dllguard::DllProtectStart(kBlockMode, L"guard_intercept_tests.exe"));
    EXPECT_NE(dllguard::LoadLibraryExWFunction(&::LoadLibraryExW), dllguard::TrueLoadLibraryExW());

    SetLastError(kUntouched);
    EXPECT_EQ(nullptr, ::LoadLibraryA(std::string(library_.begin(), library_.end()).c_str()));
    EXPECT_EQ(kUntouched, GetLastError());
    const UniqueModule fromSystem32(::LoadLibraryW(L"msimg32.dll"));
    EXPECT_TRUE(fromSystem32);
    const UniqueModule own(dllguard::TrueLoadLibraryExW()(library_.c_str(), nullptr, 0));
    EXPECT_TRUE(own);

    dllguard::DllProtectStop();
    EXPECT_EQ(dllguard::LoadLibraryExWFunction(&::LoadLibraryExW), dllguard::TrueLoadLibraryExW());
    EXPECT_TRUE(TakeEvents().empty());
}

// Publisher pinning (0x80) with this unsigned test program as the
// executable: a signed library outside the trusted places no longer passes
// by its signature.
TEST_F(GuardStartTest, PinnedToAnUnsignedExecutableNoSignaturePasses)
{
    const std::wstring signedLibrary = folder_ / L"signed_library.dll";
    ASSERT_TRUE(CopyInto(TestBinaryFolder() + L"\\guard_test_signed.dll", signedLibrary));
    for (const uint32_t word : {kBlockMode, kBlockMode | 0x80}) {
        SCOPED_TRACE(word);
        ASSERT_EQ(1, dllguard::DllProtectStart(word, L"guard_intercept_tests.exe"));
        SetLastError(kUntouched);
        const UniqueModule module(::LoadLibraryW(signedLibrary.c_str()));
        EXPECT_EQ(word == kBlockMode, static_cast<bool>(module));
        dllguard::DllProtectStop();
    }
}

TEST_F(GuardStartTest, StartThatCannotHookReportsItAndLeavesNothingInstalled)
{
    // Another thread holds the one hook transaction of the process.
    std::promise<void> begun, release;
    std::thread holder([&] {
        hooking::TransactionBegin();
        begun.set_value();
        release.get_future().wait();
        hooking::TransactionAbort();
    });
    begun.get_future().wait();
    const int started = dllguard::DllProtectStart(kReportMode, L"guard_intercept_tests.exe");
    release.set_value();
    holder.join();

    EXPECT_EQ(0, started);
    EXPECT_FALSE(dllguard::DllProtectActive());
    EXPECT_TRUE(SystemFunctionsUntouched());
    DllProtectInfo failure;
    failure.resultName = "INIT_DETOUR_FAILED";
    EXPECT_EQ(std::vector<DllProtectInfo>{failure}, TakeEvents());
}

// A narrow name reaches the checks as the system itself would read it.
TEST_F(GuardStartTest, NarrowNamesInTheAnsiCodePageLoadAndAreReported)
{
    const std::wstring folder = folder_.MakeFolder(L"caf\u00e9");
    const std::wstring library = folder + L"\\unsigned_\u00e9.dll";
    ASSERT_TRUE(CopyInto(TestBinaryFolder() + L"\\guard_test_library.dll", library));
    char ansi[MAX_PATH];
    ASSERT_GT(WideCharToMultiByte(CP_ACP, 0, library.c_str(), -1, ansi, MAX_PATH, nullptr, nullptr), 0);

    ASSERT_EQ(1, dllguard::DllProtectStart(kReportMode, L"guard_intercept_tests.exe"));
    EXPECT_TRUE(UniqueModule(::LoadLibraryA(ansi)));  // unloaded again: the next load is checked anew
    EXPECT_TRUE(UniqueModule(::LoadLibraryExA(ansi, nullptr, 0)));
    dllguard::DllProtectStop();
    const std::vector<DllProtectInfo> events = TakeEvents();
    ASSERT_EQ(2u, events.size());
    for (const DllProtectInfo& event : events) {
        EXPECT_EQ("VULNERABLE_PATH", event.resultName);
        EXPECT_EQ(WideToUtf8(library), event.requestedName);
    }
}

TEST_F(GuardStartTest, GuardStartsAgainAfterAStop)
{
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        ASSERT_EQ(1, dllguard::DllProtectStart(kReportMode, L"guard_intercept_tests.exe"));
        const UniqueModule module(::LoadLibraryExA(std::string(library_.begin(), library_.end()).c_str(), nullptr, 0));
        EXPECT_TRUE(module);
        dllguard::DllProtectStop();
        EXPECT_TRUE(SystemFunctionsUntouched());
        const std::vector<DllProtectInfo> events = TakeEvents();
        ASSERT_EQ(1u, events.size());
        EXPECT_EQ("LoadLibraryExA", events[0].functionName);
    }
}

}  // namespace
