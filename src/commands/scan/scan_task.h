#pragma once
// One custom on-demand scan as the console describes it to the agent. Every
// field starts at the value the console uses when no option changes it.
#include <cstdint>
#include <string>
#include <vector>

// What the agent does with an object it finds (codes of the agent's interface).
enum class ScanAction : uint32_t {
    Ignore = 1,
    Disinfect = 3,
    Delete = 5,
    Quarantine = 7,
    DisinfectOnly = 10,
};

// Which files the scan looks at, by extension.
enum class ExtensionsScanType : uint32_t {
    All = 0,
    Application = 1,
    Custom = 2,
    None = 3,
};

// The path that stands for every drive.
constexpr wchar_t AllDrivesPath[] = L"|ALLDRIVES|";

struct ScanTask {
    std::wstring taskName = L"Custom Scan";
    std::wstring taskId;
    std::vector<std::wstring> paths;
    ScanAction firstActionForInfected = ScanAction::Disinfect;
    ScanAction secondActionForInfected = ScanAction::Quarantine;
    ScanAction firstActionForSuspicious = ScanAction::Ignore;
    ScanAction secondActionForSuspicious = ScanAction::Ignore;
    ScanAction actionForRootkits = ScanAction::Disinfect;
    bool scanForAdware = true;
    bool scanForSpyware = true;
    bool scanForDialers = true;
    bool scanForApplications = true;
    bool scanForKeyLoggers = true;
    bool scanForRootkits = false;
    bool scanForAllRootkits = false;
    bool scanPUA = false;
    bool scanBootSectors = false;
    bool scanMemory = false;
    bool scanRegistry = false;
    bool scanCookies = false;
    bool scanPacked = true;
    bool scanEmailArchives = true;
    bool scanArchives = true;
    bool deepScanArchive = true;
    uint64_t maxArchiveScanDepth = 16;
    uint64_t maxArchiveScanSize = 10485760;  // bytes (10 MiB)
    bool useSmartScan = true;
    bool promptForPassword = false;
    bool enableGlobalExclusions = true;
    bool enableTaskExclusions = false;
    bool useLowPriorityLevel = false;
    bool shutdownAfter = false;
    bool scanNetworkFiles = true;
    std::wstring networkUser;
    std::wstring networkDomain;
    std::wstring networkPassword;
    bool allowStartScan = true;
    bool allowPauseScan = true;
    bool allowPostponeScan = true;
    bool allowFinishScan = true;
    ExtensionsScanType extensionsScanType = ExtensionsScanType::All;
    std::wstring customExtensions;
};
