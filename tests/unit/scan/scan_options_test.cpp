// The scan options: defaults, every option's values and target field, the
// checking order and the messages.
#include "captured_output.h"

#include "commands/scan/scan_options.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

auto Fields(const ScanTask& t)
{
    return std::tie(t.taskName, t.taskId, t.paths, t.firstActionForInfected, t.secondActionForInfected,
                    t.firstActionForSuspicious, t.secondActionForSuspicious, t.actionForRootkits, t.scanForAdware,
                    t.scanForSpyware, t.scanForDialers, t.scanForApplications, t.scanForKeyLoggers,
                    t.scanForRootkits, t.scanForAllRootkits, t.scanPUA, t.scanBootSectors, t.scanMemory,
                    t.scanRegistry, t.scanCookies, t.scanPacked, t.scanEmailArchives, t.scanArchives,
                    t.deepScanArchive, t.maxArchiveScanDepth, t.maxArchiveScanSize, t.useSmartScan,
                    t.promptForPassword, t.enableGlobalExclusions, t.enableTaskExclusions, t.useLowPriorityLevel,
                    t.shutdownAfter, t.scanNetworkFiles, t.networkUser, t.networkDomain, t.networkPassword,
                    t.allowStartScan, t.allowPauseScan, t.allowPostponeScan, t.allowFinishScan,
                    t.extensionsScanType, t.customExtensions);
}

TEST(ScanTaskDefaults, AreThoseOfACustomScan)
{
    const ScanTask task;
    EXPECT_EQ(task.taskName, L"Custom Scan");
    EXPECT_EQ(task.firstActionForInfected, ScanAction::Disinfect);
    EXPECT_EQ(task.secondActionForInfected, ScanAction::Quarantine);
    EXPECT_EQ(task.firstActionForSuspicious, ScanAction::Ignore);
    EXPECT_EQ(task.actionForRootkits, ScanAction::Disinfect);
    EXPECT_EQ(task.maxArchiveScanDepth, 16u);
    EXPECT_EQ(task.maxArchiveScanSize, 10485760u);
    EXPECT_EQ(task.extensionsScanType, ExtensionsScanType::All);
    EXPECT_TRUE(task.paths.empty());
    EXPECT_EQ(static_cast<uint32_t>(ScanAction::DisinfectOnly), 10u);
    EXPECT_EQ(static_cast<uint32_t>(ScanAction::Delete), 5u);
    EXPECT_EQ(static_cast<uint32_t>(ExtensionsScanType::None), 3u);
}

struct OptionCase {
    const char* name;
    ArgumentTokens args;
    bool valid;
    const wchar_t* output;
    // Applied to a default task to give the expected one (valid cases only).
    void (*expect)(ScanTask&);
};

void AllDrives(ScanTask& t) { t.paths = {L"|ALLDRIVES|"}; }

class ScanOptionsTest : public testing::TestWithParam<OptionCase> {};

TEST_P(ScanOptionsTest, ParsesIntoTheTask)
{
    const OptionCase& c = GetParam();
    ScanTask task;
    task.taskId = L"id";
    bool valid;
    std::wstring output;
    {
        CapturedOutput captured;
        valid = ParseScanOptions(c.args, task);
        output = captured.Text();
    }
    EXPECT_EQ(valid, c.valid);
    EXPECT_EQ(output, c.output);
    if (c.valid) {
        ScanTask expected;
        expected.taskId = L"id";
        c.expect(expected);
        EXPECT_TRUE(Fields(task) == Fields(expected));
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Options, ScanOptionsTest, testing::Values(
    OptionCase{"custom_alone_scans_all_drives_with_defaults", {"custom"}, true, L"", AllDrives},
    OptionCase{"custom_with_any_value", {"custom=whatever"}, true, L"", AllDrives},
    OptionCase{"paths_in_order_quotes_removed",
               {"path=C:\\a", "custom", "path=\"C:\\Program Files\\b\""}, true, L"",
               [](ScanTask& task) { task.paths = {L"C:\\a", L"C:\\Program Files\\b"}; }},
    OptionCase{"quotes_removed_anywhere_in_a_token", {"\"path\"=C:\\\"x\"", "cus\"tom"}, true, L"",
               [](ScanTask& task) { task.paths = {L"C:\\x"}; }},
    OptionCase{"empty_and_non_ascii_paths", {"custom", "path=", "path=C:\\Donn\xc3\xa9" "es"}, true, L"",
               [](ScanTask& task) { task.paths = {L"", L"C:\\Donn\u00e9es"}; }},
    OptionCase{"without_custom_nothing_is_said", {"scanMemory=true", "path=C:\\a"}, false, L"", nullptr},
    OptionCase{"custom_is_case_sensitive", {"Custom"}, false, L"", nullptr},
    OptionCase{"without_custom_wrong_values_are_not_looked_at", {"scanMemory=bogus"}, false, L"", nullptr},
    OptionCase{"action_values_are_case_sensitive", {"custom", "infectedAction1=Delete"}, false,
               L"Wrong value for infectedAction1!\n", nullptr},
    OptionCase{"infected_actions", {"custom", "infectedAction1=delete", "infectedAction2=disinfectOnly"}, true, L"",
               [](ScanTask& task) { AllDrives(task); task.firstActionForInfected = ScanAction::Delete;
                                    task.secondActionForInfected = ScanAction::DisinfectOnly; }},
    OptionCase{"infected_action_ignore_and_quarantine", {"custom", "infectedAction1=ignore", "infectedAction2=ignore"},
               true, L"", [](ScanTask& task) { AllDrives(task); task.firstActionForInfected = ScanAction::Ignore;
                                              task.secondActionForInfected = ScanAction::Ignore; }},
    OptionCase{"suspicious_actions", {"custom", "suspiciousAction1=quarantine", "suspiciousAction2=delete"}, true, L"",
               [](ScanTask& task) { AllDrives(task); task.firstActionForSuspicious = ScanAction::Quarantine;
                                    task.secondActionForSuspicious = ScanAction::Delete; }},
    OptionCase{"suspicious_cannot_be_disinfected", {"custom", "suspiciousAction1=disinfect"}, false,
               L"Wrong value for suspiciousAction1!\n", nullptr},
    OptionCase{"suspicious2_cannot_be_disinfected_only", {"custom", "suspiciousAction2=disinfectOnly"}, false,
               L"Wrong value for suspiciousAction2!\n", nullptr},
    OptionCase{"rootkit_ignore", {"custom", "rootkitAction=ignore"}, true, L"",
               [](ScanTask& task) { AllDrives(task); task.actionForRootkits = ScanAction::Ignore; }},
    OptionCase{"rootkits_cannot_be_quarantined", {"custom", "rootkitAction=quarantine"}, false,
               L"Wrong value for rootkitAction!\n", nullptr},
    OptionCase{"every_boolean_reaches_its_own_field",
               {"custom", "scanBootSectors=true", "scanRegistry=true", "scanMemory=true", "smartScan=false",
                "scanRootKits=true", "scanKeyloggers=false", "scanPUA=true", "scanCookies=true",
                "scanArchives=false", "lowPriority=true", "scanEmailArchives=false"}, true, L"",
               [](ScanTask& task) { AllDrives(task); task.scanBootSectors = true; task.scanRegistry = true; task.scanMemory = true;
                                    task.useSmartScan = false; task.scanForRootkits = true; task.scanForKeyLoggers = false;
                                    task.scanPUA = true; task.scanCookies = true; task.scanArchives = false;
                                    task.useLowPriorityLevel = true; task.scanEmailArchives = false; }},
    OptionCase{"booleans_set_to_their_defaults", {"custom", "scanArchives=true", "scanMemory=false"}, true, L"",
               AllDrives},
    OptionCase{"boolean_without_value", {"custom", "scanMemory"}, false, L"Wrong value for scanMemory!\n", nullptr},
    OptionCase{"boolean_is_case_sensitive", {"custom", "scanPUA=True"}, false, L"Wrong value for scanPUA!\n", nullptr},
    OptionCase{"only_the_first_value_counts", {"custom", "scanMemory=true", "scanMemory=bogus"}, true, L"",
               [](ScanTask& task) { AllDrives(task); task.scanMemory = true; }},
    OptionCase{"a_wrong_first_value_is_not_saved_by_a_later_one", {"custom", "scanMemory=bogus", "scanMemory=true"},
               false, L"Wrong value for scanMemory!\n", nullptr},
    OptionCase{"prefixes_are_accepted", {"--custom", "/scanMemory=true", "-scanPUA=true", "--scanCookies=true"},
               true, L"", [](ScanTask& task) { AllDrives(task); task.scanMemory = true; task.scanPUA = true;
                                              task.scanCookies = true; }},
    OptionCase{"unknown_and_miscased_names_are_ignored", {"custom", "ScanMemory=bogus", "colour=red"}, true, L"",
               AllDrives},
    OptionCase{"size_in_mebibytes", {"custom", "maxArchiveScanSize=25"}, true, L"",
               [](ScanTask& task) { AllDrives(task); task.maxArchiveScanSize = 26214400; }},
    OptionCase{"digits_then_anything", {"custom", "maxArchiveScanSize=12abc"}, true, L"",
               [](ScanTask& task) { AllDrives(task); task.maxArchiveScanSize = 12582912; }},
    OptionCase{"leading_blank_and_sign", {"custom", "maxArchiveScanSize=\" +7\"", "maxArchiveScanDepth=0"}, true, L"",
               [](ScanTask& task) { AllDrives(task); task.maxArchiveScanSize = 7340032; task.maxArchiveScanDepth = 0; }},
    OptionCase{"no_digits", {"custom", "maxArchiveScanSize=abc"}, false, L"Wrong value for maxArchiveScanSize!\n",
               nullptr},
    OptionCase{"empty_number", {"custom", "maxArchiveScanDepth="}, false, L"Wrong value for maxArchiveScanDepth!\n",
               nullptr},
    OptionCase{"negative_depth_keeps_its_bits", {"custom", "maxArchiveScanDepth=-1"}, true, L"",
               [](ScanTask& task) { AllDrives(task); task.maxArchiveScanDepth = 18446744073709551615ull; }},
    OptionCase{"negative_size_is_shifted_as_64_bits", {"custom", "maxArchiveScanSize=-2147483648"}, true, L"",
               [](ScanTask& task) { AllDrives(task); task.maxArchiveScanSize = 0xFFF8000000000000ull; }},
    OptionCase{"largest_number", {"custom", "maxArchiveScanDepth=2147483647"}, true, L"",
               [](ScanTask& task) { AllDrives(task); task.maxArchiveScanDepth = 2147483647; }},
    OptionCase{"beyond_32_bits", {"custom", "maxArchiveScanDepth=2147483648"}, false,
               L"Wrong value for maxArchiveScanDepth!\n", nullptr},
    OptionCase{"far_beyond_64_bits", {"custom", "maxArchiveScanSize=-99999999999999999999"}, false,
               L"Wrong value for maxArchiveScanSize!\n", nullptr},
    OptionCase{"extension_type_application", {"custom", "extensionType=application"}, true, L"",
               [](ScanTask& task) { AllDrives(task); task.extensionsScanType = ExtensionsScanType::Application; }},
    OptionCase{"extension_type_is_case_sensitive", {"custom", "extensionType=ALL"}, false,
               L"Wrong value for extensionType!\n", nullptr},
    OptionCase{"custom_extensions_need_customExt", {"custom", "extensionType=custom"}, false,
               L"Missing customExt parameter! You have to set this if extensionType is custom.\n", nullptr},
    OptionCase{"custom_extensions_stored_unchanged", {"custom", "extensionType=custom", "customExt=*.exe;;DLL"},
               true, L"", [](ScanTask& task) { AllDrives(task); task.extensionsScanType = ExtensionsScanType::Custom;
                                              task.customExtensions = L"*.exe;;DLL"; }},
    OptionCase{"empty_customExt_is_present", {"custom", "extensionType=custom", "customExt"}, true, L"",
               [](ScanTask& task) { AllDrives(task); task.extensionsScanType = ExtensionsScanType::Custom; }},
    OptionCase{"customExt_ignored_for_other_types", {"custom", "extensionType=none", "customExt=exe"}, true, L"",
               [](ScanTask& task) { AllDrives(task); task.extensionsScanType = ExtensionsScanType::None; }},
    OptionCase{"customExt_alone_changes_nothing", {"custom", "customExt=exe"}, true, L"", AllDrives},
    OptionCase{"only_the_first_wrong_option_is_reported", {"custom", "infectedAction1=bogus", "scanMemory=bogus"},
               false, L"Wrong value for infectedAction1!\n", nullptr},
    OptionCase{"checking_order_not_token_order",
               {"custom", "extensionType=bad", "scanEmailArchives=bad", "maxArchiveScanSize=bad", "lowPriority=bad",
                "scanBootSectors=bad", "rootkitAction=bad"}, false, L"Wrong value for rootkitAction!\n", nullptr},
    OptionCase{"size_is_checked_before_email_archives", {"custom", "scanEmailArchives=bad", "maxArchiveScanSize=x"},
               false, L"Wrong value for maxArchiveScanSize!\n", nullptr},
    OptionCase{"extension_type_checked_last", {"custom", "extensionType=custom", "scanEmailArchives=x"}, false,
               L"Wrong value for scanEmailArchives!\n", nullptr}),
    [](const testing::TestParamInfo<OptionCase>& test) { return std::string(test.param.name); });
// clang-format on

}  // namespace
