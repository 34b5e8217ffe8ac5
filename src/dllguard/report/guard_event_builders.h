#pragma once
// The three kinds of guard event: a library that failed its checks, a
// library that loads itself again during its own load, and hooks that could
// not be put in place.
#include "dllguard/guard_result.h"
#include "dllguard/report/guard_event.h"

#include <string>
#include <string_view>
#include <vector>

namespace dllguard {

// Where a load was asked for: "0x<hex>" return address, and the path of the
// module that holds it with the offset inside it ("0x<hex>"); module and
// offset are empty when the address lies in no module.
struct CallerLocation {
    std::string address;
    std::string modulePath;
    std::string offset;
};

CallerLocation LocateCaller(const void* returnAddress);

DllProtectInfo InterceptionEvent(std::wstring_view requestedName, std::wstring_view checkedPath, GuardResult result,
                                 const char* functionName, const CallerLocation& caller, std::string information);

// `inProgress` lists the libraries whose load is under way on the thread.
DllProtectInfo RecursiveLoadEvent(std::wstring_view requestedName, const char* functionName,
                                  const CallerLocation& caller, const std::vector<std::wstring>& inProgress);

DllProtectInfo HookFailureEvent();

}  // namespace dllguard
