// Stands in for the system's certutil.exe (Wine has none) in the tests of the
// demo scripts: the three commands they use, on the local machine's stores as
// the system keeps them in the registry (a key per certificate, named by its
// SHA-1 thumbprint, under SOFTWARE\Microsoft\SystemCertificates\<store>).
//   certutil -store <store> <thumbprint>       0 when the store holds it
//   certutil -addstore <store> <file.cer>      adds the certificate
//   certutil -delstore <store> <thumbprint>    removes it
// Failures exit with the HRESULT, a negative number, as certutil does.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/unique_resource.h"

namespace {

constexpr int NotFound = static_cast<int>(0x80092004);  // CRYPT_E_NOT_FOUND
constexpr int BadArguments = static_cast<int>(0x80070057);  // E_INVALIDARG

std::wstring CertificateKey(const std::wstring& store, const std::wstring& thumbprint)
{
    std::wstring upper = thumbprint;
    for (wchar_t& c : upper)
        c = static_cast<wchar_t>(towupper(c));
    return L"SOFTWARE\\Microsoft\\SystemCertificates\\" + store + L"\\Certificates\\" + upper;
}

bool Holds(const std::wstring& key)
{
    UniqueRegKey opened;
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, opened.put()) == ERROR_SUCCESS;
}

bool ReadWholeFile(const wchar_t* path, std::vector<BYTE>& data)
{
    FILE* file = _wfopen(path, L"rb");
    if (!file)
        return false;
    BYTE buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0)
        data.insert(data.end(), buffer, buffer + got);
    fclose(file);
    return !data.empty();
}

int AddStore(const std::wstring& store, const wchar_t* file)
{
    std::vector<BYTE> der;
    if (!ReadWholeFile(file, der))
        return NotFound;
    BYTE hash[20];
    DWORD size = sizeof hash;
    if (!CryptHashCertificate(0, CALG_SHA1, 0, der.data(), static_cast<DWORD>(der.size()), hash, &size))
        return static_cast<int>(HRESULT_FROM_WIN32(GetLastError()));
    std::wstring thumbprint;
    for (BYTE b : hash) {
        wchar_t hex[3];
        swprintf(hex, 3, L"%02X", b);
        thumbprint += hex;
    }
    UniqueRegKey key;
    LONG status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, CertificateKey(store, thumbprint).c_str(), 0, nullptr, 0,
                                  KEY_WRITE, nullptr, key.put(), nullptr);
    if (status == ERROR_SUCCESS)
        status = RegSetValueExW(key.get(), L"Blob", 0, REG_BINARY, der.data(), static_cast<DWORD>(der.size()));
    if (status != ERROR_SUCCESS)
        return static_cast<int>(HRESULT_FROM_WIN32(status));
    wprintf(L"Certificate \"%ls\" added to store.\n", thumbprint.c_str());
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4) {
        fwprintf(stderr, L"certutil stand-in: -store|-addstore|-delstore <store> <argument>\n");
        return BadArguments;
    }
    const std::wstring command = argv[1];
    const std::wstring store = argv[2];
    if (command == L"-addstore")
        return AddStore(store, argv[3]);
    const std::wstring key = CertificateKey(store, argv[3]);
    if (!Holds(key))
        return NotFound;
    if (command == L"-store")
        return 0;
    if (command == L"-delstore") {
        const LONG status = RegDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str());
        return status == ERROR_SUCCESS ? 0 : static_cast<int>(HRESULT_FROM_WIN32(status));
    }
    return BadArguments;
}
