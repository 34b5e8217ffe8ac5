#include "dllguard/hook/trampoline_allocator.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "dllguard/hook/code_memory.h"
#include "dllguard/hook/mapped_image.h"

namespace hooking {
namespace {

constexpr uintptr_t kRegionSize = 0x10000;  // the allocation granularity of Windows
constexpr size_t kSlotsPerRegion = kRegionSize / kSlotSize;
constexpr uintptr_t kLowestAddress = 0x10000;  // below it nothing can be allocated

// What a search steps over: an address that is taken. Any other failure ends it.
constexpr DWORD kNotHere = ERROR_NOT_ENOUGH_MEMORY;

uintptr_t AlignDown(uintptr_t value) { return value & ~(kRegionSize - 1); }
uintptr_t AlignUp(uintptr_t value) { return AlignDown(value + kRegionSize - 1); }

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

// Zero past the end of the address space.
uintptr_t NextAbove(uintptr_t address)
{
    MEMORY_BASIC_INFORMATION info;
    if (::VirtualQuery(reinterpret_cast<void*>(address), &info, sizeof info) == 0)
        return 0;
    const uintptr_t end = AlignUp(reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize);
    return end > address ? end : address + kRegionSize;
}

// The image `function` lies in, or the function's own byte.
AddressRange ModuleOf(uintptr_t function)
{
    MappedImage image;
    if (image.Open(reinterpret_cast<const void*>(function)))
        return image.Extent();
    return {function, function + 1};
}

// A slot of a section's end that nothing has written to.
bool IsUnusedSlot(const uint8_t* slot)
{
    if (ReadableBytes(slot, kSlotSize) < kSlotSize)
        return false;
    for (size_t i = 0; i < kSlotSize; ++i) {
        if (slot[i] != 0)
            return false;
    }
    return true;
}

}  // namespace

DWORD TrampolineAllocator::Allocate(uintptr_t low, uintptr_t high, uintptr_t function, uint8_t** slot)
{
    *slot = nullptr;
    const AddressRange module = ModuleOf(function);
    Region* found = RegionWithRoom(low, high, true, module.start, module.end);
    if (!found)
        found = ClaimImageTails(low, high, function);
    if (!found)
        found = RegionWithRoom(low, high, false, 0, UINTPTR_MAX);
    if (!found) {
        if (DWORD error = AllocateRegion(low, high, function, &found))
            return error;
    }
    const uint16_t index = found->freeSlots.back();
    found->freeSlots.pop_back();
    *slot = found->base + index * kSlotSize;
    return ERROR_SUCCESS;
}

void TrampolineAllocator::Release(uint8_t* slot)
{
    for (Region& region : regions_) {
        if (slot >= region.base && slot < region.base + region.size) {
            region.freeSlots.push_back(static_cast<uint16_t>((slot - region.base) / kSlotSize));
            return;
        }
    }
}

TrampolineAllocator::Region* TrampolineAllocator::RegionWithRoom(uintptr_t low, uintptr_t high, bool inImage,
                                                                 uintptr_t imageStart, uintptr_t imageEnd)
{
    for (Region& region : regions_) {
        const auto base = reinterpret_cast<uintptr_t>(region.base);
        if (region.inImage == inImage && !region.freeSlots.empty() && base >= low && base + region.size <= high &&
            base >= imageStart && base + region.size <= imageEnd)
            return &region;
    }
    return nullptr;
}

// Each image's section ends are claimed once, slot by slot where they hold
// nothing (another engine may have written some already).
TrampolineAllocator::Region* TrampolineAllocator::ClaimImageTails(uintptr_t low, uintptr_t high, uintptr_t function)
{
    MappedImage image;
    if (!image.Open(reinterpret_cast<const void*>(function)))
        return nullptr;
    if (std::find(imagesLookedAt_.begin(), imagesLookedAt_.end(), image.base()) != imagesLookedAt_.end())
        return nullptr;
    imagesLookedAt_.push_back(image.base());
    for (const AddressRange& tail : image.CodeSectionTails()) {
        const uintptr_t start = (tail.start + kSlotSize - 1) & ~uintptr_t{kSlotSize - 1};
        if (start >= tail.end || tail.end - start < kSlotSize)
            continue;
        Region region{reinterpret_cast<uint8_t*>(start), (tail.end - start) / kSlotSize * kSlotSize, true, {}};
        for (size_t i = region.size / kSlotSize; i > 0; --i) {
            if (IsUnusedSlot(region.base + (i - 1) * kSlotSize))
                region.freeSlots.push_back(static_cast<uint16_t>(i - 1));
        }
        if (!region.freeSlots.empty())
            regions_.push_back(std::move(region));
    }
    return RegionWithRoom(low, high, true, image.Extent().start, image.Extent().end);
}

// The region is committed writable, filled and only then made executable:
// when that last step is refused the region is released again.
DWORD TrampolineAllocator::TryReserve(uintptr_t address, uint8_t** out) const
{
    MEMORY_BASIC_INFORMATION info;
    if (::VirtualQuery(reinterpret_cast<void*>(address), &info, sizeof info) == 0 || info.State != MEM_FREE ||
        reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize < address + kRegionSize)
        return kNotHere;
    void* region = ::VirtualAlloc(reinterpret_cast<void*>(address), kRegionSize, MEM_RESERVE | MEM_COMMIT,
                                  PAGE_READWRITE);
    if (!region)
        return kNotHere;
    std::memset(region, 0xCC, kRegionSize);  // int3 wherever no code was written
    DWORD ignored;
    if (!protect_(region, kRegionSize, PAGE_EXECUTE_READ, &ignored)) {
        const DWORD error = ::GetLastError();
        ::VirtualFree(region, 0, MEM_RELEASE);
        return error != ERROR_SUCCESS && error != kNotHere ? error : ERROR_ACCESS_DENIED;  // never "go on"
    }
    *out = static_cast<uint8_t*>(region);
    return ERROR_SUCCESS;
}

// Both searches end at the first region taken, or at the first error other
// than a taken address: a refused protection will be refused everywhere.
DWORD TrampolineAllocator::SearchUp(uintptr_t from, uintptr_t to, uint8_t** region) const
{
    DWORD result = kNotHere;
    for (uintptr_t at = from; at != 0 && at <= to && result == kNotHere; at = NextAbove(at))
        result = TryReserve(at, region);
    return result;
}

DWORD TrampolineAllocator::SearchDown(uintptr_t from, uintptr_t to, uint8_t** region) const
{
    DWORD result = kNotHere;
    for (uintptr_t at = from; at >= to && result == kNotHere;) {
        result = TryReserve(at, region);
        const uintptr_t next = NextBelow(at);
        if (next >= at)
            break;
        at = next;
    }
    return result;
}

// Placement of memory of our own, when the function's image has no room.
// The band is where the system bases the libraries that processes share: any
// free address there may be the base another process already gave a library
// that this one loads later, which would then have to move. The search
// therefore keeps out of the band while anything in reach lies outside it:
// first upwards from the end of the function's own module, then downwards
// from below the module (or from the band's start). Only when the whole
// reach lies in the band does a trampoline go there, above its module.
DWORD TrampolineAllocator::AllocateRegion(uintptr_t low, uintptr_t high, uintptr_t function, Region** out)
{
    low = AlignUp(std::max(low, kLowestAddress));
    if (high < kRegionSize || low > high - kRegionSize)
        return kNotHere;
    const uintptr_t top = AlignDown(high - kRegionSize);
    const AddressRange module = ModuleOf(function);
    const uintptr_t above = std::max(AlignUp(module.end), low);
    const uintptr_t below = module.start > kRegionSize ? std::min(AlignDown(module.start) - kRegionSize, top) : 0;
    const uintptr_t bandTop = kSystemImagesStart - kRegionSize;  // the last region wholly below the band

    uint8_t* found = nullptr;
    DWORD result = SearchUp(above, std::min(top, bandTop), &found);
    if (result == kNotHere)
        result = SearchDown(std::min(below, bandTop), low, &found);
    if (result == kNotHere)
        result = SearchUp(above, top, &found);
    if (result == kNotHere)
        result = SearchDown(below, low, &found);
    if (result != ERROR_SUCCESS)
        return result;

    Region region{found, kRegionSize, false, {}};
    region.freeSlots.reserve(kSlotsPerRegion);
    for (size_t i = kSlotsPerRegion; i > 0; --i)
        region.freeSlots.push_back(static_cast<uint16_t>(i - 1));
    regions_.push_back(std::move(region));
    *out = &regions_.back();
    return ERROR_SUCCESS;
}

}  // namespace hooking
