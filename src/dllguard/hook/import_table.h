#pragma once
// Whether a pointer slot is one the loader has filled: an entry of the import
// address table, or a bound entry of a delay-load import address table.
#include <cstdint>

namespace hooking {

// True when the 8-byte slot at `slot` lies in an import address table of the
// image that contains `code` (the instruction that jumps through it) and
// holds its function's address. A delay-load entry not yet bound holds the
// address of the image's own helper stub instead, which is the image's code
// and not the function: false for it.
bool IsBoundImportSlot(const void* code, uintptr_t slot);

}  // namespace hooking
