#pragma once
// Folders inside the Windows directory where standard users may create
// files. Lying within the Windows directory trusts nothing found in them.
#include "dllguard/trust/guard_directories.h"

#include <string>
#include <vector>

namespace dllguard {

std::vector<std::wstring> UserWritableFolders(const GuardDirectories& directories);

}  // namespace dllguard
