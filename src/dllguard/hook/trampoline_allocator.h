#pragma once
// Executable slots for trampolines, allocated within rel32 reach of the
// functions they serve, where no library can be mapped later: first in the
// unused end of an executable section of the function's own image (already
// mapped, so nothing else can come there), then in free address space
// outside the band where the system bases its libraries.
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

// Where x64 Windows bases its system libraries.
constexpr uintptr_t kSystemImagesStart = 0x7FF800000000;
constexpr uintptr_t kSystemImagesEnd = 0x800000000000;

// Not thread-safe: the engine calls it under its own lock. Regions are kept
// for the life of the process: a thread may still be running through a
// trampoline of a removed hook.
class TrampolineAllocator {
public:
    // The step that makes a new region executable; a dynamic-code policy
    // refuses it. Replaceable for tests.
    using ProtectFunction = BOOL(WINAPI*)(LPVOID, SIZE_T, DWORD, PDWORD);
    explicit TrampolineAllocator(ProtectFunction protect = &::VirtualProtect) : protect_(protect) {}

    // A free slot lying wholly within [low, high] for code that serves
    // `function`. ERROR_NOT_ENOUGH_MEMORY when there is no room, or the error
    // that kept a new region from becoming executable (the region is given
    // back then). Only a function whose image has no room left and whose
    // reach lies wholly inside the system band gets a slot in the band.
    DWORD Allocate(uintptr_t low, uintptr_t high, uintptr_t function, uint8_t** slot);
    // Returns a slot no code has ever been sent to.
    void Release(uint8_t* slot);

private:
    struct Region {
        uint8_t* base;
        size_t size;
        bool inImage;  // the unused end of an image's code section, not memory of our own
        std::vector<uint16_t> freeSlots;
    };

    Region* RegionWithRoom(uintptr_t low, uintptr_t high, bool inImage, uintptr_t imageStart, uintptr_t imageEnd);
    Region* ClaimImageTails(uintptr_t low, uintptr_t high, uintptr_t function);
    DWORD AllocateRegion(uintptr_t low, uintptr_t high, uintptr_t function, Region** out);
    DWORD TryReserve(uintptr_t address, uint8_t** region) const;
    DWORD SearchUp(uintptr_t from, uintptr_t to, uint8_t** region) const;
    DWORD SearchDown(uintptr_t from, uintptr_t to, uint8_t** region) const;

    ProtectFunction protect_;
    std::vector<Region> regions_;
    std::vector<uintptr_t> imagesLookedAt_;  // images whose section ends were claimed
};

}  // namespace hooking
