#include "dllguard/hook/import_table.h"

#include "dllguard/hook/mapped_image.h"

namespace hooking {
namespace {

// Bounds a table the image itself describes, should it be corrupt.
constexpr size_t kMaxDescriptors = 4096;
constexpr size_t kMaxEntries = 65536;

// An image address from a delay-load field: an RVA, or in the oldest form
// a virtual address.
DWORD DelayRva(const MappedImage& image, const IMAGE_DELAYLOAD_DESCRIPTOR& d, DWORD field)
{
    if (d.Attributes.AllAttributes & 1)
        return field;
    const uintptr_t base = image.base();
    return field >= base && field - base <= MAXDWORD ? static_cast<DWORD>(field - base) : 0;
}

// The slots of one delay-load table, counted on its name table (the address
// table itself changes as the loader binds it).
bool InDelayTable(const MappedImage& image, const IMAGE_DELAYLOAD_DESCRIPTOR& d, uintptr_t slot)
{
    const DWORD iat = DelayRva(image, d, d.ImportAddressTableRVA);
    const DWORD names = DelayRva(image, d, d.ImportNameTableRVA);
    if (iat == 0 || names == 0)
        return false;
    const uintptr_t first = image.base() + iat;
    if (slot < first || (slot - first) % sizeof(ULONGLONG) != 0)
        return false;
    const size_t index = (slot - first) / sizeof(ULONGLONG);
    if (index >= kMaxEntries)
        return false;
    for (size_t i = 0; i <= index; ++i) {
        const auto* name = static_cast<const ULONGLONG*>(
            image.At(static_cast<DWORD>(names + i * sizeof(ULONGLONG)), sizeof(ULONGLONG)));
        if (!name || *name == 0)
            return false;
    }
    return image.At(static_cast<DWORD>(iat + index * sizeof(ULONGLONG)), sizeof(ULONGLONG)) != nullptr;
}

bool InDelayTables(const MappedImage& image, uintptr_t slot)
{
    const AddressRange directory = image.Directory(IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT);
    const size_t count = (directory.end - directory.start) / sizeof(IMAGE_DELAYLOAD_DESCRIPTOR);
    const auto* descriptors = reinterpret_cast<const IMAGE_DELAYLOAD_DESCRIPTOR*>(directory.start);
    for (size_t i = 0; i < count && i < kMaxDescriptors; ++i) {
        if (descriptors[i].DllNameRVA == 0)
            break;
        if (InDelayTable(image, descriptors[i], slot))
            return true;
    }
    return false;
}

}  // namespace

bool IsBoundImportSlot(const void* code, uintptr_t slot)
{
    MappedImage image;
    if (!image.Open(code))
        return false;
    if (image.Directory(IMAGE_DIRECTORY_ENTRY_IAT).Contains(slot, sizeof(ULONGLONG)))
        return true;
    if (!InDelayTables(image, slot))
        return false;
    // Bound, it leads into another module; unbound, into this image's helper.
    const uintptr_t destination = *reinterpret_cast<const volatile uintptr_t*>(slot);
    return destination != 0 && !image.Extent().Contains(destination);
}

}  // namespace hooking
