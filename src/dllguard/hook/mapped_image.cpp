#include "dllguard/hook/mapped_image.h"

#include "dllguard/hook/code_memory.h"

#include <algorithm>

namespace hooking {
namespace {

constexpr LONG kMaxHeaderOffset = 0x1000;
constexpr size_t kMaxSections = 96;  // the loader's own limit

}  // namespace

bool MappedImage::Open(const void* address)
{
    base_ = 0;
    headers_ = nullptr;
    readable_ = {};
    MEMORY_BASIC_INFORMATION info;
    if (::VirtualQuery(address, &info, sizeof info) == 0 || info.Type != MEM_IMAGE || !info.AllocationBase)
        return false;
    const auto* dos = static_cast<const IMAGE_DOS_HEADER*>(info.AllocationBase);
    if (ReadableBytes(dos, sizeof *dos) < sizeof *dos || dos->e_magic != IMAGE_DOS_SIGNATURE ||
        dos->e_lfanew <= 0 || dos->e_lfanew > kMaxHeaderOffset)
        return false;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(reinterpret_cast<const uint8_t*>(dos) + dos->e_lfanew);
    if (ReadableBytes(nt, sizeof *nt) < sizeof *nt || nt->Signature != IMAGE_NT_SIGNATURE ||
        nt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC)
        return false;
    base_ = reinterpret_cast<uintptr_t>(dos);
    headers_ = nt;
    return true;
}

AddressRange MappedImage::Directory(unsigned index) const
{
    const IMAGE_OPTIONAL_HEADER64& optional = headers_->OptionalHeader;
    if (index >= optional.NumberOfRvaAndSizes || index >= IMAGE_NUMBEROF_DIRECTORY_ENTRIES)
        return {};
    const IMAGE_DATA_DIRECTORY& entry = optional.DataDirectory[index];
    if (entry.VirtualAddress == 0 || entry.Size == 0 || !At(entry.VirtualAddress, entry.Size))
        return {};
    return {base_ + entry.VirtualAddress, base_ + entry.VirtualAddress + entry.Size};
}

const void* MappedImage::At(DWORD rva, size_t size) const
{
    const size_t imageSize = headers_->OptionalHeader.SizeOfImage;
    if (rva >= imageSize || size > imageSize - rva)
        return nullptr;
    const uintptr_t start = base_ + rva;
    const void* address = reinterpret_cast<const void*>(start);
    if (readable_.Contains(start, size))
        return address;
    if (!ReadableRegion(address, &readable_.start, &readable_.end)) {
        readable_ = {};
        return nullptr;
    }
    if (readable_.Contains(start, size))
        return address;
    return ReadableBytes(address, size) == size ? address : nullptr;
}

std::vector<AddressRange> MappedImage::CodeSectionTails() const
{
    std::vector<AddressRange> tails;
    const size_t count = headers_->FileHeader.NumberOfSections;
    const auto* sections = reinterpret_cast<const IMAGE_SECTION_HEADER*>(
        reinterpret_cast<const uint8_t*>(&headers_->OptionalHeader) + headers_->FileHeader.SizeOfOptionalHeader);
    if (count > kMaxSections || ReadableBytes(sections, count * sizeof *sections) < count * sizeof *sections)
        return tails;
    const uint64_t alignment = headers_->OptionalHeader.SectionAlignment;
    const uint64_t imageSize = headers_->OptionalHeader.SizeOfImage;
    if (alignment == 0 || (alignment & (alignment - 1)) != 0)
        return tails;
    for (size_t i = 0; i < count; ++i) {
        const IMAGE_SECTION_HEADER& section = sections[i];
        if (!(section.Characteristics & IMAGE_SCN_MEM_EXECUTE))
            continue;
        const uint64_t start = uint64_t{section.VirtualAddress} + section.Misc.VirtualSize;
        uint64_t end = std::min((start + alignment - 1) & ~(alignment - 1), imageSize);
        for (size_t j = 0; j < count; ++j) {
            if (sections[j].VirtualAddress > section.VirtualAddress)
                end = std::min<uint64_t>(end, sections[j].VirtualAddress);
        }
        if (start < end)
            tails.push_back({base_ + static_cast<uintptr_t>(start), base_ + static_cast<uintptr_t>(end)});
    }
    return tails;
}

}  // namespace hooking
