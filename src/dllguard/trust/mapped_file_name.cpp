#include "dllguard/trust/mapped_file_name.h"

#include <psapi.h>

#include <algorithm>
#include <vector>

namespace dllguard {

DWORD QueryMappedFileNameOfProcess(void* address, wchar_t* buffer, DWORD size)
{
    return K32GetMappedFileNameW(GetCurrentProcess(), address, buffer, size);
}

bool MappedFileName(void* address, std::wstring& name, const MappedFileNameQuery& query)
{
    DWORD size = kMappedNameFirstSize;
    for (;;) {
        std::vector<wchar_t> buffer(size);
        const DWORD length = query(address, buffer.data(), size);
        if (length != 0) {
            name.assign(buffer.data(), std::min(length, size));
            return true;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == kMappedNameMaxSize)
            return false;
        size = std::min(size * 2, kMappedNameMaxSize);
    }
}

}  // namespace dllguard
