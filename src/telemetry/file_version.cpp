#include "telemetry/file_version.h"

#include <windows.h>

#include <shlwapi.h>

#include <vector>

uint32_t GetFileVersion(const std::wstring& path, FileVersionInfo& version)
{
    if (!PathFileExistsW(path.c_str()))
        return ERROR_FILE_NOT_FOUND;
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    if (size == 0)
        return GetLastError();
    std::vector<BYTE> data(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data()))
        return GetLastError();
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize) || fixed == nullptr ||
        fixedSize < sizeof(VS_FIXEDFILEINFO))
        return ERROR_INTERNAL_ERROR;
    version.major = HIWORD(fixed->dwFileVersionMS);
    version.minor = LOWORD(fixed->dwFileVersionMS);
    version.build = HIWORD(fixed->dwFileVersionLS);
    version.revision = LOWORD(fixed->dwFileVersionLS);
    return 0;
}
