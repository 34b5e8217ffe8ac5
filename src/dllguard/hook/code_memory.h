#pragma once
// Reading and rewriting code in this process.
#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace hooking {

// How many of the `wanted` bytes from `address` on can be read (committed,
// readable pages), so that decoding never touches an unmapped page.
size_t ReadableBytes(const void* address, size_t wanted);

// The readable region (pages of one protection) that `address` lies in, as
// [*start, *end); false when the address is not readable.
bool ReadableRegion(const void* address, uintptr_t* start, uintptr_t* end);

// Writes `size` bytes of code at `destination`: makes its pages writable
// (never taking execute away from them, other threads may be running there),
// stores the bytes, restores each page's protection and flushes the
// instruction cache. Bytes inside one aligned 8- or 16-byte block are stored
// in one atomic operation, so a thread running through them sees either the
// old or the new instruction. Returns a Windows error code.
DWORD WriteCode(void* destination, const void* source, size_t size);

}  // namespace hooking
