#pragma once
// Outcomes of the guard's checks and events, shared by the trust checks, the
// load hooks and the event reports. The names are what the reports carry.
namespace dllguard {

enum class GuardResult : int {
    Success = 0,
    InitDetourFailed = 1,
    LoadFailed = 2,
    GetPathFailed = 3,
    GetMappedFileFailed = 4,
    VulnerablePath = 5,
    VulnerablePathNtCreateSection = 6,
    InvalidSignature = 7,
    RecursiveDllLoadLoadLibrary = 8,
    RecursiveDllLoadNtCreateSection = 9,
    DllBlocked = 10,
};

// "SUCCESS", "LOAD_FAILED", ...; "UNKNOWN" for any other value.
const char* GuardResultName(int code);
inline const char* GuardResultName(GuardResult code) { return GuardResultName(static_cast<int>(code)); }

}  // namespace dllguard
