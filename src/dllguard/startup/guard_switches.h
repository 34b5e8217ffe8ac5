#pragma once
// The switches that govern the guard's start-up: environment variables,
// tested for presence only, and per-executable values under the Image File
// Execution Options key.
#include <windows.h>

#include <string>

namespace dllguard {

namespace switches {
constexpr wchar_t SearchPath[] = L"BDC4ADF5_0D7C_42BD_BB5B_F3E3241E1B77_teSanPa";
constexpr wchar_t SearchPathDisabled[] = L"BDC4ADF5_0D7C_42BD_BB5B_F3E3241E1B77_teSanPa_disabled";
constexpr wchar_t Interception[] = L"BDC4ADF5_0D7C_42BD_BB5B_F3E3241E1B77_teInterDll";
constexpr wchar_t InterceptionBlock[] = L"BDC4ADF5_0D7C_42BD_BB5B_F3E3241E1B77_teInterDll_block";
constexpr wchar_t InterceptionNoReport[] = L"BDC4ADF5_0D7C_42BD_BB5B_F3E3241E1B77_teInterDll_no_report";
constexpr wchar_t InterceptionDisabled[] = L"BDC4ADF5_0D7C_42BD_BB5B_F3E3241E1B77_teInterDll_disabled";
// With the value 1: publisher pinning (only a signature by the executable's own signer passes).
constexpr wchar_t InterceptionSamePublisher[] = L"BDC4ADF5_0D7C_42BD_BB5B_F3E3241E1B77_teInterDll_same_publisher";

// REG_DWORD values under the executable's Image File Execution Options key.
constexpr wchar_t SearchPathValue[] = L"teSanPa";
constexpr wchar_t InterceptionValue[] = L"teInterDll";
}  // namespace switches

constexpr wchar_t kImageFileExecutionOptionsKey[] =
    L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\";

// Where the start-up reads its switches; tests put a scripted one in its place.
class GuardSwitches {
public:
    virtual ~GuardSwitches() = default;
    virtual bool EnvironmentPresent(const wchar_t* name) const = 0;
    // The variable's value; empty when unset.
    virtual std::wstring EnvironmentValue(const wchar_t* name) const = 0;
    // False when the executable's file name cannot be read.
    virtual bool ExecutableFileName(std::wstring& name) const = 0;
    // False when the value is missing, unreadable or not a REG_DWORD.
    virtual bool ImageFileExecutionOption(const std::wstring& executable, const wchar_t* value, DWORD& data) const = 0;
    // The ProgramData variable; empty when unset.
    virtual std::wstring ProgramData() const = 0;
};

// The process environment and the machine's registry.
const GuardSwitches& ProcessGuardSwitches();

// Present unless asking for the variable's length fails with 203 (not found);
// the value itself is never read.
bool EnvironmentVariablePresent(const wchar_t* name);

}  // namespace dllguard
