// Trampoline slots come only from free address space inside the window they
// must lie in, clear of the system libraries' band where the window allows,
// and a region that cannot be made executable is given back.
#include <gtest/gtest.h>

#include "dllguard/hook/mapped_image.h"
#include "dllguard/hook/trampoline_allocator.h"
#include "test_functions.h"

namespace hooking {
namespace {

constexpr uintptr_t kWindow = 0x40000;
constexpr uintptr_t kReach = 0x7FFF0000;
constexpr uintptr_t kGiB = 0x40000000;

// Address space held for the duration of a test, so that a window around
// it is known to be taken.
class ReservedSpace {
public:
    explicit ReservedSpace(size_t size) : base_(::VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS)) {}
    ReservedSpace(const ReservedSpace&) = delete;
    ReservedSpace& operator=(const ReservedSpace&) = delete;
    ~ReservedSpace() { Release(); }
    uintptr_t base() const { return reinterpret_cast<uintptr_t>(base_); }
    void Release()
    {
        if (base_)
            ::VirtualFree(base_, 0, MEM_RELEASE);
        base_ = nullptr;
    }

private:
    void* base_;
};

uintptr_t Address(const void* p) { return reinterpret_cast<uintptr_t>(p); }

TEST(TrampolineAllocator, UsesOnlyFreeSpaceInsideTheWindow)
{
    ReservedSpace taken(kWindow);
    ASSERT_NE(0u, taken.base());
    const uintptr_t low = taken.base();
    const uintptr_t high = low + kWindow;
    TrampolineAllocator allocator;
    uint8_t* slot = nullptr;
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY), allocator.Allocate(low, high, low + kWindow / 2, &slot))
        << "every granule is taken";
    EXPECT_EQ(nullptr, slot);

    taken.Release();
    ASSERT_EQ(0u, allocator.Allocate(low, high, low + kWindow / 2, &slot));
    ASSERT_NE(nullptr, slot);
    EXPECT_GE(Address(slot), low);
    EXPECT_LE(Address(slot) + kSlotSize, high);
    MEMORY_BASIC_INFORMATION info;
    ASSERT_NE(0u, ::VirtualQuery(slot, &info, sizeof info));
    EXPECT_EQ(static_cast<DWORD>(PAGE_EXECUTE_READ), info.Protect);
    EXPECT_EQ(0xCC, slot[0]) << "unwritten slots trap";

    allocator.Release(slot);
    uint8_t* again = nullptr;
    ASSERT_EQ(0u, allocator.Allocate(low, high, low, &again));
    EXPECT_EQ(slot, again) << "a released slot is handed out again";
    uint8_t* second = nullptr;
    ASSERT_EQ(0u, allocator.Allocate(low, high, low, &second));
    EXPECT_NE(slot, second);
    EXPECT_EQ(0u, Address(second) % kSlotSize);
}

// Each case: a function, the window its trampoline must lie in, and where
// in that window the slot is expected.
TEST(TrampolineAllocator, KeepsClearOfTheSystemBandWithinReach)
{
    MappedImage executable;
    ASSERT_TRUE(executable.Open(reinterpret_cast<const void*>(&hk_rip_load)));
    const AddressRange image = executable.Extent();
    struct {
        const char* what;
        uintptr_t function;
        uintptr_t lowest, highest;  // where the slot must lie
    } const cases[] = {
        {"an image below the band: above its end", Address(reinterpret_cast<const void*>(&hk_rip_load)),
         image.end, image.end + kReach},
        {"a function just inside the band: below the band's start", kSystemImagesStart + kGiB,
         kSystemImagesStart + kGiB - kReach, kSystemImagesStart},
        {"a function deep in the band: in the band, above the function", kSystemImagesStart + 16 * kGiB,
         kSystemImagesStart + 16 * kGiB, kSystemImagesStart + 16 * kGiB + kReach},
    };
    TrampolineAllocator allocator;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const uintptr_t low = c.function - kReach;
        const uintptr_t high = c.function + kReach;
        uint8_t* slot = nullptr;
        ASSERT_EQ(0u, allocator.Allocate(low, high, c.function, &slot));
        EXPECT_GE(Address(slot), c.lowest);
        EXPECT_LE(Address(slot) + kSlotSize, c.highest);
        EXPECT_TRUE(Reachable(c.function, Address(slot)) && Reachable(Address(slot) + kSlotSize, c.function));
    }
}

// A dynamic-code policy refuses to make memory executable.
struct RefusedProtection {
    static inline int calls = 0;
    static inline void* asked = nullptr;
    static BOOL WINAPI Protect(LPVOID address, SIZE_T, DWORD, PDWORD)
    {
        ++calls;
        asked = address;
        ::SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
};

TEST(TrampolineAllocator, ARegionThatCannotBeMadeExecutableIsReleased)
{
    TrampolineAllocator allocator(&RefusedProtection::Protect);
    const uintptr_t function = Address(reinterpret_cast<const void*>(&hk_rip_load));
    uint8_t* slot = nullptr;
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED),
              allocator.Allocate(function - kReach, function + kReach, function, &slot));
    EXPECT_EQ(nullptr, slot);
    EXPECT_EQ(1, RefusedProtection::calls) << "a refused protection ends the search";
    MEMORY_BASIC_INFORMATION info;
    ASSERT_NE(0u, ::VirtualQuery(RefusedProtection::asked, &info, sizeof info));
    EXPECT_EQ(static_cast<DWORD>(MEM_FREE), info.State) << "the region was given back";
}

}  // namespace
}  // namespace hooking
