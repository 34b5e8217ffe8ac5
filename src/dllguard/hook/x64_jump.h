#pragma once
// Encodings of the x86-64 jumps the engine writes.
#include <cstdint>
#include <cstring>

namespace hooking {

constexpr size_t kJumpRel32Size = 5;       // E9 rel32
constexpr size_t kJumpIndirectSize = 6;    // FF 25 rel32: jmp [rip+rel32]
constexpr size_t kJumpAbsoluteSize = kJumpIndirectSize + 8;  // jmp [rip+0], then the destination

// The rel32 field of an instruction that ends at `next` and refers to `target`,
// or false when the distance does not fit.
inline bool Rel32(uintptr_t next, uintptr_t target, int32_t* out)
{
    const int64_t distance = static_cast<int64_t>(target - next);
    if (distance < INT32_MIN || distance > INT32_MAX)
        return false;
    *out = static_cast<int32_t>(distance);
    return true;
}

inline bool Reachable(uintptr_t next, uintptr_t target)
{
    int32_t ignored;
    return Rel32(next, target, &ignored);
}

// jmp rel32 placed at `at` (written to `out`, which may be a copy elsewhere).
inline bool EncodeJumpRel32(uint8_t* out, uintptr_t at, uintptr_t target)
{
    int32_t rel;
    if (!Rel32(at + kJumpRel32Size, target, &rel))
        return false;
    out[0] = 0xE9;
    std::memcpy(out + 1, &rel, sizeof rel);
    return true;
}

// jmp [rip+0] followed by the 8-byte destination: reaches anywhere.
inline void EncodeJumpAbsolute(uint8_t* out, uintptr_t target)
{
    const uint8_t jump[kJumpIndirectSize] = {0xFF, 0x25, 0, 0, 0, 0};
    std::memcpy(out, jump, sizeof jump);
    const uint64_t destination = target;
    std::memcpy(out + kJumpIndirectSize, &destination, sizeof destination);
}

}  // namespace hooking
