#pragma once
// Executable slots for trampolines, allocated within rel32 reach of the
// functions they serve.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "dllguard/hook/code_relocation.h"

namespace hooking {

// One slot: the relocated instructions, then a relay (jmp [rip+0] and its
// 8-byte destination) through which the patch reaches a detour that is out
// of rel32 reach of the function. The destination is 8-byte aligned so that
// it can be replaced while other threads jump through it.
constexpr size_t kSlotSize = 64;
constexpr size_t kRelayOffset = 50;
constexpr size_t kRelayTargetOffset = kRelayOffset + kJumpIndirectSize;
static_assert(RelocatedCode::kCapacity <= kRelayOffset);
static_assert(kRelayTargetOffset % 8 == 0 && kRelayTargetOffset + 8 == kSlotSize);

// Not thread-safe: the engine calls it under its own lock. Regions are kept
// for the life of the process: a thread may still be running through a
// trampoline of a removed hook.
class TrampolineAllocator {
public:
    // A free slot lying wholly within [low, high], as close to `preferred` as
    // the free address space allows; null when there is none.
    uint8_t* Allocate(uintptr_t low, uintptr_t high, uintptr_t preferred);
    // Returns a slot no code has ever been sent to.
    void Release(uint8_t* slot);

private:
    struct Region {
        uint8_t* base;
        std::vector<uint16_t> freeSlots;
    };

    Region* AllocateRegion(uintptr_t low, uintptr_t high, uintptr_t preferred);

    std::vector<Region> regions_;
};

}  // namespace hooking
