#pragma once
#include <cstdint>
#include <string>

// The fixed file version of an executable or library.
struct FileVersionInfo {
    uint16_t major = 0;
    uint16_t minor = 0;
    uint16_t build = 0;
    uint16_t revision = 0;
};

// 0, 2 (no such file), the system's error, or 1359 (no fixed version block).
uint32_t GetFileVersion(const std::wstring& path, FileVersionInfo& version);
