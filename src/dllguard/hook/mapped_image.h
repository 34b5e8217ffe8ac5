#pragma once
// The headers of an image mapped in this process, read defensively: the
// engine looks at whatever module a jump or a function lies in.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace hooking {

struct AddressRange {
    uintptr_t start = 0;
    uintptr_t end = 0;  // one past the last byte
    bool Contains(uintptr_t address, size_t size = 1) const
    {
        return address >= start && address < end && size <= end - address;
    }
};

class MappedImage {
public:
    // The image `address` lies in; false when it lies in none or the
    // headers are not those of a 64-bit image.
    bool Open(const void* address);

    uintptr_t base() const { return base_; }
    AddressRange Extent() const { return {base_, base_ + headers_->OptionalHeader.SizeOfImage}; }
    // A data directory as an address range inside the image; empty when the
    // image has none or it does not fit in the image.
    AddressRange Directory(unsigned index) const;
    // `size` bytes at `rva` when they lie inside the image, else null.
    const void* At(DWORD rva, size_t size) const;
    // The unused ends of the image's executable sections: from the end of
    // each one's content to its alignment boundary (or the next section,
    // or the end of the image). Mapped with the section, holding nothing.
    std::vector<AddressRange> CodeSectionTails() const;

private:
    uintptr_t base_ = 0;
    const IMAGE_NT_HEADERS64* headers_ = nullptr;
    // The last region found readable: a walk of a table reads one section
    // after another, with one query per section instead of per read.
    mutable AddressRange readable_;
};

}  // namespace hooking
