#pragma once
// One decoded x86-64 instruction, reduced to what moving it elsewhere needs:
// its length, how it changes the flow of control, and the fields that are
// relative to its own address.
#include <cstddef>
#include <cstdint>

namespace hooking {

enum class Flow : uint8_t {
    Next,             // falls through to the next instruction
    Call,             // returns to the next instruction
    ConditionalJump,  // may fall through
    Jump,             // never falls through (jmp of any form)
    Return,           // ret, iret
    Trap,             // int3, int n, ud2, hlt: never falls through
};

enum class BranchForm : uint8_t {
    None,
    Short,        // jcc rel8 or jmp rel8: can be widened to rel32
    Near,         // jcc rel32, jmp rel32 or call rel32: the rel32 field is rewritten in place
    Unsupported,  // loop, jrcxz, xbegin, 16-bit branches: cannot be moved
};

struct Instruction {
    uintptr_t address = 0;
    uint8_t length = 0;
    Flow flow = Flow::Next;

    BranchForm branch = BranchForm::None;
    uint8_t branchFieldOffset = 0;  // where the relative field starts
    uintptr_t branchTarget = 0;
    uint8_t condition = 0;          // low four opcode bits of a jcc (Short and Near)
    bool conditional = false;       // a jcc rather than a jmp or call

    bool ripRelative = false;       // a memory operand addressed from the next instruction
    bool ripRelativeMovable = false;  // ... through a 32-bit displacement we can rewrite
    uint8_t displacementOffset = 0;
    uintptr_t memoryTarget = 0;

    // Does nothing: a nop of any length or the hot-patch filler lea rsp,[rsp+0].
    bool filler = false;
};

// Decodes the instruction at `code` (which runs at `code` too), reading at most
// `available` bytes. False when the bytes are no valid 64-bit instruction.
bool DecodeInstruction(const uint8_t* code, size_t available, Instruction* out);

}  // namespace hooking
