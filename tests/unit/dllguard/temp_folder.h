#pragma once
// A fresh folder under the temporary directory, removed with everything in
// it when the test ends, and whole-file helpers for fixtures.
#include "base/unique_resource.h"

#include <windows.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <string_view>

class TempFolder {
public:
    TempFolder()
    {
        static std::atomic<int> counter{0};
        path_ = (std::filesystem::temp_directory_path() /
                 (L"guardtest_" + std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(++counter)))
                    .wstring();
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
        std::filesystem::create_directories(path_, ignored);
    }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::wstring& Path() const { return path_; }
    std::wstring operator/(std::wstring_view name) const { return path_ + L"\\" + std::wstring(name); }

    // Creates a sub-folder (and those above it) and returns its path.
    std::wstring MakeFolder(std::wstring_view relative) const
    {
        const std::wstring path = *this / relative;
        std::error_code ignored;
        std::filesystem::create_directories(path, ignored);
        return path;
    }

private:
    std::wstring path_;
};

inline bool WriteBytes(const std::wstring& path, std::string_view bytes)
{
    const UniqueFile file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file && WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

inline std::string ReadBytes(const std::wstring& path)
{
    const UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string content;
    char buffer[65536];
    DWORD read = 0;
    while (file && ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0)
        content.append(buffer, read);
    return content;
}

inline bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline bool CopyInto(const std::wstring& from, const std::wstring& to) { return CopyFileW(from.c_str(), to.c_str(), FALSE); }

// The folder of the running test executable, where the test libraries are built.
inline std::wstring TestBinaryFolder()
{
    wchar_t module[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, module, MAX_PATH);
    const std::wstring path(module, length);
    return path.substr(0, path.find_last_of(L"\\/"));
}
