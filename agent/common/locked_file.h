#pragma once
// Files that several processes append to at once. Every append and every
// whole-file read holds a lock on one byte far beyond any real data, so that
// readers never see half an append and appends never interleave, while
// ordinary readers of the file (which take no lock) are not blocked.
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace standin {
namespace common {

// Appends the bytes at the end of the file, creating it when missing. With a
// size limit, a file that has reached it is first renamed to `rolledPath`
// (replacing an older one), and the bytes start a new file. Returns the
// system error code, 0 on success.
DWORD AppendLocked(const std::wstring& path, std::string_view bytes, uint64_t sizeLimit = 0,
                   const std::wstring& rolledPath = {});

// Reads the whole file. Returns the system error code (2 when the file does
// not exist), 0 on success.
DWORD ReadLocked(const std::wstring& path, std::string& bytes);

}  // namespace common
}  // namespace standin
