#include "dllguard/hook/code_memory.h"

#include <cstdint>
#include <cstring>

namespace hooking {
namespace {

constexpr uintptr_t kPageSize = 0x1000;

bool IsReadable(const MEMORY_BASIC_INFORMATION& info)
{
    if (info.State != MEM_COMMIT || (info.Protect & (PAGE_GUARD | PAGE_NOACCESS)))
        return false;
    return (info.Protect & (PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                            PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY)) != 0;
}

// Makes the pages of a short range writable and executable for its lifetime,
// then gives each page its own protection back.
class WritableCode {
public:
    WritableCode() = default;
    WritableCode(const WritableCode&) = delete;
    WritableCode& operator=(const WritableCode&) = delete;
    ~WritableCode()
    {
        DWORD ignored;
        while (count_ > 0) {
            --count_;
            ::VirtualProtect(pages_[count_], kPageSize, saved_[count_], &ignored);
        }
    }

    DWORD Open(void* address, size_t size)
    {
        uintptr_t first = reinterpret_cast<uintptr_t>(address) & ~(kPageSize - 1);
        uintptr_t last = (reinterpret_cast<uintptr_t>(address) + size - 1) & ~(kPageSize - 1);
        for (uintptr_t page = first; page <= last; page += kPageSize) {
            if (count_ == kMaxPages)
                return ERROR_INVALID_PARAMETER;
            void* p = reinterpret_cast<void*>(page);
            if (!::VirtualProtect(p, kPageSize, PAGE_EXECUTE_READWRITE, &saved_[count_]))
                return ::GetLastError();
            pages_[count_++] = p;
        }
        return ERROR_SUCCESS;
    }

private:
    static constexpr size_t kMaxPages = 2;
    void* pages_[kMaxPages] = {};
    DWORD saved_[kMaxPages] = {};
    size_t count_ = 0;
};

bool CompareExchange16(volatile uint64_t* block, uint64_t* expected, const uint64_t* desired)
{
    bool swapped;
    asm volatile("lock cmpxchg16b %1"
                 : "=@ccz"(swapped), "+m"(*block), "+a"(expected[0]), "+d"(expected[1])
                 : "b"(desired[0]), "c"(desired[1])
                 : "memory");
    return swapped;
}

void StoreCode(void* destination, const void* source, size_t size)
{
    const uintptr_t at = reinterpret_cast<uintptr_t>(destination);
    if ((at & 7) + size <= 8) {
        auto* word = reinterpret_cast<volatile LONG64*>(at & ~uintptr_t{7});
        LONG64 value = *word;
        std::memcpy(reinterpret_cast<uint8_t*>(&value) + (at & 7), source, size);
        ::InterlockedExchange64(word, value);
    } else if ((at & 15) + size <= 16) {
        auto* block = reinterpret_cast<volatile uint64_t*>(at & ~uintptr_t{15});
        uint64_t expected[2] = {block[0], block[1]};
        uint64_t desired[2];
        do {
            std::memcpy(desired, expected, sizeof desired);
            std::memcpy(reinterpret_cast<uint8_t*>(desired) + (at & 15), source, size);
        } while (!CompareExchange16(block, expected, desired));
    } else {
        std::memcpy(destination, source, size);
    }
}

}  // namespace

size_t ReadableBytes(const void* address, size_t wanted)
{
    const uintptr_t start = reinterpret_cast<uintptr_t>(address);
    uintptr_t at = start;
    while (at - start < wanted) {
        MEMORY_BASIC_INFORMATION info;
        if (::VirtualQuery(reinterpret_cast<void*>(at), &info, sizeof info) == 0 || !IsReadable(info))
            break;
        at = reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize;
    }
    return at - start < wanted ? at - start : wanted;
}

bool ReadableRegion(const void* address, uintptr_t* start, uintptr_t* end)
{
    MEMORY_BASIC_INFORMATION info;
    if (::VirtualQuery(address, &info, sizeof info) == 0 || !IsReadable(info))
        return false;
    *start = reinterpret_cast<uintptr_t>(info.BaseAddress);
    *end = *start + info.RegionSize;
    return true;
}

DWORD WriteCode(void* destination, const void* source, size_t size)
{
    if (size == 0)
        return ERROR_SUCCESS;
    WritableCode writable;
    if (DWORD error = writable.Open(destination, size))
        return error;
    StoreCode(destination, source, size);
    ::FlushInstructionCache(::GetCurrentProcess(), destination, size);
    return ERROR_SUCCESS;
}

}  // namespace hooking
