#include "dllguard/trust/signature.h"

#include "base/module_path.h"
#include "dllguard/system_library.h"
#include "dllguard/trace/trace.h"

#include <windows.h>
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <cwchar>

namespace dllguard {
namespace {

using WinVerifyTrustFunction = LONG(WINAPI*)(HWND, GUID*, LPVOID);
using ProviderDataFunction = CRYPT_PROVIDER_DATA*(WINAPI*)(HANDLE);
using ProviderSignerFunction = CRYPT_PROVIDER_SGNR*(WINAPI*)(CRYPT_PROVIDER_DATA*, DWORD, BOOL, DWORD);
using ProviderCertificateFunction = CRYPT_PROVIDER_CERT*(WINAPI*)(CRYPT_PROVIDER_SGNR*, DWORD);
using HashCertificateFunction = BOOL(WINAPI*)(LPCWSTR, DWORD, void*, const BYTE*, DWORD, BYTE*, DWORD*);

// The trust and certificate functions, looked up once in System32's copies.
struct TrustFunctions {
    WinVerifyTrustFunction verify = SystemLibraryFunction<WinVerifyTrustFunction>(L"wintrust.dll", "WinVerifyTrust");
    ProviderDataFunction providerData =
        SystemLibraryFunction<ProviderDataFunction>(L"wintrust.dll", "WTHelperProvDataFromStateData");
    ProviderSignerFunction providerSigner =
        SystemLibraryFunction<ProviderSignerFunction>(L"wintrust.dll", "WTHelperGetProvSignerFromChain");
    ProviderCertificateFunction providerCertificate =
        SystemLibraryFunction<ProviderCertificateFunction>(L"wintrust.dll", "WTHelperGetProvCertFromChain");
    // crypt32 comes with wintrust.
    HashCertificateFunction hashCertificate =
        SystemLibraryFunction<HashCertificateFunction>(L"crypt32.dll", "CryptHashCertificate2");

    // The first use is the guard's start, not a check under the loader lock:
    // whatever the hash needs is loaded now.
    TrustFunctions()
    {
        const BYTE nothing = 0;
        BYTE hash[32];
        DWORD size = sizeof hash;
        if (hashCertificate)
            hashCertificate(L"SHA256", 0, nullptr, &nothing, sizeof nothing, hash, &size);
    }
};

const TrustFunctions& Functions()
{
    static const TrustFunctions functions;
    return functions;
}

std::wstring Sha256Thumbprint(const CERT_CONTEXT& certificate)
{
    const TrustFunctions& trust = Functions();
    BYTE hash[32];
    DWORD size = sizeof hash;
    if (!trust.hashCertificate ||
        !trust.hashCertificate(L"SHA256", 0, nullptr, certificate.pbCertEncoded, certificate.cbCertEncoded, hash,
                               &size))
        return {};
    std::wstring text;
    for (DWORD i = 0; i < size; ++i) {
        wchar_t digits[3];
        std::swprintf(digits, 3, L"%02X", hash[i]);
        text += digits;
    }
    return text;
}

// The first signer's certificate from an open verification state.
SignerCertificate SignerFromState(HANDLE state)
{
    const TrustFunctions& trust = Functions();
    if (!trust.providerData || !trust.providerSigner || !trust.providerCertificate || state == nullptr)
        return {};
    CRYPT_PROVIDER_DATA* provider = trust.providerData(state);
    CRYPT_PROVIDER_SGNR* signer = provider ? trust.providerSigner(provider, 0, FALSE, 0) : nullptr;
    CRYPT_PROVIDER_CERT* certificate = signer ? trust.providerCertificate(signer, 0) : nullptr;
    if (certificate == nullptr || certificate->pCert == nullptr || certificate->pCert->pbCertEncoded == nullptr)
        return {};
    const CERT_CONTEXT& context = *certificate->pCert;
    SignerCertificate found;
    found.encoded.assign(context.pbCertEncoded, context.pbCertEncoded + context.cbCertEncoded);
    found.thumbprint = Sha256Thumbprint(context);
    return found;
}

// WinVerifyTrust's answer for the file's embedded signature; the signer
// when it is valid and `signer` is given.
LONG CheckEmbeddedSignature(const std::wstring& path, SignerCertificate* signer)
{
    const WinVerifyTrustFunction verify = Functions().verify;
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
    if (result == 0 && signer != nullptr)
        *signer = SignerFromState(data.hWVTStateData);

    // The verify call keeps state until it is closed, whatever its answer.
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    verify(nullptr, &action, &data);
    return result;
}

bool Verify(const std::wstring& path, SignerCertificate* signer)
{
    trace::Scope scope("VerifyEmbeddedSignature");
    const LONG result = CheckEmbeddedSignature(path, signer);
    trace::DetailW("VerifyEmbeddedSignature", L"VerifyEmbeddedSignature for file {} returned {}", path, result);
    return result == 0;
}

}  // namespace

bool VerifyEmbeddedSignature(const std::wstring& path) { return Verify(path, nullptr); }

bool VerifyEmbeddedSignature(const std::wstring& path, SignerCertificate& signer)
{
    signer = SignerCertificate();
    return Verify(path, &signer);
}

SignerCertificate ExecutableSigner()
{
    SignerCertificate signer;
    const std::wstring executable = ModuleFileName(nullptr, MAX_PATH);
    if (executable.empty() || !VerifyEmbeddedSignature(executable, signer))
        return {};
    return signer;
}

}  // namespace dllguard
