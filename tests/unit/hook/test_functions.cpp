#include "test_functions.h"

// Written in assembly so that each prologue is exactly the one under test.
asm(R"(
    .intel_syntax noprefix

    .data
    .p2align 3
    .globl hk_data_value
hk_data_value: .long 40
    .globl hk_table
hk_table: .long 10, 20, 30, 40
hk_wine_thunk_slot: .quad hk_body_a
hk_import_thunk_slot: .quad hk_body_b

    .text
    .p2align 4
    .globl hk_rip_load
hk_rip_load:
    mov eax, dword ptr [rip + hk_data_value]
    add eax, ecx
    ret

    .p2align 4
    .globl hk_lea_rip
hk_lea_rip:
    lea rax, [rip + hk_table]
    movsxd rcx, ecx
    mov eax, dword ptr [rax + rcx * 4]
    ret

    .p2align 4
    .globl hk_jcc_out
hk_jcc_out:
    test ecx, ecx
    .byte 0x78, 1f - . - 1          # js 1f (rel8)
    lea eax, [rcx + rcx]
    ret
1:  mov eax, -1
    ret

    .p2align 4
    .globl hk_jmp_in
hk_jmp_in:
    xor eax, eax
    .byte 0xEB, 0x00                # jmp to the next instruction
    mov eax, ecx
    add eax, 11
    ret

    .p2align 4
    .globl hk_loop_in
hk_loop_in:
1:  add edx, ecx
    dec ecx
    .byte 0x75, 1b - . - 1          # jnz 1b (rel8)
    mov eax, edx
    ret

    .p2align 4
    .globl hk_call_first
hk_call_first:
    .byte 0xE8
    .long hk_double - . - 4         # call rel32
    add eax, 1
    ret
hk_double:
    lea eax, [rcx + rcx]
    ret

    .p2align 4
    .globl hk_long_first
hk_long_first:
    lea eax, [rcx + 0x12345678]
    ret

    .p2align 4
    .fill 6, 1, 0x90
    .globl hk_at_16_6
hk_at_16_6:
    lea eax, [rcx + 6]
    nop
    nop
    ret

    .p2align 4
    .fill 13, 1, 0x90
    .globl hk_at_16_13
hk_at_16_13:
    lea eax, [rcx + 13]
    nop
    nop
    ret

    .p2align 4
    .globl hk_wine_thunk
hk_wine_thunk:
    .byte 0x48, 0x8D, 0xA4, 0x24, 0x00, 0x00, 0x00, 0x00   # lea rsp,[rsp+0]
    jmp qword ptr [rip + hk_wine_thunk_slot]

    .p2align 4
    .globl hk_import_thunk
hk_import_thunk:
    jmp qword ptr [rip + hk_import_thunk_slot]

    .p2align 4
    .globl hk_rel32_thunk
hk_rel32_thunk:
    .byte 0xE9
    .long hk_body_c - . - 4

    .p2align 4
    .globl hk_short_thunk
hk_short_thunk:
    .byte 0xEB, hk_body_d - . - 1

    .p2align 4
    .globl hk_body_d
hk_body_d:
    lea eax, [rcx + rcx * 4]
    nop
    nop
    ret

    .p2align 4
    .globl hk_body_a
hk_body_a:
    mov eax, ecx
    imul eax, eax, 3
    ret

    .p2align 4
    .globl hk_body_b
hk_body_b:
    mov eax, ecx
    sub eax, 4
    ret

    .p2align 4
    .globl hk_body_c
hk_body_c:
    mov eax, ecx
    xor eax, 0x5A
    ret

    .p2align 4
    .globl hk_too_short
hk_too_short:
    mov eax, ecx
    ret
    .fill 14, 1, 0xCC

    .p2align 4
    .globl hk_ret_inside
hk_ret_inside:
    xor eax, eax
    inc eax
    ret
    .fill 12, 1, 0x90

    .p2align 4
    .globl hk_loop_back
hk_loop_back:
    xor eax, eax
1:  add eax, 3
    dec ecx
    .byte 0x75, 1b - . - 1          # jnz 1b (rel8)
    ret

    .p2align 4
    .globl hk_jrcxz_first
hk_jrcxz_first:
    jrcxz 1f
    mov eax, 1
    ret
1:  xor eax, eax
    ret

    .p2align 4
    .globl hk_jmp_away
hk_jmp_away:
    xor eax, eax
    .byte 0xEB, 1f - . - 1          # jmp 1f (rel8)
    nop
    nop
    nop
    nop
1:  ret

    .p2align 4
    .globl hk_int3_inside
hk_int3_inside:
    mov eax, ecx
    int3
    nop
    nop
    ret

    .p2align 4
    .globl hk_gate_wait
hk_gate_wait:
1:  cmp byte ptr [rcx], 0
    .byte 0x74, 1b - . - 1          # je 1b (rel8)
    mov eax, 0x77
    ret

    .att_syntax
)");
