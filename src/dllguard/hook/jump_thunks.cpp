#include "dllguard/hook/jump_thunks.h"

#include <cstring>

#include "dllguard/hook/code_memory.h"
#include "dllguard/hook/import_table.h"
#include "dllguard/hook/instruction.h"
#include "dllguard/hook/x64_jump.h"

namespace hooking {
namespace {

constexpr int kMaxHops = 8;
constexpr size_t kMaxFillerBytes = 16;
constexpr size_t kDecodeWindow = 32;

// EB F9 at the function, E9 rel32 in the five bytes before it.
uint8_t* HotPatchDestination(const uint8_t* code)
{
    const uint8_t* longJump = code - kJumpRel32Size;
    if (ReadableBytes(longJump, kJumpRel32Size + 2) < kJumpRel32Size + 2 || code[0] != 0xEB ||
        code[1] != 0xF9 || longJump[0] != 0xE9)
        return nullptr;
    int32_t rel;
    std::memcpy(&rel, longJump + 1, sizeof rel);
    return const_cast<uint8_t*>(code) + rel;
}

uint8_t* ImportThunkDestination(const uint8_t* code)
{
    const size_t readable = ReadableBytes(code, kDecodeWindow);
    size_t offset = 0;
    Instruction in;
    for (;;) {
        if (offset >= readable || !DecodeInstruction(code + offset, readable - offset, &in))
            return nullptr;
        if (!in.filler)
            break;
        offset += in.length;
        if (offset > kMaxFillerBytes)
            return nullptr;
    }
    if (in.flow != Flow::Jump || in.branch != BranchForm::None || !in.ripRelative || !in.ripRelativeMovable)
        return nullptr;
    if (!IsBoundImportSlot(code + offset, in.memoryTarget))
        return nullptr;
    return *reinterpret_cast<uint8_t* const volatile*>(in.memoryTarget);  // null when unbound
}

}  // namespace

uint8_t* FollowJumpThunks(uint8_t* code, StopPredicate stop, const void* context)
{
    for (int hop = 0; hop < kMaxHops; ++hop) {
        if (stop && stop(code, context))
            break;
        uint8_t* next = HotPatchDestination(code);
        if (!next)
            next = ImportThunkDestination(code);
        if (!next)
            break;
        code = next;
    }
    return code;
}

}  // namespace hooking
