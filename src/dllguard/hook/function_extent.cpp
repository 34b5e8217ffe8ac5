#include "dllguard/hook/function_extent.h"

namespace hooking {
namespace {

// Chains are short in practice; the bound only stops a corrupt loop.
constexpr int kMaxChainDepth = 32;
constexpr size_t kUnwindHeaderSize = 4;

// The entry a chained entry continues; null for a primary entry.
const RUNTIME_FUNCTION* ChainParent(const MappedImage& image, const RUNTIME_FUNCTION& entry)
{
    DWORD unwind = entry.UnwindData;
    if (unwind & RUNTIME_FUNCTION_INDIRECT)  // the field names another entry, not unwind info
        return static_cast<const RUNTIME_FUNCTION*>(image.At(unwind & ~DWORD{RUNTIME_FUNCTION_INDIRECT},
                                                             sizeof(RUNTIME_FUNCTION)));
    const auto* header = static_cast<const uint8_t*>(image.At(unwind, kUnwindHeaderSize));
    if (!header || ((header[0] >> 3) & UNW_FLAG_CHAININFO) == 0)
        return nullptr;
    const size_t codes = (header[2] + 1u) & ~1u;  // unwind codes are padded to an even count
    return static_cast<const RUNTIME_FUNCTION*>(
        image.At(static_cast<DWORD>(unwind + kUnwindHeaderSize + codes * 2), sizeof(RUNTIME_FUNCTION)));
}

const RUNTIME_FUNCTION* Primary(const MappedImage& image, const RUNTIME_FUNCTION* entry)
{
    for (int depth = 0; entry && depth < kMaxChainDepth; ++depth) {
        const RUNTIME_FUNCTION* parent = ChainParent(image, *entry);
        if (!parent)
            return entry;
        entry = parent;
    }
    return nullptr;
}

bool SameFunction(const RUNTIME_FUNCTION& a, const RUNTIME_FUNCTION& b)
{
    return a.BeginAddress == b.BeginAddress && a.EndAddress == b.EndAddress;
}

void Add(const MappedImage& image, const RUNTIME_FUNCTION& entry, std::vector<AddressRange>* out)
{
    if (entry.EndAddress > entry.BeginAddress && image.At(entry.BeginAddress, entry.EndAddress - entry.BeginAddress))
        out->push_back({image.base() + entry.BeginAddress, image.base() + entry.EndAddress});
}

}  // namespace

std::vector<AddressRange> FunctionExtent(const void* address)
{
    std::vector<AddressRange> ranges;
    MappedImage image;
    if (!image.Open(address))
        return ranges;
    DWORD64 base = 0;
    const RUNTIME_FUNCTION* found = ::RtlLookupFunctionEntry(reinterpret_cast<DWORD64>(address), &base, nullptr);
    if (!found || base != image.base())
        return ranges;
    const RUNTIME_FUNCTION* primary = Primary(image, found);
    if (!primary)
        return ranges;
    Add(image, *primary, &ranges);

    // Fragments point at their primary entry; only a walk of the whole table finds them.
    const AddressRange table = image.Directory(IMAGE_DIRECTORY_ENTRY_EXCEPTION);
    const auto* entries = reinterpret_cast<const RUNTIME_FUNCTION*>(table.start);
    const size_t count = (table.end - table.start) / sizeof(RUNTIME_FUNCTION);
    for (size_t i = 0; i < count; ++i) {
        if (SameFunction(entries[i], *primary))
            continue;
        const RUNTIME_FUNCTION* root = ChainParent(image, entries[i]) ? Primary(image, &entries[i]) : nullptr;
        if (root && SameFunction(*root, *primary))
            Add(image, entries[i], &ranges);
    }
    return ranges;
}

}  // namespace hooking
