#pragma once
// Decides whether a library about to be loaded comes from a trusted place
// and, if not, whether it is signed. Called by the load hooks on the loading
// thread; keeps no state beyond what it was built with.
#include "dllguard/guard_result.h"
#include "dllguard/trust/guard_directories.h"
#include "dllguard/trust/mapped_file_name.h"
#include "dllguard/trust/native_file_api.h"
#include "dllguard/trust/signer_certificate.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace dllguard {

struct SecurityCheckResult {
    GuardResult result = GuardResult::Success;
    std::wstring checkedPath;  // the mapped file's path; empty when the name could not be mapped
    std::string information;   // "paths: exe: ... prog: ..." for an untrusted place
};

// What a valid embedded signature is worth for a library outside the trusted places.
struct SignatureRule {
    bool check = false;  // option 0x02: a valid signature lets the library pass
    // Publisher pinning: only a signature by this certificate passes, none
    // when it is empty (the executable carries no valid signature). Null:
    // any valid signature passes.
    const SignerCertificate* publisher = nullptr;
};

class TrustChecks {
public:
    TrustChecks(GuardDirectories directories, NativeFileApi native,
                MappedFileNameQuery mappedName = QueryMappedFileNameOfProcess);

    const GuardDirectories& Directories() const { return directories_; }

    // Spelled canonically (path_within.h) and within System32 or the Windows
    // directory but outside the folders there that standard users may write
    // to; or within the executable's directory when that lies within Program
    // Files.
    bool IsTrustedPath(const std::wstring& path) const;

    // Maps `name` as a data file through the true LoadLibraryExW with the
    // caller's `flags`, finds the file actually mapped and checks its place
    // and, as `rule` says, its signature.
    SecurityCheckResult SecurityCheck(const std::wstring& name, DWORD flags, const SignatureRule& rule) const;

private:
    bool InWindowsDirectories(const std::wstring& path) const;
    bool SignaturePasses(const std::wstring& path, const SignatureRule& rule) const;

    GuardDirectories directories_;  // as resolved: System32 for bare names, the information text
    GuardDirectories places_;       // the same in their long form, for the place test
    std::vector<std::wstring> userWritable_;
    NativeFileApi native_;
    MappedFileNameQuery mappedName_;
};

// The process's checks; the first call (the guard's start, before any hook
// runs) resolves the directories and the native functions.
const TrustChecks& ProcessTrustChecks();

}  // namespace dllguard
