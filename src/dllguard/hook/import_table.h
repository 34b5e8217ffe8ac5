#pragma once
// Whether a pointer slot is one the loader fills: an entry of the import
// address table or of a delay-load import address table.
#include <cstdint>

namespace hooking {

// True when the 8-byte slot at `slot` lies in an import address table of the
// image that contains `code` (the instruction that jumps through it).
bool IsImportAddressSlot(const void* code, uintptr_t slot);

}  // namespace hooking
