#include "dllguard/trace/tracer.h"
#include "dllguard/true_load_library.h"
#include "dllguard/trust/path_within.h"
#include "dllguard/trust/signature.h"
#include "dllguard/trust/trust_checks.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using dllguard::GuardDirectories;
using dllguard::GuardResult;
using dllguard::TrustChecks;

const wchar_t kLibrary[] = L"guard_test_library.dll";
const wchar_t kSignedLibrary[] = L"guard_test_signed.dll";

bool SamePath(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(dllguard::NormalisePath(a).c_str(), -1, dllguard::NormalisePath(b).c_str(), -1,
                                TRUE) == CSTR_EQUAL;
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// A machine in miniature: Windows and System32, Program Files with the
// agent installed in it, an executable folder outside it, and a temporary folder.
class TrustChecksTest : public ::testing::Test {
protected:
    TrustChecksTest()
    {
        windows_ = folder_.MakeFolder(L"Windows");
        folder_.MakeFolder(L"Windows\\System32\\sub");
        system32_ = windows_ + L"\\System32";
        windowsTemp_ = folder_.MakeFolder(L"Windows\\Temp");
        machineKeys_ = folder_.MakeFolder(L"Windows\\System32\\Microsoft\\Crypto\\RSA\\MachineKeys");
        programFiles_ = folder_.MakeFolder(L"Program Files");
        agent_ = folder_.MakeFolder(L"Program Files\\Agent");
        other_ = folder_.MakeFolder(L"Program Files\\Other");
        outside_ = folder_.MakeFolder(L"Tools");
        temp_ = folder_.MakeFolder(L"Temp");
    }

    GuardDirectories Directories(const std::wstring& executable, const std::wstring& programFiles) const
    {
        return {system32_, windows_, executable, programFiles};
    }

    // The test library copied to `folder` under `name`.
    std::wstring PlaceLibrary(const std::wstring& folder, const wchar_t* source = kLibrary,
                              const wchar_t* name = kLibrary) const
    {
        const std::wstring path = folder + L"\\" + name;
        EXPECT_TRUE(CopyInto(TestBinaryFolder() + L"\\" + source, path)) << Narrow(path);
        return path;
    }

    TempFolder folder_;
    std::wstring windows_, system32_, programFiles_, agent_, other_, outside_, temp_, windowsTemp_, machineKeys_;
};

TEST_F(TrustChecksTest, TrustedPlaces)
{
    struct Case {
        const char* what;
        std::wstring path;
        std::wstring executable;
        std::wstring programFiles;
        bool trusted;
    };
    const Case cases[] = {
        {"System32", system32_ + L"\\a.dll", outside_, programFiles_, true},
        {"subdirectory of System32", system32_ + L"\\sub\\a.dll", outside_, programFiles_, true},
        {"Windows directory", windows_ + L"\\a.dll", outside_, programFiles_, true},
        {"beside an executable installed under Program Files", agent_ + L"\\a.dll", agent_, programFiles_, true},
        {"beside an executable outside Program Files", outside_ + L"\\a.dll", outside_, programFiles_, false},
        {"another folder under Program Files", other_ + L"\\a.dll", agent_, programFiles_, false},
        {"beside the executable, ProgramFiles unset", agent_ + L"\\a.dll", agent_, L"", false},
        {"escaping System32 with '..'", system32_ + L"\\..\\..\\Temp\\a.dll", outside_, programFiles_, false},
        {"temporary folder", temp_ + L"\\a.dll", outside_, programFiles_, false},
        // Standard users may create files in these.
        {"the Windows directory's Temp", windowsTemp_ + L"\\a.dll", outside_, programFiles_, false},
        {"below the Windows directory's Temp", windowsTemp_ + L"\\sub\\a.dll", outside_, programFiles_, false},
        {"the Windows directory's Temp, other case", windows_ + L"\\TEMP\\a.dll", outside_, programFiles_, false},
        {"Temp reached with '..'", system32_ + L"\\..\\Temp\\a.dll", outside_, programFiles_, false},
        {"the Windows directory's Tasks", windows_ + L"\\Tasks\\a.dll", outside_, programFiles_, false},
        {"System32's Tasks", system32_ + L"\\Tasks\\a.dll", outside_, programFiles_, false},
        {"System32's colour profiles", system32_ + L"\\spool\\drivers\\color\\a.dll", outside_, programFiles_,
         false},
        {"machine key containers", machineKeys_ + L"\\a.dll", outside_, programFiles_, false},
        {"a folder that only starts like Temp", windows_ + L"\\Temporary\\a.dll", outside_, programFiles_, true},
        {"System32's spool drivers", system32_ + L"\\spool\\drivers\\x64\\a.dll", outside_, programFiles_, true},
    };
    for (const Case& c : cases) {
        const TrustChecks checks(Directories(c.executable, c.programFiles), dllguard::ResolveNativeFileApi());
        EXPECT_EQ(checks.IsTrustedPath(c.path), c.trusted) << c.what;
    }
}

TEST_F(TrustChecksTest, TrustDecisionsAreTraced)
{
    dllguard::trace::TraceEnvironment environment;
    ASSERT_TRUE(WriteBytes(folder_ / L"dbg_trace.ini", "DLLPROTECT=2\nkey=TEST\n"));
    environment.settingsFiles = {folder_ / L"dbg_trace.ini"};
    environment.accessCode = {'T', 'E', 'S', 'T'};
    environment.logFile.path = [this] { return folder_ / L"trace.log"; };
    environment.logFile.version = [] { return std::string(); };
    environment.logFile.localTime = [] { return SYSTEMTIME{}; };
    environment.logFile.tickCount = [] { return 0u; };
    environment.openProcessMonitor = [] { return UniqueFile(); };
    dllguard::trace::Tracer tracer(environment);
    dllguard::trace::Tracer* previous = dllguard::trace::ReplaceTracerForTesting(&tracer);

    const TrustChecks checks(Directories(agent_, programFiles_), dllguard::ResolveNativeFileApi());
    checks.IsTrustedPath(system32_ + L"\\a.dll");
    checks.IsTrustedPath(agent_ + L"\\b.dll");
    checks.IsTrustedPath(temp_ + L"\\c.dll");
    dllguard::trace::ReplaceTracerForTesting(previous);
    tracer.Close();

    const std::string log = ReadBytes(folder_ / L"trace.log");
    for (const std::string& line :
         {"IsTrustedPath() - path: " + Narrow(system32_) + "\\a.dll is TRUSTED. Reason: is in system32 or in windows dir\n",
          "IsTrustedPath() - path: " + Narrow(agent_) +
              "\\b.dll is TRUSTED. Reason: is in exe_dir and file is in programmfiles_dir\n",
          "IsTrustedPath() - path: " + Narrow(temp_) + "\\c.dll is UNTRUSTED\n"})
        EXPECT_NE(log.find(line), std::string::npos) << line << "\nin:\n" << log;
}

TEST_F(TrustChecksTest, UnsignedLibraryOutsideTrustedPlacesIsVulnerable)
{
    const TrustChecks checks(Directories(outside_, programFiles_), dllguard::ResolveNativeFileApi());
    for (const std::wstring& folder : {temp_, windowsTemp_, machineKeys_}) {
        const std::wstring library = PlaceLibrary(folder);
        for (bool checkSignature : {true, false}) {
            const auto check = checks.SecurityCheck(library, 0, checkSignature);
            EXPECT_EQ(check.result, GuardResult::VulnerablePath) << Narrow(library);
            EXPECT_TRUE(SamePath(check.checkedPath, library)) << Narrow(check.checkedPath);
            EXPECT_EQ(check.information, "paths: exe: " + Narrow(outside_) + " prog: " + Narrow(programFiles_));
        }
    }
}

TEST_F(TrustChecksTest, ShortNameOfAUserWritableFolderIsNoWayIn)
{
    PlaceLibrary(machineKeys_);
    // System32 as given, only the last folder by its short name ("MACHIN~1").
    wchar_t shortForm[MAX_PATH];
    const DWORD length = GetShortPathNameW(machineKeys_.c_str(), shortForm, MAX_PATH);
    ASSERT_GT(length, 0u);
    const std::wstring shortFolder(shortForm, length);
    const std::wstring shortName = shortFolder.substr(shortFolder.find_last_of(L'\\') + 1);
    ASSERT_NE(shortName.find(L"~"), std::wstring::npos) << Narrow(shortName);
    const std::wstring parent = machineKeys_.substr(0, machineKeys_.find_last_of(L'\\'));
    const std::wstring shortPath = parent + L"\\" + shortName + L"\\" + kLibrary;

    const TrustChecks checks(Directories(outside_, programFiles_), dllguard::ResolveNativeFileApi());
    EXPECT_TRUE(checks.IsTrustedPath(parent + L"\\" + kLibrary)) << "beside it is trusted";
    EXPECT_FALSE(checks.IsTrustedPath(shortPath)) << Narrow(shortPath);
    // A short name whose long form is unknown is not trusted either.
    EXPECT_FALSE(checks.IsTrustedPath(system32_ + L"\\MISSIN~1\\a.dll"));
}

TEST_F(TrustChecksTest, LibrariesInTrustedPlacesPassWithoutInformation)
{
    struct Case {
        const char* what;
        std::wstring folder;
        std::wstring executable;
    };
    const Case cases[] = {
        {"subdirectory of System32", system32_ + L"\\sub", outside_},
        {"beside an executable under Program Files", agent_, agent_},
    };
    for (const Case& c : cases) {
        const std::wstring library = PlaceLibrary(c.folder);
        const TrustChecks checks(Directories(c.executable, programFiles_), dllguard::ResolveNativeFileApi());
        const auto check = checks.SecurityCheck(library, 0, true);
        EXPECT_EQ(check.result, GuardResult::Success) << c.what;
        EXPECT_TRUE(SamePath(check.checkedPath, library)) << c.what;
        EXPECT_EQ(check.information, "") << c.what;
    }
}

TEST_F(TrustChecksTest, NameThatCannotBeMappedFailsToLoad)
{
    const TrustChecks checks(Directories(outside_, programFiles_), dllguard::ResolveNativeFileApi());
    for (const std::wstring& name : {std::wstring(L"no_such_library_4711.dll"), temp_ + L"\\missing.dll"}) {
        const auto check = checks.SecurityCheck(name, 0, true);
        EXPECT_EQ(check.result, GuardResult::LoadFailed) << Narrow(name);
        EXPECT_EQ(check.checkedPath, L"");
    }
}

TEST_F(TrustChecksTest, FailuresToLocateTheMappedFile)
{
    const std::wstring library = PlaceLibrary(temp_);
    struct Case {
        const char* what;
        dllguard::MappedFileNameQuery query;
        GuardResult result;
    };
    const Case cases[] = {
        {"no mapped name",
         [](void*, wchar_t*, DWORD) -> DWORD {
             SetLastError(ERROR_ACCESS_DENIED);
             return 0;
         },
         GuardResult::GetMappedFileFailed},
        {"a device path no drive or share matches",
         [](void*, wchar_t* buffer, DWORD size) -> DWORD {
             const std::wstring name = L"\\Device\\Nowhere\\a.dll";
             wcsncpy(buffer, name.c_str(), size);
             return static_cast<DWORD>(name.size());
         },
         GuardResult::GetPathFailed},
    };
    for (const Case& c : cases) {
        const TrustChecks checks(Directories(outside_, programFiles_), dllguard::ResolveNativeFileApi(), c.query);
        EXPECT_EQ(checks.SecurityCheck(library, 0, true).result, c.result) << c.what;
    }
}

// The check maps the library through the entry the load hooks install, as a data file.
HMODULE WINAPI CountingLoadLibraryExW(LPCWSTR name, HANDLE file, DWORD flags);
int g_loads = 0;
DWORD g_lastFlags = 0;
HMODULE WINAPI CountingLoadLibraryExW(LPCWSTR name, HANDLE file, DWORD flags)
{
    ++g_loads;
    g_lastFlags = flags;
    return LoadLibraryExW(name, file, flags);
}

TEST_F(TrustChecksTest, MapsThroughTheTrueLoadLibraryAsADataFile)
{
    const std::wstring library = PlaceLibrary(temp_);
    dllguard::SetTrueLoadLibraryExW(&CountingLoadLibraryExW);
    g_loads = 0;
    const TrustChecks checks(Directories(outside_, programFiles_), dllguard::ResolveNativeFileApi());
    const auto check = checks.SecurityCheck(library, LOAD_WITH_ALTERED_SEARCH_PATH, false);
    dllguard::SetTrueLoadLibraryExW(nullptr);
    EXPECT_EQ(check.result, GuardResult::VulnerablePath);
    EXPECT_EQ(g_loads, 1);
    EXPECT_EQ(g_lastFlags, DWORD(LOAD_WITH_ALTERED_SEARCH_PATH | LOAD_LIBRARY_AS_DATAFILE));
    EXPECT_EQ(GetModuleHandleW(library.c_str()), nullptr) << "the library itself was never loaded";
    EXPECT_EQ(dllguard::TrueLoadLibraryExW(), &::LoadLibraryExW);
}

// Wine checks the signature and the file's digest but not the chain up to a
// trusted root, so a throw-away certificate is enough here.
TEST_F(TrustChecksTest, SignedLibraryInATemporaryFolderPassesWhenSignaturesAreChecked)
{
    ASSERT_TRUE(Exists(TestBinaryFolder() + L"\\" + kSignedLibrary))
        << "no signed test library: the build needs openssl and osslsigncode (scripts/setup.sh installs them)";
    const TrustChecks checks(Directories(outside_, programFiles_), dllguard::ResolveNativeFileApi());
    for (const std::wstring& folder : {temp_, windowsTemp_}) {
        const std::wstring library = PlaceLibrary(folder, kSignedLibrary, kSignedLibrary);
        EXPECT_TRUE(dllguard::VerifyEmbeddedSignature(library));
        EXPECT_EQ(checks.SecurityCheck(library, 0, true).result, GuardResult::Success) << Narrow(library);
        EXPECT_EQ(checks.SecurityCheck(library, 0, false).result, GuardResult::VulnerablePath) << Narrow(library);
    }
    const std::wstring library = temp_ + L"\\" + kSignedLibrary;

    // One changed byte breaks the digest: the signature no longer counts.
    std::string bytes = ReadBytes(library);
    bytes[bytes.size() / 3] ^= 0x55;
    const std::wstring tampered = temp_ + L"\\tampered.dll";
    ASSERT_TRUE(WriteBytes(tampered, bytes));
    EXPECT_FALSE(dllguard::VerifyEmbeddedSignature(tampered));
    EXPECT_EQ(checks.SecurityCheck(tampered, 0, true).result, GuardResult::VulnerablePath);
}

TEST_F(TrustChecksTest, UnsignedLibraryHasNoValidSignature)
{
    EXPECT_FALSE(dllguard::VerifyEmbeddedSignature(PlaceLibrary(temp_)));
    EXPECT_FALSE(dllguard::VerifyEmbeddedSignature(temp_ + L"\\missing.dll"));
}

TEST(GuardDirectoriesTest, ResolvedFromTheSystemAndTheEnvironment)
{
    const GuardDirectories directories = dllguard::ResolveGuardDirectories();
    wchar_t expected[MAX_PATH];
    GetSystemDirectoryW(expected, MAX_PATH);
    EXPECT_EQ(directories.system32, expected);
    GetWindowsDirectoryW(expected, MAX_PATH);
    EXPECT_EQ(directories.windows, expected);
    EXPECT_EQ(directories.executable, TestBinaryFolder());
    const DWORD length = GetEnvironmentVariableW(L"ProgramFiles", expected, MAX_PATH);
    EXPECT_EQ(directories.programFiles, std::wstring(expected, length));
}

}  // namespace
