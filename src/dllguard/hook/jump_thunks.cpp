#include "dllguard/hook/jump_thunks.h"

#include "dllguard/hook/code_memory.h"
#include "dllguard/hook/instruction.h"

namespace hooking {
namespace {

constexpr int kMaxHops = 8;
constexpr size_t kMaxFillerBytes = 16;
constexpr size_t kDecodeWindow = 32;

// The destination of the thunk at `code`, or null when `code` is no thunk.
uint8_t* ThunkDestination(const uint8_t* code)
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
    if (in.flow != Flow::Jump)
        return nullptr;
    if (in.branch == BranchForm::Short || in.branch == BranchForm::Near)
        return reinterpret_cast<uint8_t*>(in.branchTarget);
    if (in.ripRelative && in.ripRelativeMovable) {
        const void* slot = reinterpret_cast<const void*>(in.memoryTarget);
        if (ReadableBytes(slot, sizeof(void*)) < sizeof(void*))
            return nullptr;
        return *static_cast<uint8_t* const volatile*>(slot);
    }
    return nullptr;
}

}  // namespace

uint8_t* FollowJumpThunks(uint8_t* code, StopPredicate stop, const void* context)
{
    for (int hop = 0; hop < kMaxHops; ++hop) {
        if (stop && stop(code, context))
            break;
        uint8_t* next = ThunkDestination(code);
        if (!next)
            break;
        code = next;
    }
    return code;
}

}  // namespace hooking
