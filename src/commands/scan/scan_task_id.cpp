#include "commands/scan/scan_task_id.h"

#include "json/json_values.h"
#include "base/text_conversion.h"

#include <objbase.h>

std::wstring FormatTaskId(const GUID& guid)
{
    unsigned long long tail = 0;
    for (int index = 7; index >= 0; --index)
        tail = (tail << 8) | guid.Data4[index];
    return Utf8ToWide(FormatString("%08llx-%04llx-%04llx-%04llx-%012llx",
                                   static_cast<unsigned long long>(guid.Data1),
                                   static_cast<unsigned long long>(guid.Data2),
                                   static_cast<unsigned long long>(guid.Data3), tail >> 48,
                                   tail & 0xFFFFFFFFFFFFull));
}

bool NewTaskId(std::wstring& taskId)
{
    GUID guid;
    if (FAILED(CoCreateGuid(&guid)))
        return false;
    taskId = FormatTaskId(guid);
    return true;
}
