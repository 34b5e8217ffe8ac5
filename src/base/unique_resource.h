#pragma once
// Small owners for Windows resources: each closes what it holds exactly once,
// in its destructor or on reset. Every handle, module, key or lock of the
// program is held by one of these.
#include <windows.h>

#include <utility>

template <class Traits>
class UniqueResource {
public:
    using Type = typename Traits::Type;

    UniqueResource() noexcept = default;
    explicit UniqueResource(Type value) noexcept : value_(value) {}
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    ~UniqueResource() { reset(); }

    Type get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return Traits::IsValid(value_); }

    // Closes the current value (if any) and takes ownership of `value`. The
    // thread's last error survives the close: a caller that resets to what a
    // failed Create returned still reads why it failed.
    void reset(Type value = Traits::Invalid()) noexcept
    {
        Type old = std::exchange(value_, value);
        if (Traits::IsValid(old)) {
            const DWORD error = ::GetLastError();
            Traits::Close(old);
            ::SetLastError(error);
        }
    }
    Type release() noexcept { return std::exchange(value_, Traits::Invalid()); }
    // For out-parameters: closes the current value and returns its address.
    Type* put() noexcept
    {
        reset();
        return &value_;
    }

private:
    Type value_ = Traits::Invalid();
};

namespace resource_traits {

struct Handle {  // kernel objects whose "none" is null
    using Type = HANDLE;
    static Type Invalid() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Type h) { ::CloseHandle(h); }
};

struct FileHandle {  // CreateFile and friends, whose "none" is INVALID_HANDLE_VALUE
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Type h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Type h) { ::CloseHandle(h); }
};

struct Module {
    using Type = HMODULE;
    static Type Invalid() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    static void Close(Type h) { ::FreeLibrary(h); }
};

struct RegistryKey {
    using Type = HKEY;
    static Type Invalid() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    static void Close(Type h) { ::RegCloseKey(h); }
};

struct FindHandle {  // FindFirstFile searches
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Type h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Type h) { ::FindClose(h); }
};

}  // namespace resource_traits

using UniqueHandle = UniqueResource<resource_traits::Handle>;
using UniqueFile = UniqueResource<resource_traits::FileHandle>;
using UniqueModule = UniqueResource<resource_traits::Module>;
using UniqueRegKey = UniqueResource<resource_traits::RegistryKey>;
using UniqueFindHandle = UniqueResource<resource_traits::FindHandle>;

// A Windows critical section (re-entrant on one thread), usable with
// std::lock_guard / std::unique_lock.
class CriticalSection {
public:
    CriticalSection() noexcept { ::InitializeCriticalSection(&section_); }
    ~CriticalSection() { ::DeleteCriticalSection(&section_); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void lock() noexcept { ::EnterCriticalSection(&section_); }
    void unlock() noexcept { ::LeaveCriticalSection(&section_); }

private:
    CRITICAL_SECTION section_;
};
