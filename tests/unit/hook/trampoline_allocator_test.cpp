// Trampoline slots come only from free address space inside the window they
// must lie in.
#include <gtest/gtest.h>

#include "dllguard/hook/trampoline_allocator.h"

namespace hooking {
namespace {

constexpr uintptr_t kWindow = 0x40000;

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

TEST(TrampolineAllocator, UsesOnlyFreeSpaceInsideTheWindow)
{
    ReservedSpace taken(kWindow);
    ASSERT_NE(0u, taken.base());
    const uintptr_t low = taken.base();
    const uintptr_t high = low + kWindow;
    TrampolineAllocator allocator;
    EXPECT_EQ(nullptr, allocator.Allocate(low, high, low + kWindow / 2)) << "every granule is taken";

    taken.Release();
    uint8_t* slot = allocator.Allocate(low, high, low + kWindow / 2);
    ASSERT_NE(nullptr, slot);
    EXPECT_GE(reinterpret_cast<uintptr_t>(slot), low);
    EXPECT_LE(reinterpret_cast<uintptr_t>(slot) + kSlotSize, high);
    MEMORY_BASIC_INFORMATION info;
    ASSERT_NE(0u, ::VirtualQuery(slot, &info, sizeof info));
    EXPECT_EQ(static_cast<DWORD>(PAGE_EXECUTE_READ), info.Protect);
    EXPECT_EQ(0xCC, slot[0]) << "unwritten slots trap";

    allocator.Release(slot);
    EXPECT_EQ(slot, allocator.Allocate(low, high, low)) << "a released slot is handed out again";
    uint8_t* second = allocator.Allocate(low, high, low);
    EXPECT_NE(slot, second);
    EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(second) % kSlotSize);
}

}  // namespace
}  // namespace hooking
