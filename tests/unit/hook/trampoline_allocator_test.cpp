// Trampoline slots come first from the unused end of the code section of the
// function's own image, where no library can be mapped later; then only from
// free address space inside the window they must lie in, clear of the system
// libraries' band where the window allows; and a region that cannot be made
// executable is given back.
#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "dllguard/hook/jump_thunks.h"
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

// The window of rel32 reach around a function, as the engine asks for it.
uintptr_t ReachLow(uintptr_t function) { return function > kReach ? function - kReach : 0; }

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

bool InCodeSectionTail(const MappedImage& image, uintptr_t slot)
{
    for (const AddressRange& tail : image.CodeSectionTails()) {
        if (tail.Contains(slot, kSlotSize))
            return true;
    }
    return false;
}

// The functions the guard hooks, where they really are (the system's
// LoadLibrary bodies behind kernel32's thunks), and one of this executable.
TEST(TrampolineAllocator, RealFunctionsGetRoomInTheirOwnImage)
{
    std::vector<std::pair<const char*, uintptr_t>> functions = {
        {"hk_rip_load", Address(reinterpret_cast<const void*>(&hk_rip_load))}};
    for (const char* name : {"LoadLibraryW", "LoadLibraryExW", "LoadLibraryA", "LoadLibraryExA"}) {
        auto* exported = reinterpret_cast<uint8_t*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), name));
        functions.push_back({name, Address(FollowJumpThunks(exported, nullptr, nullptr))});
    }
    TrampolineAllocator allocator;
    for (const auto& [name, function] : functions) {
        SCOPED_TRACE(name);
        MappedImage image;
        ASSERT_TRUE(image.Open(reinterpret_cast<const void*>(function)));
        uint8_t* slot = nullptr;
        ASSERT_EQ(0u, allocator.Allocate(ReachLow(function), function + kReach, function, &slot));
        EXPECT_TRUE(InCodeSectionTail(image, Address(slot))) << std::hex << function << " " << Address(slot);
        EXPECT_TRUE(Reachable(function, Address(slot)) && Reachable(Address(slot) + kSlotSize, function));
        EXPECT_EQ(std::vector<uint8_t>(kSlotSize, 0), std::vector<uint8_t>(slot, slot + kSlotSize))
            << "a slot nothing has written to";
    }
}

// Once its image has no room left, a function gets memory of our own, still
// outside the band and within reach.
TEST(TrampolineAllocator, AFullImageLeadsToFreeSpaceOutsideTheBand)
{
    const uintptr_t function = Address(reinterpret_cast<const void*>(&hk_rip_load));
    MappedImage image;
    ASSERT_TRUE(image.Open(reinterpret_cast<const void*>(function)));
    TrampolineAllocator allocator;
    uint8_t* slot = nullptr;
    for (int i = 0; i < 4096 && (slot == nullptr || image.Extent().Contains(Address(slot))); ++i)
        ASSERT_EQ(0u, allocator.Allocate(ReachLow(function), function + kReach, function, &slot));
    ASSERT_FALSE(image.Extent().Contains(Address(slot)));
    EXPECT_FALSE(Address(slot) >= kSystemImagesStart && Address(slot) < kSystemImagesEnd);
    EXPECT_TRUE(Reachable(function, Address(slot)) && Reachable(Address(slot) + kSlotSize, function));
    MEMORY_BASIC_INFORMATION info;
    ASSERT_NE(0u, ::VirtualQuery(slot, &info, sizeof info));
    EXPECT_EQ(static_cast<DWORD>(MEM_PRIVATE), info.Type);
}

// Each case: a function in no image (so with no room of its own), the
// window its trampoline must lie in, and where in that window the slot is
// expected.
TEST(TrampolineAllocator, WithoutAnImageKeepsClearOfTheSystemBandWithinReach)
{
    ReservedSpace free(kWindow);  // free address space below the band, given back at once
    const uintptr_t below = free.base();
    free.Release();
    struct {
        const char* what;
        uintptr_t function;
        uintptr_t lowest, highest;  // where the slot must lie
    } const cases[] = {
        {"a function below the band: above it", below, below, below + kReach},
        {"a function just inside the band: below the band's start", kSystemImagesStart + kGiB,
         kSystemImagesStart + kGiB - kReach, kSystemImagesStart},
        {"a function deep in the band: in the band, above the function", kSystemImagesStart + 16 * kGiB,
         kSystemImagesStart + 16 * kGiB, kSystemImagesStart + 16 * kGiB + kReach},
    };
    TrampolineAllocator allocator;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const uintptr_t low = ReachLow(c.function);
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
    const auto heap = std::make_unique<char[]>(16);  // code in no image: no room of its own
    const uintptr_t function = Address(heap.get());
    uint8_t* slot = nullptr;
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED),
              allocator.Allocate(ReachLow(function), function + kReach, function, &slot));
    EXPECT_EQ(nullptr, slot);
    EXPECT_EQ(1, RefusedProtection::calls) << "a refused protection ends the search";
    MEMORY_BASIC_INFORMATION info;
    ASSERT_NE(0u, ::VirtualQuery(RefusedProtection::asked, &info, sizeof info));
    EXPECT_EQ(static_cast<DWORD>(MEM_FREE), info.State) << "the region was given back";
}

}  // namespace
}  // namespace hooking
