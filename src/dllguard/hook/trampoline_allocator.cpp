#include "dllguard/hook/trampoline_allocator.h"

#include <cstring>

namespace hooking {
namespace {

constexpr uintptr_t kRegionSize = 0x10000;  // the allocation granularity of Windows
constexpr size_t kSlotsPerRegion = kRegionSize / kSlotSize;
constexpr uintptr_t kLowestAddress = 0x10000;  // below it nothing can be allocated

uintptr_t AlignDown(uintptr_t value) { return value & ~(kRegionSize - 1); }
uintptr_t AlignUp(uintptr_t value) { return AlignDown(value + kRegionSize - 1); }

uint8_t* TryReserve(uintptr_t address)
{
    MEMORY_BASIC_INFORMATION info;
    if (::VirtualQuery(reinterpret_cast<void*>(address), &info, sizeof info) == 0 || info.State != MEM_FREE ||
        reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize < address + kRegionSize)
        return nullptr;
    void* region = ::VirtualAlloc(reinterpret_cast<void*>(address), kRegionSize, MEM_RESERVE | MEM_COMMIT,
                                  PAGE_READWRITE);
    if (!region)
        return nullptr;
    std::memset(region, 0xCC, kRegionSize);  // int3 wherever no code was written
    DWORD ignored;
    ::VirtualProtect(region, kRegionSize, PAGE_EXECUTE_READ, &ignored);
    return static_cast<uint8_t*>(region);
}

// Where a downward search goes on from `address` when no region fits there:
// the next lower granule of a free block, or below the whole allocation.
uintptr_t NextBelow(uintptr_t address)
{
    MEMORY_BASIC_INFORMATION info;
    if (::VirtualQuery(reinterpret_cast<void*>(address), &info, sizeof info) == 0)
        return 0;
    uintptr_t from = address;
    if (info.State != MEM_FREE)
        from = AlignDown(reinterpret_cast<uintptr_t>(info.AllocationBase ? info.AllocationBase : info.BaseAddress));
    return from >= kRegionSize ? from - kRegionSize : 0;
}

uintptr_t NextAbove(uintptr_t address)
{
    MEMORY_BASIC_INFORMATION info;
    if (::VirtualQuery(reinterpret_cast<void*>(address), &info, sizeof info) == 0)
        return address + kRegionSize;
    const uintptr_t end = AlignUp(reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize);
    return end > address ? end : address + kRegionSize;
}

}  // namespace

uint8_t* TrampolineAllocator::Allocate(uintptr_t low, uintptr_t high, uintptr_t preferred)
{
    for (Region& region : regions_) {
        const auto base = reinterpret_cast<uintptr_t>(region.base);
        if (region.freeSlots.empty() || base < low || base + kRegionSize > high)
            continue;
        const uint16_t index = region.freeSlots.back();
        region.freeSlots.pop_back();
        return region.base + index * kSlotSize;
    }
    Region* region = AllocateRegion(low, high, preferred);
    if (!region)
        return nullptr;
    const uint16_t index = region->freeSlots.back();
    region->freeSlots.pop_back();
    return region->base + index * kSlotSize;
}

void TrampolineAllocator::Release(uint8_t* slot)
{
    for (Region& region : regions_) {
        if (slot >= region.base && slot < region.base + kRegionSize) {
            region.freeSlots.push_back(static_cast<uint16_t>((slot - region.base) / kSlotSize));
            return;
        }
    }
}

// Searches downwards from `preferred` first (the usual free space below an
// image), then upwards.
TrampolineAllocator::Region* TrampolineAllocator::AllocateRegion(uintptr_t low, uintptr_t high,
                                                                  uintptr_t preferred)
{
    low = AlignUp(low < kLowestAddress ? kLowestAddress : low);
    if (high < kRegionSize || low > high - kRegionSize)
        return nullptr;
    const uintptr_t top = AlignDown(high - kRegionSize);
    preferred = preferred < low ? low : preferred > top ? top : AlignDown(preferred);

    uint8_t* found = nullptr;
    for (uintptr_t at = preferred; !found && at >= low;) {
        found = TryReserve(at);
        const uintptr_t next = NextBelow(at);
        if (next >= at)
            break;
        at = next;
    }
    for (uintptr_t at = preferred; !found && at <= top; at = NextAbove(at))
        found = TryReserve(at);
    if (!found)
        return nullptr;

    Region region{found, {}};
    region.freeSlots.reserve(kSlotsPerRegion);
    for (size_t i = kSlotsPerRegion; i > 0; --i)
        region.freeSlots.push_back(static_cast<uint16_t>(i - 1));
    regions_.push_back(std::move(region));
    return &regions_.back();
}

}  // namespace hooking
