#pragma once
// Where the agent stand-ins keep their data.
#include <windows.h>

#include <string>

namespace standin {
namespace common {

// The value of an environment variable; empty when unset.
std::wstring EnvironmentText(const wchar_t* name);

// PRODUCT_AGENT_STATE_DIR, else %ProgramData%\ProductAgent; created when
// missing.
std::wstring AgentDataDirectory();

// Creates every missing folder of a full path.
void CreateDirectories(const std::wstring& path);

// The folder of a loaded module (no trailing backslash).
std::wstring ModuleDirectory(HMODULE module);

}  // namespace common
}  // namespace standin
