#include "dllguard/intercept/file_api_name.h"

#include <windows.h>

namespace dllguard {

bool FileApiNameToWide(const char* name, std::wstring& wide)
{
    const UINT codePage = AreFileApisANSI() ? CP_ACP : CP_OEMCP;
    const int size = MultiByteToWideChar(codePage, 0, name, -1, nullptr, 0);
    if (size <= 0)
        return false;
    wide.assign(static_cast<size_t>(size), L'\0');
    if (MultiByteToWideChar(codePage, 0, name, -1, wide.data(), size) != size)
        return false;
    wide.pop_back();  // the terminator
    return true;
}

}  // namespace dllguard
