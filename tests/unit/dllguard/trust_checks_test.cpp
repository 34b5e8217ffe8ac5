#include "dllguard/trace/tracer.h"
#include "dllguard/true_load_library.h"
#include "dllguard/trust/path_within.h"
#include "dllguard/trust/signature.h"
#include "dllguard/trust/trust_checks.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

namespace {

using dllguard::GuardDirectories;
using dllguard::GuardResult;
using dllguard::TrustChecks;

// Any valid signature passes, or signatures are not looked at.
const dllguard::SignatureRule kAnySignature{true, nullptr};
const dllguard::SignatureRule kNoSignature{false, nullptr};

const wchar_t kLibrary[] = L"guard_test_library.dll";
const wchar_t kSignedLibrary[] = L"guard_test_signed.dll";  // by signer A
const wchar_t kSignedByB[] = L"guard_test_signed_b.dll";

bool SamePath(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(dllguard::NormalisePath(a).c_str(), -1, dllguard::NormalisePath(b).c_str(), -1,
                                TRUE) == CSTR_EQUAL;
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// The short (8.3) form of an existing path; empty when the system made none.
std::wstring ShortForm(const std::wstring& path)
{
    wchar_t buffer[MAX_PATH];
    const DWORD length = GetShortPathNameW(path.c_str(), buffer, MAX_PATH);
    return length == 0 || length >= MAX_PATH ? std::wstring() : std::wstring(buffer, length);
}

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

    // The signer of one of the build's signed copies of the test library.
    static dllguard::SignerCertificate SignerOf(const wchar_t* name)
    {
        dllguard::SignerCertificate signer;
        EXPECT_TRUE(dllguard::VerifyEmbeddedSignature(TestBinaryFolder() + L"\\" + name, signer));
        EXPECT_TRUE(signer.Present());
        return signer;
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

    const dllguard::SignerCertificate a = SignerOf(kSignedLibrary), b = SignerOf(kSignedByB), none;
    const std::wstring byA = PlaceLibrary(temp_, kSignedLibrary, L"a.dll");
    const std::wstring byB = PlaceLibrary(temp_, kSignedByB, L"b.dll");

    const TrustChecks checks(Directories(agent_, programFiles_), dllguard::ResolveNativeFileApi());
    checks.IsTrustedPath(system32_ + L"\\a.dll");
    checks.IsTrustedPath(agent_ + L"\\b.dll");
    checks.IsTrustedPath(temp_ + L"\\c.dll");
    (void)checks.SecurityCheck(byA, 0, {true, &a});
    (void)checks.SecurityCheck(byB, 0, {true, &a});
    (void)checks.SecurityCheck(byA, 0, {true, &none});
    dllguard::trace::ReplaceTracerForTesting(previous);
    tracer.Close();

    const std::string log = ReadBytes(folder_ / L"trace.log");
    for (const std::string& line :
         {"IsTrustedPath() - path: " + Narrow(system32_) + "\\a.dll is TRUSTED. Reason: is in system32 or in windows dir\n",
          "IsTrustedPath() - path: " + Narrow(agent_) +
              "\\b.dll is TRUSTED. Reason: is in exe_dir and file is in programmfiles_dir\n",
          "IsTrustedPath() - path: " + Narrow(temp_) + "\\c.dll is UNTRUSTED\n",
          "PerformSecurityChecks() - publisher pinning: expected SHA-256 " + Narrow(a.thumbprint) + ", found SHA-256 " +
              Narrow(a.thumbprint) + ": same publisher\n",
          "PerformSecurityChecks() - publisher pinning: expected SHA-256 " + Narrow(a.thumbprint) + ", found SHA-256 " +
              Narrow(b.thumbprint) + ": not the executable's publisher\n",
          "PerformSecurityChecks() - publisher pinning: expected no certificate, found SHA-256 " +
              Narrow(a.thumbprint) + ": not the executable's publisher\n"})
        EXPECT_NE(log.find(line), std::string::npos) << line << "\nin:\n" << log;
}

TEST_F(TrustChecksTest, UnsignedLibraryOutsideTrustedPlacesIsVulnerable)
{
    const TrustChecks checks(Directories(outside_, programFiles_), dllguard::ResolveNativeFileApi());
    for (const std::wstring& folder : {temp_, windowsTemp_, machineKeys_}) {
        const std::wstring library = PlaceLibrary(folder);
        for (bool checkSignature : {true, false}) {
            const auto check = checks.SecurityCheck(library, 0, dllguard::SignatureRule{checkSignature, nullptr});
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
        {"beside an executable started by its short path", agent_, ShortForm(agent_)},
    };
    for (const Case& c : cases) {
        const std::wstring library = PlaceLibrary(c.folder);
        const TrustChecks checks(Directories(c.executable, programFiles_), dllguard::ResolveNativeFileApi());
        const auto check = checks.SecurityCheck(library, 0, kAnySignature);
        EXPECT_EQ(check.result, GuardResult::Success) << c.what;
        EXPECT_TRUE(SamePath(check.checkedPath, library)) << c.what;
        EXPECT_EQ(check.information, "") << c.what;
    }
}

TEST_F(TrustChecksTest, NameThatCannotBeMappedFailsToLoad)
{
    const TrustChecks checks(Directories(outside_, programFiles_), dllguard::ResolveNativeFileApi());
    for (const std::wstring& name : {std::wstring(L"no_such_library_4711.dll"), temp_ + L"\\missing.dll"}) {
        const auto check = checks.SecurityCheck(name, 0, kAnySignature);
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
        EXPECT_EQ(checks.SecurityCheck(library, 0, kAnySignature).result, c.result) << c.what;
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
    const auto check = checks.SecurityCheck(library, LOAD_WITH_ALTERED_SEARCH_PATH, kNoSignature);
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
        EXPECT_EQ(checks.SecurityCheck(library, 0, kAnySignature).result, GuardResult::Success) << Narrow(library);
        EXPECT_EQ(checks.SecurityCheck(library, 0, kNoSignature).result, GuardResult::VulnerablePath) << Narrow(library);
    }
    const std::wstring library = temp_ + L"\\" + kSignedLibrary;

    // One changed byte breaks the digest: the signature no longer counts.
    std::string bytes = ReadBytes(library);
    bytes[bytes.size() / 3] ^= 0x55;
    const std::wstring tampered = temp_ + L"\\tampered.dll";
    ASSERT_TRUE(WriteBytes(tampered, bytes));
    EXPECT_FALSE(dllguard::VerifyEmbeddedSignature(tampered));
    EXPECT_EQ(checks.SecurityCheck(tampered, 0, kAnySignature).result, GuardResult::VulnerablePath);
}

// The certificate a signer's files carry, as the build made it.
std::vector<unsigned char> TestCertificate(const wchar_t* signer)
{
    const std::string bytes = ReadBytes(std::wstring(GUARD_TEST_SIGNING_DIR) + L"\\" + signer + L".der");
    return std::vector<unsigned char>(bytes.begin(), bytes.end());
}

// The signer is read from the verification itself: the certificate A's and
// B's copies were signed with, and none for a file without a valid signature.
TEST_F(TrustChecksTest, SignerOfASignatureIsItsCertificate)
{
    struct Case {
        const char* what;
        std::wstring file;
        std::vector<unsigned char> certificate;
    };
    const Case cases[] = {
        {"A", TestBinaryFolder() + L"\\" + kSignedLibrary, TestCertificate(L"A")},
        {"B", TestBinaryFolder() + L"\\" + kSignedByB, TestCertificate(L"B")},
        {"unsigned", TestBinaryFolder() + L"\\" + kLibrary, {}},
    };
    ASSERT_FALSE(cases[0].certificate.empty());
    ASSERT_NE(cases[0].certificate, cases[1].certificate);
    for (const Case& c : cases) {
        dllguard::SignerCertificate signer;
        EXPECT_EQ(dllguard::VerifyEmbeddedSignature(c.file, signer), !c.certificate.empty()) << c.what;
        EXPECT_EQ(signer.encoded, c.certificate) << c.what;
        EXPECT_EQ(signer.thumbprint.size(), c.certificate.empty() ? 0u : 64u) << c.what;
    }
    EXPECT_FALSE(dllguard::ExecutableSigner().Present()) << "this test program is not signed";
}

// Publisher pinning: outside the trusted places only a valid signature by
// the executable's own signer passes; with an unsigned executable none does.
TEST_F(TrustChecksTest, PinnedPublisherIsTheOnlySignatureThatPasses)
{
    const dllguard::SignerCertificate a = SignerOf(kSignedLibrary), unsignedExecutable;
    const std::wstring byA = PlaceLibrary(temp_, kSignedLibrary, L"a.dll");
    const std::wstring byB = PlaceLibrary(temp_, kSignedByB, L"b.dll");
    const std::wstring unsignedLibrary = PlaceLibrary(temp_);
    std::string bytes = ReadBytes(byA);
    bytes[bytes.size() / 3] ^= 0x55;
    const std::wstring altered = temp_ + L"\\altered.dll";
    ASSERT_TRUE(WriteBytes(altered, bytes));

    struct Case {
        const char* what;
        std::wstring library;
        const dllguard::SignerCertificate* publisher;
        GuardResult result;
    };
    const Case cases[] = {
        {"signed by the executable's signer", byA, &a, GuardResult::Success},
        {"signed by another", byB, &a, GuardResult::VulnerablePath},
        {"unsigned", unsignedLibrary, &a, GuardResult::VulnerablePath},
        {"signed by the executable's signer, altered after", altered, &a, GuardResult::VulnerablePath},
        {"without pinning another signer passes", byB, nullptr, GuardResult::Success},
        {"unsigned executable: its own signer's library", byA, &unsignedExecutable, GuardResult::VulnerablePath},
        {"unsigned executable: another's", byB, &unsignedExecutable, GuardResult::VulnerablePath},
    };
    const TrustChecks checks(Directories(outside_, programFiles_), dllguard::ResolveNativeFileApi());
    for (const Case& c : cases)
        EXPECT_EQ(checks.SecurityCheck(c.library, 0, {true, c.publisher}).result, c.result) << c.what;
    // A trusted place needs no signature, pinned or not.
    EXPECT_EQ(checks.SecurityCheck(PlaceLibrary(system32_), 0, {true, &unsignedExecutable}).result,
              GuardResult::Success);
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

// The other ways to write a path ("X:\\...\\folder\\file.dll") that the
// loader also takes, each naming the same file or one beside it.
namespace spelling {

std::wstring Replace(std::wstring text, const std::wstring& from, const std::wstring& to)
{
    const size_t at = text.rfind(from);
    return at == std::wstring::npos ? std::wstring() : text.replace(at, from.size(), to);
}

std::wstring DosDeviceOf(const std::wstring& path)
{
    wchar_t target[MAX_PATH];
    return QueryDosDeviceW(path.substr(0, 2).c_str(), target, MAX_PATH) ? std::wstring(target) : std::wstring();
}

std::wstring Upper(std::wstring text)
{
    CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

struct Spelling {
    std::string how;
    std::wstring name;
    bool canonical;  // the one form trusted for its place by its name
};

std::vector<Spelling> Spellings(const std::wstring& path)
{
    const std::wstring drive = path.substr(0, 2);
    const std::wstring rest = path.substr(2);  // "\...\folder\file.dll"
    const std::wstring share = std::wstring(1, drive[0]) + L"$";
    const std::wstring file = path.substr(path.find_last_of(L'\\'));  // "\file.dll"
    const std::wstring folder = path.substr(0, path.size() - file.size());
    const std::wstring folderName = folder.substr(folder.find_last_of(L'\\') + 1);
    return {
        {"canonical", path, true},
        {"other letter case", Upper(path), true},
        {"\\\\?\\ prefix", L"\\\\?\\" + path, false},
        {"\\\\.\\ prefix", L"\\\\.\\" + path, false},
        {"\\??\\ prefix", L"\\??\\" + path, false},
        {"\\\\?\\GLOBALROOT and the drive's device", L"\\\\?\\GLOBALROOT" + DosDeviceOf(path) + rest, false},
        {"\\\\?\\GLOBALROOT\\??\\", L"\\\\?\\GLOBALROOT\\??\\" + path, false},
        {"short (8.3) names", ShortForm(path), false},
        {"trailing dot on the folder", folder + L"." + file, false},
        {"trailing space on the folder", folder + L" " + file, false},
        {"trailing dots and spaces on the file", path + L". .", false},
        {"doubled separator", folder + L"\\" + file, false},
        {"forward slashes", Replace(Replace(path, file, L"/" + file.substr(1)), L"\\", L"/"), false},
        {"'.' step", folder + L"\\." + file, false},
        {"'..' step", folder + L"\\..\\" + folderName + file, false},
        {"UNC of the drive's share", L"\\\\localhost\\" + share + rest, false},
        {"UNC by address", L"\\\\127.0.0.1\\" + share + rest, false},
        {"\\\\?\\UNC of the drive's share", L"\\\\?\\UNC\\localhost\\" + share + rest, false},
        {"relative to the drive's current directory", drive + rest.substr(1), false},
        {"stream of the file", path + L":x", false},
    };
}

}  // namespace spelling

// A library in System32, one planted in the Tasks folder, and streams of
// the Tasks and Temp folders (on NTFS a standard user may create those;
// Wine has no streams but takes ":" as part of a name, which stands for
// them here), each spelled every way the loader takes. Only the canonical
// spelling of the System32 library is trusted by its name; every other
// spelling is checked on the file it maps to, where the System32 library
// passes (when Wine maps that spelling at all) and the others never do.
TEST_F(TrustChecksTest, OnlyTheCanonicalSpellingIsTrustedByItsName)
{
    const std::wstring trusted = PlaceLibrary(system32_ + L"\\sub");
    const std::wstring planted = PlaceLibrary(folder_.MakeFolder(L"Windows\\Tasks"));
    const std::wstring tasksStream = windows_ + L"\\Tasks:x.dll";
    const std::wstring tempStream = windows_ + L"\\Temp:y.dll";
    for (const std::wstring& stream : {tasksStream, tempStream})
        ASSERT_TRUE(CopyInto(TestBinaryFolder() + L"\\" + kLibrary, stream)) << Narrow(stream);
    const TrustChecks checks(Directories(outside_, programFiles_), dllguard::ResolveNativeFileApi());

    for (const std::wstring& library : {trusted, planted, tasksStream, tempStream}) {
        for (const spelling::Spelling& s : spelling::Spellings(library)) {
            if (s.name.empty())
                continue;  // no short name made
            SCOPED_TRACE(s.how + ": " + Narrow(s.name));
            const bool byName = dllguard::IsFullyQualifiedPath(s.name) && checks.IsTrustedPath(s.name);
            EXPECT_EQ(byName, s.canonical && library == trusted);
            const GuardResult result = checks.SecurityCheck(s.name, 0, kAnySignature).result;
            if (library == trusted)
                EXPECT_TRUE(result == GuardResult::Success || result == GuardResult::LoadFailed)
                    << dllguard::GuardResultName(result);
            else
                EXPECT_NE(result, GuardResult::Success);
        }
    }
    for (const std::wstring& stream : {tasksStream, tempStream}) {
        const auto check = checks.SecurityCheck(stream, 0, kAnySignature);
        EXPECT_EQ(check.result, GuardResult::VulnerablePath) << Narrow(stream);
        EXPECT_TRUE(SamePath(check.checkedPath, stream)) << Narrow(check.checkedPath);
    }
}

// The system's final name of a mapped file carries "\\?\\"; the place test
// takes it without, and a stream in it is no way in either.
TEST_F(TrustChecksTest, MappedPathsAreComparedWithoutTheirPrefixAndStreamsNeverPass)
{
    struct Case {
        const char* what;
        std::wstring devicePath;
        GuardResult result;
    };
    const Case cases[] = {
        {"System32 as the drive match gives it", L"\\??\\" + system32_ + L"\\a.dll", GuardResult::Success},
        {"a stream of System32", L"\\??\\" + system32_ + L":a.dll", GuardResult::VulnerablePath},
        {"a stream of the Tasks folder", L"\\??\\" + windows_ + L"\\Tasks:a.dll", GuardResult::VulnerablePath},
        {"a stream of a file in System32", L"\\??\\" + system32_ + L"\\a.dll:b", GuardResult::VulnerablePath},
    };
    const std::wstring library = PlaceLibrary(temp_);
    for (const Case& c : cases) {
        const std::wstring devicePath = c.devicePath;
        const dllguard::MappedFileNameQuery query = [devicePath](void*, wchar_t* buffer, DWORD size) -> DWORD {
            wcsncpy(buffer, devicePath.c_str(), size);
            return static_cast<DWORD>(devicePath.size());
        };
        // No native open: the drive match alone names the file, as the system gave it.
        const TrustChecks checks(Directories(outside_, programFiles_), dllguard::NativeFileApi(), query);
        EXPECT_EQ(checks.SecurityCheck(library, 0, kNoSignature).result, c.result) << c.what;
    }
}

}  // namespace
