#include "common/locked_file.h"

#include "base/unique_resource.h"

namespace standin {
namespace common {
namespace {

// The byte that serves as the lock: far beyond the end of any real file.
constexpr DWORD LockOffsetHigh = 0x40000000;

class FileLock {
public:
    FileLock(HANDLE file, bool exclusive) : file_(file)
    {
        OVERLAPPED at{};
        at.OffsetHigh = LockOffsetHigh;
        held_ = LockFileEx(file_, exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0, 0, 1, 0, &at) != FALSE;
    }
    ~FileLock()
    {
        if (held_) {
            OVERLAPPED at{};
            at.OffsetHigh = LockOffsetHigh;
            UnlockFileEx(file_, 0, 1, 0, &at);
        }
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    HANDLE file_;
    bool held_ = false;
};

UniqueFile OpenForAppend(const std::wstring& path)
{
    return UniqueFile(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

DWORD WriteAtEnd(HANDLE file, std::string_view bytes)
{
    LARGE_INTEGER end{};
    if (!SetFilePointerEx(file, LARGE_INTEGER{}, &end, FILE_END))
        return GetLastError();
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        return GetLastError();
    return written == bytes.size() ? 0 : ERROR_WRITE_FAULT;
}

bool Reached(HANDLE file, uint64_t sizeLimit)
{
    LARGE_INTEGER size{};
    return sizeLimit > 0 && GetFileSizeEx(file, &size) && static_cast<uint64_t>(size.QuadPart) >= sizeLimit;
}

}  // namespace

DWORD AppendLocked(const std::wstring& path, std::string_view bytes, uint64_t sizeLimit, const std::wstring& rolledPath)
{
    UniqueFile file = OpenForAppend(path);
    if (!file)
        return GetLastError();
    FileLock lock(file.get(), true);
    if (!rolledPath.empty() && Reached(file.get(), sizeLimit) &&
        MoveFileExW(path.c_str(), rolledPath.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        // Writers still waiting on the old file finish there; this one starts
        // the new file.
        UniqueFile fresh = OpenForAppend(path);
        if (!fresh)
            return GetLastError();
        FileLock freshLock(fresh.get(), true);
        return WriteAtEnd(fresh.get(), bytes);
    }
    return WriteAtEnd(file.get(), bytes);
}

DWORD ReadLocked(const std::wstring& path, std::string& bytes)
{
    bytes.clear();
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return GetLastError();
    FileLock lock(file.get(), false);
    char chunk[65536];
    DWORD read = 0;
    for (;;) {
        if (!ReadFile(file.get(), chunk, sizeof chunk, &read, nullptr))
            return GetLastError();
        if (read == 0)
            return 0;
        bytes.append(chunk, read);
    }
}

}  // namespace common
}  // namespace standin
