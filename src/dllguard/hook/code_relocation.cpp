#include "dllguard/hook/code_relocation.h"

#include <algorithm>
#include <cstring>

#include "dllguard/hook/code_memory.h"
#include "dllguard/hook/function_extent.h"

namespace hooking {
namespace {

// How far the following code is searched for branches back into the patch:
// up to the first return, trap or undecodable byte, at most this many
// instructions.
constexpr size_t kLookAheadInstructions = 64;
constexpr size_t kLookAheadBytes = 512;

// Distance that leaves room for the few dozen bytes of a trampoline slot.
constexpr uintptr_t kReach = 0x7FFF0000;

constexpr size_t kMaxInstructionLength = 15;
constexpr uint8_t kInt3 = 0xCC;

bool Inside(const MovedCode& plan, uintptr_t address)
{
    const auto body = reinterpret_cast<uintptr_t>(plan.body);
    return address >= body && address < body + plan.length;
}

// Index of the moved instruction starting at `address`, or -1.
int BoundaryIndex(const MovedCode& plan, uintptr_t address)
{
    for (size_t i = 0; i < plan.count; ++i) {
        if (plan.instructions[i].address == address)
            return static_cast<int>(i);
    }
    return -1;
}

bool IsBranch(const Instruction& in)
{
    return in.branch == BranchForm::Short || in.branch == BranchForm::Near;
}

// An unconditional jump out of the moved code (another product's hook, say)
// becomes an absolute jump: it reaches its destination from anywhere, so the
// trampoline need not lie near that too.
bool JumpsAway(const MovedCode& plan, const Instruction& in)
{
    return in.flow == Flow::Jump && IsBranch(in) && !Inside(plan, in.branchTarget);
}

DWORD CheckBranchesInside(const MovedCode& plan)
{
    for (size_t i = 0; i < plan.count; ++i) {
        const Instruction& in = plan.instructions[i];
        const bool last = i + 1 == plan.count;
        if (in.flow == Flow::Jump && !last &&
            !(IsBranch(in) && Inside(plan, in.branchTarget)))
            return ERROR_INVALID_BLOCK;  // the bytes after it may belong to something else
        if (IsBranch(in) && Inside(plan, in.branchTarget) && BoundaryIndex(plan, in.branchTarget) < 0)
            return ERROR_INVALID_BLOCK;
    }
    return ERROR_SUCCESS;
}

bool BranchesIntoPatch(const MovedCode& plan, const Instruction& in)
{
    const auto body = reinterpret_cast<uintptr_t>(plan.body);
    return in.branch != BranchForm::None && in.branchTarget > body && Inside(plan, in.branchTarget);
}

// Without unwind data: the code after the displaced bytes up to the first
// return, trap or undecodable byte, at most this many instructions.
DWORD CheckFollowingCode(const MovedCode& plan)
{
    const uint8_t* at = plan.body + plan.length;
    size_t available = ReadableBytes(at, kLookAheadBytes);
    for (size_t n = 0; n < kLookAheadInstructions && available > 0; ++n) {
        Instruction in;
        if (!DecodeInstruction(at, available, &in))
            break;
        if (BranchesIntoPatch(plan, in))
            return ERROR_INVALID_BLOCK;
        if (in.flow == Flow::Return || in.flow == Flow::Trap)
            break;
        at += in.length;
        available -= in.length;
    }
    return ERROR_SUCCESS;
}

// Every instruction of one range of the function, the displaced ones left
// out. A byte that does not decode (data, padding) is stepped over; should
// that misread what follows, the worst outcome is a refused hook.
DWORD CheckRange(const MovedCode& plan, const AddressRange& range)
{
    const auto body = reinterpret_cast<uintptr_t>(plan.body);
    const AddressRange moved{body, body + plan.length};
    for (uintptr_t at = range.start; at < range.end;) {
        if (moved.Contains(at)) {
            at = moved.end;
            continue;
        }
        Instruction in;
        if (!DecodeInstruction(reinterpret_cast<const uint8_t*>(at), range.end - at, &in)) {
            ++at;
            continue;
        }
        if (BranchesIntoPatch(plan, in))
            return ERROR_INVALID_BLOCK;
        at += in.length;
    }
    return ERROR_SUCCESS;
}

// A branch from the rest of the function into the displaced bytes (a loop
// back to the second instruction, say) would land in the middle of the
// patch. Where unwind data tells the function's real extent, all of it is
// searched, returns and cold fragments included.
DWORD CheckNoBranchesBack(const MovedCode& plan)
{
    const std::vector<AddressRange> extent = FunctionExtent(plan.body);
    if (extent.empty())
        return CheckFollowingCode(plan);
    for (const AddressRange& range : extent) {
        if (DWORD error = CheckRange(plan, range))
            return error;
    }
    return ERROR_SUCCESS;
}

void ComputeReach(MovedCode* plan)
{
    const auto body = reinterpret_cast<uintptr_t>(plan->body);
    uintptr_t lowest = body;
    uintptr_t highest = body + plan->length;
    for (size_t i = 0; i < plan->count; ++i) {
        const Instruction& in = plan->instructions[i];
        if (IsBranch(in) && !Inside(*plan, in.branchTarget) && !JumpsAway(*plan, in)) {
            lowest = std::min(lowest, in.branchTarget);
            highest = std::max(highest, in.branchTarget);
        }
        if (in.ripRelative) {
            lowest = std::min(lowest, in.memoryTarget);
            highest = std::max(highest, in.memoryTarget);
        }
    }
    plan->reachLow = highest > kReach ? highest - kReach : 0;
    plan->reachHigh = lowest + kReach;
}

size_t RelocatedLength(const MovedCode& plan, const Instruction& in)
{
    if (JumpsAway(plan, in))
        return kJumpAbsoluteSize;
    if (in.branch == BranchForm::Short)
        return in.conditional ? 6 : kJumpRel32Size;  // 0F 8x rel32 or E9 rel32
    return in.length;
}

}  // namespace

DWORD PlanMove(uint8_t* body, MovedCode* plan)
{
    *plan = MovedCode{};
    plan->body = body;
    const size_t readable = ReadableBytes(body, kMaxMovedBytes);
    while (plan->length < kPatchSize) {
        Instruction in;
        if (plan->length >= readable ||
            !DecodeInstruction(body + plan->length, readable - plan->length, &in))
            return ERROR_INVALID_BLOCK;
        if (in.flow == Flow::Return || in.flow == Flow::Trap || in.branch == BranchForm::Unsupported ||
            (in.ripRelative && !in.ripRelativeMovable))
            return ERROR_INVALID_BLOCK;
        plan->instructions[plan->count++] = in;
        plan->length += in.length;
        // Nothing runs after an unconditional jump: int3 padding behind it
        // (a short jump stub, say) may go under the patch.
        if (in.flow == Flow::Jump && plan->length < kPatchSize) {
            size_t padded = plan->length;
            while (padded < kPatchSize && padded < readable && body[padded] == kInt3)
                ++padded;
            if (padded == kPatchSize) {
                plan->length = padded;
                break;
            }
            // A lone jmp rel8 away from the bytes a patch would cover: what
            // follows it may be code reached from elsewhere, and stays as it is.
            const auto start = reinterpret_cast<uintptr_t>(body);
            if (plan->count == 1 && in.branch == BranchForm::Short && !in.conditional &&
                (in.branchTarget < start || in.branchTarget >= start + kPatchSize)) {
                plan->shortEntry = true;
                break;
            }
        }
    }
    if (plan->length < kPatchSize && !plan->shortEntry)
        return ERROR_INVALID_BLOCK;
    static_assert(kMaxInstructionLength + kPatchSize - 1 <= kMaxMovedBytes);
    if (DWORD error = CheckBranchesInside(*plan))
        return error;
    if (DWORD error = CheckNoBranchesBack(*plan))
        return error;
    ComputeReach(plan);
    return ERROR_SUCCESS;
}

DWORD RelocateCode(const MovedCode& plan, uintptr_t destination, RelocatedCode* out)
{
    *out = RelocatedCode{};
    size_t offset = 0;
    for (size_t i = 0; i < plan.count; ++i) {
        out->original[i] = static_cast<uint8_t>(plan.instructions[i].address -
                                                reinterpret_cast<uintptr_t>(plan.body));
        out->relocated[i] = static_cast<uint8_t>(offset);
        offset += RelocatedLength(plan, plan.instructions[i]);
    }
    out->original[plan.count] = static_cast<uint8_t>(plan.length);
    out->relocated[plan.count] = static_cast<uint8_t>(offset);
    out->boundaries = plan.count + 1;
    out->length = offset + kJumpRel32Size;
    if (out->length > RelocatedCode::kCapacity)
        return ERROR_INVALID_BLOCK;

    for (size_t i = 0; i < plan.count; ++i) {
        const Instruction& in = plan.instructions[i];
        uint8_t* code = out->bytes + out->relocated[i];
        const uintptr_t at = destination + out->relocated[i];
        const size_t length = RelocatedLength(plan, in);
        int32_t field;

        if (JumpsAway(plan, in)) {
            EncodeJumpAbsolute(code, in.branchTarget);
        } else if (IsBranch(in)) {
            uintptr_t target = in.branchTarget;
            const int inside = Inside(plan, target) ? BoundaryIndex(plan, target) : -1;
            if (inside >= 0)
                target = destination + out->relocated[inside];
            if (!Rel32(at + length, target, &field))
                return ERROR_INVALID_BLOCK;
            if (in.branch == BranchForm::Short) {
                if (in.conditional) {
                    code[0] = 0x0F;
                    code[1] = static_cast<uint8_t>(0x80 | in.condition);
                } else {
                    code[0] = 0xE9;
                }
                std::memcpy(code + length - sizeof field, &field, sizeof field);
            } else {
                std::memcpy(code, reinterpret_cast<const void*>(in.address), in.length);
                std::memcpy(code + in.branchFieldOffset, &field, sizeof field);
            }
        } else {
            std::memcpy(code, reinterpret_cast<const void*>(in.address), in.length);
            if (in.ripRelative) {
                if (!Rel32(at + length, in.memoryTarget, &field))
                    return ERROR_INVALID_BLOCK;
                std::memcpy(code + in.displacementOffset, &field, sizeof field);
            }
        }
    }

    const uintptr_t back = destination + offset;
    if (!EncodeJumpRel32(out->bytes + offset, back, reinterpret_cast<uintptr_t>(plan.body) + plan.length))
        return ERROR_INVALID_BLOCK;
    return ERROR_SUCCESS;
}

}  // namespace hooking
