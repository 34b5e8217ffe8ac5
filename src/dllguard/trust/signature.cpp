#include "dllguard/trust/signature.h"

#include "dllguard/trace/trace.h"

#include <windows.h>
#include <softpub.h>
#include <wintrust.h>

namespace dllguard {

bool VerifyEmbeddedSignature(const std::wstring& path)
{
    trace::Scope scope("VerifyEmbeddedSignature");
    WINTRUST_FILE_INFO file{};
    file.cbStruct = sizeof(file);
    file.pcwszFilePath = path.c_str();

    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    WINTRUST_DATA data{};
    data.cbStruct = sizeof(data);
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    const LONG result = WinVerifyTrust(nullptr, &action, &data);

    // The verify call keeps state until it is closed, whatever its answer.
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    WinVerifyTrust(nullptr, &action, &data);

    trace::DetailW("VerifyEmbeddedSignature", L"VerifyEmbeddedSignature for file {} returned {}", path, result);
    return result == 0;
}

}  // namespace dllguard
