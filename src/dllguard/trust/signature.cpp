#include "dllguard/trust/signature.h"

#include "dllguard/system_library.h"
#include "dllguard/trace/trace.h"

#include <windows.h>
#include <softpub.h>
#include <wintrust.h>

namespace dllguard {
namespace {

using WinVerifyTrustFunction = LONG(WINAPI*)(HWND, GUID*, LPVOID);

WinVerifyTrustFunction WinVerifyTrustEntry()
{
    static const auto entry = SystemLibraryFunction<WinVerifyTrustFunction>(L"wintrust.dll", "WinVerifyTrust");
    return entry;
}

// WinVerifyTrust's answer for the file's embedded signature.
LONG CheckEmbeddedSignature(const std::wstring& path)
{
    const WinVerifyTrustFunction verify = WinVerifyTrustEntry();
    if (!verify)
        return TRUST_E_PROVIDER_UNKNOWN;

    WINTRUST_FILE_INFO file{};
    file.cbStruct = sizeof(file);
    file.pcwszFilePath = path.c_str();
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    WINTRUST_DATA data{};
    data.cbStruct = sizeof(data);
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    // Runs under the loader lock: the chain from what is on the machine, never from the network.
    data.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    const LONG result = verify(nullptr, &action, &data);

    // The verify call keeps state until it is closed, whatever its answer.
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    verify(nullptr, &action, &data);
    return result;
}

}  // namespace

bool VerifyEmbeddedSignature(const std::wstring& path)
{
    trace::Scope scope("VerifyEmbeddedSignature");
    const LONG result = CheckEmbeddedSignature(path);
    trace::DetailW("VerifyEmbeddedSignature", L"VerifyEmbeddedSignature for file {} returned {}", path, result);
    return result == 0;
}

}  // namespace dllguard
