// The start-up's decisions from its switches: search-path hardening and
// whether (and how) the guard starts; and the switch readers themselves.
#include "dllguard/startup/executable_name.h"
#include "dllguard/startup/guard_switches.h"
#include "dllguard/startup/interception_decision.h"
#include "dllguard/startup/search_path_hardening.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

namespace {

using dllguard::GuardSwitches;
using dllguard::InterceptionDecision;
namespace sw = dllguard::switches;

const std::wstring kExecutable = L"Product.Console.exe";

class ScriptedSwitches final : public GuardSwitches {
public:
    bool EnvironmentPresent(const wchar_t* name) const override
    {
        return environment.count(name) != 0 || environmentValues.count(name) != 0;
    }
    std::wstring EnvironmentValue(const wchar_t* name) const override
    {
        const auto it = environmentValues.find(name);
        return it == environmentValues.end() ? std::wstring() : it->second;
    }
    bool ExecutableFileName(std::wstring& name) const override
    {
        name = nameReadable ? kExecutable : L"";
        return nameReadable;
    }
    bool ImageFileExecutionOption(const std::wstring& executable, const wchar_t* value, DWORD& data) const override
    {
        const auto it = values.find(value);
        if (executable != kExecutable || it == values.end())
            return false;
        data = it->second;
        return true;
    }
    std::wstring ProgramData() const override { return programData; }

    std::set<std::wstring> environment;
    std::map<std::wstring, std::wstring> environmentValues;
    std::map<std::wstring, DWORD> values;
    bool nameReadable = true;
    std::wstring programData = L"C:\\ProgramData";
};

const std::wstring kReportFolder = L"C:\\ProgramData\\48C4687D-9760-4F5B-BAB3-60351B0841E4";

TEST(InterceptionDecisionTest, SwitchesDecideInTheirOrder)
{
    struct Case {
        const char* what;
        std::set<std::wstring> environment;
        std::map<std::wstring, DWORD> values;
        bool start;
        uint32_t optionWord;
        bool fromEnvironment;
        bool noReport;
    };
    const Case cases[] = {
        {"nothing set", {}, {}, false, 0, false, false},
        {"interception variable", {sw::Interception}, {}, true, 0x12, true, false},
        {"block variable", {sw::InterceptionBlock}, {}, true, 0x22, true, false},
        {"both enabling variables", {sw::Interception, sw::InterceptionBlock}, {}, true, 0x22, true, false},
        {"disabled beats block", {sw::InterceptionBlock, sw::InterceptionDisabled}, {}, false, 0, true, false},
        {"disabled beats both and the registry",
         {sw::Interception, sw::InterceptionBlock, sw::InterceptionDisabled}, {{sw::InterceptionValue, 1}}, false, 0,
         true, false},
        {"variable beats a zero registry value", {sw::Interception}, {{sw::InterceptionValue, 0}}, true, 0x12, true,
         false},
        {"registry value 5", {}, {{sw::InterceptionValue, 5}}, true, 0x12, false, false},
        {"registry value 0", {}, {{sw::InterceptionValue, 0}}, false, 0, false, false},
        {"no-report alone: the registry decides, on", {sw::InterceptionNoReport}, {{sw::InterceptionValue, 1}},
         true, 0x12, false, true},
        {"no-report alone: the registry decides, off", {sw::InterceptionNoReport}, {}, false, 0, false, true},
        {"no-report with the block variable", {sw::InterceptionBlock, sw::InterceptionNoReport}, {}, true, 0x22,
         true, true},
        {"the search-path value is not the interception value", {}, {{sw::SearchPathValue, 1}}, false, 0, false,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedSwitches switches;
        switches.environment = c.environment;
        switches.values = c.values;
        const InterceptionDecision decision = dllguard::DecideInterception(switches);
        EXPECT_EQ(c.start, decision.start);
        EXPECT_EQ(c.optionWord, decision.optionWord);
        EXPECT_EQ(c.fromEnvironment, decision.fromEnvironment);
        EXPECT_EQ(c.noReport, decision.noReport);
        EXPECT_EQ(kReportFolder, decision.reportFolder);
    }
}

// Publisher pinning joins a guard that starts, only with the value 1, and
// never starts one by itself.
TEST(InterceptionDecisionTest, SamePublisherWithTheValueOne)
{
    struct Case {
        const char* what;
        std::set<std::wstring> environment;
        std::wstring value;  // of teInterDll_same_publisher; empty: unset
        std::map<std::wstring, DWORD> values;
        bool start;
        uint32_t optionWord;
    };
    const Case cases[] = {
        {"report mode", {sw::Interception}, L"1", {}, true, 0x92},
        {"block mode", {sw::InterceptionBlock}, L"1", {}, true, 0xA2},
        {"interception from the registry", {}, L"1", {{sw::InterceptionValue, 1}}, true, 0x92},
        {"alone it starts nothing", {}, L"1", {}, false, 0},
        {"disabled wins", {sw::Interception, sw::InterceptionDisabled}, L"1", {}, false, 0},
        {"unset", {sw::Interception}, L"", {}, true, 0x12},
        {"value 0", {sw::Interception}, L"0", {}, true, 0x12},
        {"value 2", {sw::Interception}, L"2", {}, true, 0x12},
        {"value 1 with more after it", {sw::Interception}, L"1 ", {}, true, 0x12},
    };
    for (const Case& c : cases) {
        ScriptedSwitches switches;
        switches.environment = c.environment;
        if (!c.value.empty())
            switches.environmentValues[sw::InterceptionSamePublisher] = c.value;
        switches.values = c.values;
        const InterceptionDecision decision = dllguard::DecideInterception(switches);
        EXPECT_EQ(c.start, decision.start) << c.what;
        EXPECT_EQ(c.optionWord, decision.optionWord) << c.what;
    }
}

TEST(InterceptionDecisionTest, WithoutProgramDataOnlyTheEnvironmentsGuardDropsItsEvents)
{
    ScriptedSwitches switches;
    switches.programData.clear();
    switches.environment = {sw::Interception};
    InterceptionDecision decision = dllguard::DecideInterception(switches);
    EXPECT_TRUE(decision.start);
    EXPECT_TRUE(decision.noReport);
    EXPECT_EQ(L"", decision.reportFolder);

    // Started from the registry, the report file's own rules apply.
    switches.environment.clear();
    switches.values = {{sw::InterceptionValue, 1}};
    decision = dllguard::DecideInterception(switches);
    EXPECT_TRUE(decision.start);
    EXPECT_FALSE(decision.noReport);
}

TEST(InterceptionDecisionTest, UnreadableExecutableNameLeavesOnlyTheEnvironment)
{
    ScriptedSwitches switches;
    switches.nameReadable = false;
    switches.values = {{sw::InterceptionValue, 1}};
    EXPECT_FALSE(dllguard::DecideInterception(switches).start);
    switches.environment = {sw::Interception};
    EXPECT_TRUE(dllguard::DecideInterception(switches).start);
}

TEST(SearchPathHardeningTest, WantedByTheVariableOrTheValueOneUnlessDisabled)
{
    struct Case {
        const char* what;
        std::set<std::wstring> environment;
        std::map<std::wstring, DWORD> values;
        bool nameReadable;
        bool wanted;
    };
    const Case cases[] = {
        {"nothing set", {}, {}, true, false},
        {"variable", {sw::SearchPath}, {}, true, true},
        {"variable and disabled", {sw::SearchPath, sw::SearchPathDisabled}, {}, true, false},
        {"value 1", {}, {{sw::SearchPathValue, 1}}, true, true},
        {"value 2", {}, {{sw::SearchPathValue, 2}}, true, false},
        {"value 1 and disabled", {sw::SearchPathDisabled}, {{sw::SearchPathValue, 1}}, true, false},
        {"value 1, executable name unreadable", {}, {{sw::SearchPathValue, 1}}, false, false},
        {"variable, executable name unreadable", {sw::SearchPath}, {}, false, true},
        {"the interception value is not the search-path value", {}, {{sw::InterceptionValue, 1}}, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedSwitches switches;
        switches.environment = c.environment;
        switches.values = c.values;
        switches.nameReadable = c.nameReadable;
        EXPECT_EQ(c.wanted, dllguard::SearchPathHardeningWanted(switches));
    }
}

TEST(SearchPathHardeningTest, PathIsTheExecutablesDirectoryThenSystem32)
{
    EXPECT_EQ(L"C:\\Agent;C:\\Windows\\System32", dllguard::HardenedPath(L"C:\\Agent", L"C:\\Windows\\System32"));
    EXPECT_EQ(L";C:\\Windows\\System32", dllguard::HardenedPath(L"", L"C:\\Windows\\System32"));
}

TEST(GuardSwitchesTest, EnvironmentVariablesCountByPresenceOnly)
{
    const wchar_t name[] = L"GUARD_INTERCEPT_TEST_SWITCH";
    SetEnvironmentVariableW(name, nullptr);
    EXPECT_FALSE(dllguard::EnvironmentVariablePresent(name));
    SetEnvironmentVariableW(name, L"0");
    EXPECT_TRUE(dllguard::EnvironmentVariablePresent(name));
    SetEnvironmentVariableW(name, L"");
    EXPECT_TRUE(dllguard::EnvironmentVariablePresent(name));
    SetEnvironmentVariableW(name, nullptr);
}

TEST(GuardSwitchesTest, ExecutableFileNameIsTheLastComponentOfTheModulePath)
{
    std::wstring name;
    EXPECT_EQ(0u, dllguard::ExecutableFileName(name));
    EXPECT_EQ(L"guard_intercept_tests.exe", name);
    const std::wstring directory = dllguard::ExecutableDirectory();
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    EXPECT_EQ(std::wstring(path, length), directory + L"\\" + name);
}

TEST(GuardSwitchesTest, MissingImageFileExecutionOptionsKeyReadsAsUnset)
{
    DWORD value = 123;
    EXPECT_FALSE(dllguard::ProcessGuardSwitches().ImageFileExecutionOption(L"no-such-program-here.exe",
                                                                          sw::InterceptionValue, value));
    EXPECT_EQ(123u, value);
}

}  // namespace
