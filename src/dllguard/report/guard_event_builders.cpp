#include "dllguard/report/guard_event_builders.h"

#include "base/module_path.h"
#include "base/text_conversion.h"

#include <windows.h>

#include <fmt/format.h>

namespace dllguard {

CallerLocation LocateCaller(const void* returnAddress)
{
    CallerLocation caller;
    const auto address = reinterpret_cast<uintptr_t>(returnAddress);
    caller.address = fmt::format("0x{:x}", address);

    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCWSTR>(returnAddress), &module) ||
        !module)
        return caller;
    const std::wstring path = ModuleFileName(module);
    if (path.empty())
        return caller;
    caller.modulePath = WideToUtf8(path);
    caller.offset = fmt::format("0x{:x}", address - reinterpret_cast<uintptr_t>(module));
    return caller;
}

DllProtectInfo InterceptionEvent(std::wstring_view requestedName, std::wstring_view checkedPath, GuardResult result,
                                 const char* functionName, const CallerLocation& caller, std::string information)
{
    DllProtectInfo event;
    event.requestedName = WideToUtf8(requestedName);
    event.checkedPath = result == GuardResult::LoadFailed ? "UNKNOWN" : WideToUtf8(checkedPath);
    event.resultName = GuardResultName(result);
    event.functionName = functionName;
    event.callerAddress = caller.address;
    event.callerModule = caller.modulePath;
    event.callerOffset = caller.offset;
    event.information = std::move(information);
    return event;
}

DllProtectInfo RecursiveLoadEvent(std::wstring_view requestedName, const char* functionName,
                                  const CallerLocation& caller, const std::vector<std::wstring>& inProgress)
{
    DllProtectInfo event;
    event.requestedName = WideToUtf8(requestedName);
    event.resultName = GuardResultName(GuardResult::RecursiveDllLoadLoadLibrary);
    event.functionName = functionName;
    event.callerAddress = caller.address;
    event.information = "loaded dlls: ";
    for (const std::wstring& name : inProgress)
        event.information.append(WideToUtf8(name)).push_back(',');
    return event;
}

DllProtectInfo HookFailureEvent()
{
    DllProtectInfo event;
    event.resultName = GuardResultName(GuardResult::InitDetourFailed);
    return event;
}

}  // namespace dllguard
