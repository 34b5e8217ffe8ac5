#pragma once
// A guard event: eight narrow (UTF-8) text fields, in the order the reports
// and the event sink carry them.
#include <array>
#include <cstddef>
#include <string>

namespace dllguard {

struct DllProtectInfo {
    std::string requestedName;  // the library name as requested
    std::string checkedPath;    // the file actually checked
    std::string resultName;     // "VULNERABLE_PATH", ...
    std::string functionName;   // the hooked function: "LoadLibraryW", ...
    std::string callerAddress;  // "0x..." return address of the loading code
    std::string callerModule;   // module holding that address
    std::string callerOffset;   // the address's offset inside that module
    std::string information;    // "paths: exe: ..." or "loaded dlls: ..."

    static constexpr size_t kFieldCount = 8;
    // The fields in order, for code that walks them.
    static const std::array<std::string DllProtectInfo::*, kFieldCount> kFields;

    bool operator==(const DllProtectInfo& other) const;
    bool operator!=(const DllProtectInfo& other) const { return !(*this == other); }
};

inline const std::array<std::string DllProtectInfo::*, DllProtectInfo::kFieldCount> DllProtectInfo::kFields = {
    &DllProtectInfo::requestedName, &DllProtectInfo::checkedPath,  &DllProtectInfo::resultName,
    &DllProtectInfo::functionName,  &DllProtectInfo::callerAddress, &DllProtectInfo::callerModule,
    &DllProtectInfo::callerOffset,  &DllProtectInfo::information,
};

inline bool DllProtectInfo::operator==(const DllProtectInfo& other) const
{
    for (auto field : kFields) {
        if (this->*field != other.*field)
            return false;
    }
    return true;
}

}  // namespace dllguard
