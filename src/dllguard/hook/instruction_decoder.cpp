#include "dllguard/hook/instruction.h"

#include <Zydis/Zydis.h>

namespace hooking {
namespace {

const ZydisDecoder& Decoder64()
{
    static const ZydisDecoder decoder = [] {
        ZydisDecoder d;
        ZydisDecoderInit(&d, ZYDIS_MACHINE_MODE_LONG_64, ZYDIS_STACK_WIDTH_64);
        return d;
    }();
    return decoder;
}

Flow FlowOf(const ZydisDecodedInstruction& in)
{
    switch (in.mnemonic) {
    case ZYDIS_MNEMONIC_IRET:
    case ZYDIS_MNEMONIC_IRETD:
    case ZYDIS_MNEMONIC_IRETQ:
        return Flow::Return;
    case ZYDIS_MNEMONIC_UD0:
    case ZYDIS_MNEMONIC_UD1:
    case ZYDIS_MNEMONIC_UD2:
    case ZYDIS_MNEMONIC_HLT:
        return Flow::Trap;
    default:
        break;
    }
    switch (in.meta.category) {
    case ZYDIS_CATEGORY_RET:
        return Flow::Return;
    case ZYDIS_CATEGORY_UNCOND_BR:
        return Flow::Jump;
    case ZYDIS_CATEGORY_COND_BR:
        return Flow::ConditionalJump;
    case ZYDIS_CATEGORY_CALL:
        return Flow::Call;
    case ZYDIS_CATEGORY_INTERRUPT:
        return Flow::Trap;
    default:
        return Flow::Next;
    }
}

// Only the branch encodings we know how to rewrite are movable. Zydis also
// calls an instruction relative when it merely has a RIP-based operand.
void ClassifyBranch(const ZydisDecodedInstruction& in, Instruction* out)
{
    const auto& imm = in.raw.imm[0];
    if (!imm.is_relative)
        return;  // relative through a RIP-based memory operand only
    out->branchFieldOffset = imm.offset;
    out->branchTarget = out->address + in.length + static_cast<intptr_t>(imm.value.s);
    out->branch = BranchForm::Unsupported;
    if (in.operand_width != 64)
        return;
    const bool legacyMap = in.opcode_map == ZYDIS_OPCODE_MAP_DEFAULT;
    if (imm.size == 8 && legacyMap && in.opcode >= 0x70 && in.opcode <= 0x7F) {
        out->branch = BranchForm::Short;
        out->conditional = true;
        out->condition = in.opcode & 0x0F;
    } else if (imm.size == 8 && legacyMap && in.opcode == 0xEB) {
        out->branch = BranchForm::Short;
    } else if (imm.size == 32 && legacyMap && (in.opcode == 0xE8 || in.opcode == 0xE9)) {
        out->branch = BranchForm::Near;
    } else if (imm.size == 32 && in.opcode_map == ZYDIS_OPCODE_MAP_0F && in.opcode >= 0x80 &&
               in.opcode <= 0x8F) {
        out->branch = BranchForm::Near;
        out->conditional = true;
        out->condition = in.opcode & 0x0F;
    }
}

bool IsStackFiller(const ZydisDecodedInstruction& in, const ZydisDecodedOperand* ops)
{
    return in.mnemonic == ZYDIS_MNEMONIC_LEA && in.operand_count_visible == 2 &&
           ops[0].type == ZYDIS_OPERAND_TYPE_REGISTER && ops[0].reg.value == ZYDIS_REGISTER_RSP &&
           ops[1].type == ZYDIS_OPERAND_TYPE_MEMORY && ops[1].mem.base == ZYDIS_REGISTER_RSP &&
           ops[1].mem.index == ZYDIS_REGISTER_NONE && ops[1].mem.disp.value == 0;
}

}  // namespace

bool DecodeInstruction(const uint8_t* code, size_t available, Instruction* out)
{
    ZydisDecodedInstruction in;
    ZydisDecodedOperand ops[ZYDIS_MAX_OPERAND_COUNT];
    if (!ZYAN_SUCCESS(ZydisDecoderDecodeFull(&Decoder64(), code, available, &in, ops)))
        return false;

    *out = Instruction{};
    out->address = reinterpret_cast<uintptr_t>(code);
    out->length = in.length;
    out->flow = FlowOf(in);
    if (in.attributes & ZYDIS_ATTRIB_IS_RELATIVE)
        ClassifyBranch(in, out);

    for (unsigned i = 0; i < in.operand_count_visible; ++i) {
        const ZydisDecodedOperand& op = ops[i];
        if (op.type != ZYDIS_OPERAND_TYPE_MEMORY)
            continue;
        if (op.mem.base == ZYDIS_REGISTER_RIP || op.mem.base == ZYDIS_REGISTER_EIP) {
            out->ripRelative = true;
            out->ripRelativeMovable = op.mem.base == ZYDIS_REGISTER_RIP && in.raw.disp.size == 32;
            out->displacementOffset = in.raw.disp.offset;
            out->memoryTarget = out->address + in.length + static_cast<intptr_t>(in.raw.disp.value);
        }
    }

    out->filler = in.mnemonic == ZYDIS_MNEMONIC_NOP || IsStackFiller(in, ops);
    return true;
}

}  // namespace hooking
