#include "dllguard/trust/trust_checks.h"

#include "base/unique_resource.h"
#include "dllguard/trace/trace.h"
#include "dllguard/true_load_library.h"
#include "dllguard/trust/device_path.h"
#include "dllguard/trust/path_within.h"
#include "dllguard/trust/signature.h"
#include "dllguard/trust/user_writable_folders.h"
#include "base/text_conversion.h"

namespace dllguard {
namespace {

constexpr char kSecurityChecks[] = "PerformSecurityChecks";
constexpr char kTrustedPath[] = "IsTrustedPath";

// A certificate as the trace names it.
std::wstring Describe(const SignerCertificate& certificate)
{
    if (!certificate.Present())
        return L"no certificate";
    return L"SHA-256 " + (certificate.thumbprint.empty() ? std::wstring(L"(not computed)") : certificate.thumbprint);
}

// The mapped file's path as the system gives it ("\\?\C:\...", or with short
// names when only the drive match found it) in the spelling the place test compares.
std::wstring PlainFormOfMappedPath(const std::wstring& path)
{
    std::wstring plain = path;
    if (plain.rfind(L"\\\\?\\UNC\\", 0) == 0)
        plain = L"\\\\" + plain.substr(8);
    else if (plain.rfind(L"\\\\?\\", 0) == 0)
        plain = plain.substr(4);
    return LongPathForm(plain);
}

// The directories in their long form, as canonical names spell them (an
// executable started by a short path reports its directory so).
GuardDirectories LongForms(GuardDirectories directories)
{
    for (std::wstring* directory :
         {&directories.system32, &directories.windows, &directories.executable, &directories.programFiles}) {
        const std::wstring longForm = directory->empty() ? std::wstring() : LongPathForm(*directory);
        if (!longForm.empty())
            *directory = longForm;
    }
    return directories;
}

}  // namespace

TrustChecks::TrustChecks(GuardDirectories directories, NativeFileApi native, MappedFileNameQuery mappedName)
    : directories_(std::move(directories)),
      places_(LongForms(directories_)),
      userWritable_(UserWritableFolders(places_)),
      native_(native),
      mappedName_(std::move(mappedName))
{
}

bool TrustChecks::InWindowsDirectories(const std::wstring& path) const
{
    if (!LiesWithin(path, places_.system32) && !LiesWithin(path, places_.windows))
        return false;
    for (const std::wstring& folder : userWritable_) {
        if (PathContinues(path, folder))
            return false;
    }
    return true;
}

bool TrustChecks::IsTrustedPath(const std::wstring& path) const
{
    trace::Scope scope(kTrustedPath);
    // Any other spelling (a stream, a device or short name, dots...) could
    // name a file elsewhere than it reads: only the mapped file decides.
    if (!IsCanonicalPath(path)) {
        trace::DetailW(kTrustedPath, L"path: {} is UNTRUSTED", path);
        return false;
    }
    if (InWindowsDirectories(path)) {
        trace::DetailW(kTrustedPath, L"path: {} is TRUSTED. Reason: is in system32 or in windows dir", path);
        return true;
    }
    if (LiesWithin(path, places_.executable) && LiesWithin(path, places_.programFiles)) {
        trace::DetailW(kTrustedPath, L"path: {} is TRUSTED. Reason: is in exe_dir and file is in programmfiles_dir",
                       path);
        return true;
    }
    trace::DetailW(kTrustedPath, L"path: {} is UNTRUSTED", path);
    return false;
}

bool TrustChecks::SignaturePasses(const std::wstring& path, const SignatureRule& rule) const
{
    if (rule.publisher == nullptr)
        return VerifyEmbeddedSignature(path);
    SignerCertificate found;
    const bool valid = VerifyEmbeddedSignature(path, found);
    const bool same = valid && found.SameAs(*rule.publisher);
    trace::DetailW(kSecurityChecks, L"publisher pinning: expected {}, found {}: {}", Describe(*rule.publisher),
                   valid ? Describe(found) : std::wstring(L"no valid signature"),
                   same ? L"same publisher" : L"not the executable's publisher");
    return same;
}

SecurityCheckResult TrustChecks::SecurityCheck(const std::wstring& name, DWORD flags, const SignatureRule& rule) const
{
    trace::Scope scope(kSecurityChecks);
    SecurityCheckResult check;

    // Mapped as data, the library's code never runs; the mapping is released on every way out.
    const UniqueModule mapping(TrueLoadLibraryExW()(name.c_str(), nullptr, flags | LOAD_LIBRARY_AS_DATAFILE));
    if (!mapping) {
        trace::DetailW(kSecurityChecks, L"path {} couldn't be found", name);
        check.result = GuardResult::LoadFailed;
        return check;
    }

    std::wstring devicePath;
    if (!MappedFileName(reinterpret_cast<void*>(mapping.get()), devicePath, mappedName_)) {
        trace::DetailW(kSecurityChecks, L"GETMAPPEDFILE_FAILED {}", name);
        check.result = GuardResult::GetMappedFileFailed;
        return check;
    }
    trace::DetailW(kSecurityChecks, L"nt path is {}", devicePath);

    check.checkedPath = ConvertDevicePath(devicePath, native_);
    if (check.checkedPath.empty()) {
        trace::DetailW(kSecurityChecks, L"GETPATH_FAILED failed: {}", devicePath);
        check.result = GuardResult::GetPathFailed;
        return check;
    }
    trace::DetailW(kSecurityChecks, L"dllpath is {}", check.checkedPath);

    if (IsTrustedPath(PlainFormOfMappedPath(check.checkedPath)))
        return check;

    check.information += "paths: exe: " + WideToUtf8(directories_.executable) +
                         " prog: " + WideToUtf8(directories_.programFiles);
    if (rule.check && SignaturePasses(check.checkedPath, rule))
        return check;

    trace::DetailW(kSecurityChecks, L"{} is a VULNERABLE_PATH", check.checkedPath);
    check.result = GuardResult::VulnerablePath;
    return check;
}

const TrustChecks& ProcessTrustChecks()
{
    // Never destroyed: hooks on other threads may still check a load while the process ends.
    static const TrustChecks* const checks = new TrustChecks(ResolveGuardDirectories(), ResolveNativeFileApi());
    return *checks;
}

}  // namespace dllguard
