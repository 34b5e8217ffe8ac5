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
    .globl hk_import_thunk_slot
hk_import_thunk_slot: .quad hk_body_b
hk_cookie_value: .quad 0x2B992DDFA232
hk_cfg_check_slot: .quad hk_cfg_checker

    # A delay-load import of one function, for a test to enter into the
    # image's directory: its address table, name table and descriptor.
    .p2align 3
    .globl hk_delay_iat
hk_delay_iat: .quad hk_body_b, 0
    .globl hk_delay_bound
hk_delay_bound: .quad 0
hk_delay_names: .quad 0x8000000000000001, 0
hk_delay_handle: .quad 0
hk_delay_dll: .asciz "none.dll"
    .p2align 2
    .globl hk_delay_descriptors
hk_delay_descriptors:
    .long 1                                          # the fields are RVAs
    .rva hk_delay_dll, hk_delay_handle, hk_delay_iat, hk_delay_names
    .long 0, 0, 0
    .fill 32, 1, 0                                   # the end of the list

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
    .globl hk_save_rbx
    .seh_proc hk_save_rbx
hk_save_rbx:
    mov qword ptr [rsp + 8], rbx
    push rdi
    .seh_pushreg rdi
    sub rsp, 0x20
    .seh_stackalloc 0x20
    .seh_endprologue
    mov ebx, ecx
    mov edi, edx
    lea eax, [rbx + rdi * 2]
    add rsp, 0x20
    pop rdi
    mov rbx, qword ptr [rsp + 8]
    ret
    .seh_endproc

    .p2align 4
    .globl hk_r11_frame
    .seh_proc hk_r11_frame
hk_r11_frame:
    mov r11, rsp
    mov qword ptr [r11 + 8], rbx
    mov qword ptr [r11 + 16], rsi
    push rdi
    .seh_pushreg rdi
    sub rsp, 0x30
    .seh_stackalloc 0x30
    .seh_endprologue
    mov ebx, ecx
    mov esi, edx
    mov eax, ebx
    imul eax, esi
    inc eax
    add rsp, 0x30
    pop rdi
    mov rbx, qword ptr [r11 + 8]
    mov rsi, qword ptr [r11 + 16]
    ret
    .seh_endproc

    .p2align 4
    .globl hk_stack_cookie
    .seh_proc hk_stack_cookie
hk_stack_cookie:
    sub rsp, 0x28
    .seh_stackalloc 0x28
    .seh_endprologue
    mov rax, qword ptr [rip + hk_cookie_value]
    xor rax, rsp
    mov qword ptr [rsp + 0x20], rax
    lea eax, [rcx + rdx]
    mov rcx, qword ptr [rsp + 0x20]
    xor rcx, rsp
    cmp rcx, qword ptr [rip + hk_cookie_value]
    jne 1f
    add rsp, 0x28
    ret
1:  ud2
    .seh_endproc

    .p2align 4
    .globl hk_cfg_check
hk_cfg_check:
    call qword ptr [rip + hk_cfg_check_slot]
    lea eax, [rcx + rdx]
    ret

    .p2align 4
hk_cfg_checker:
    add edx, 7
    ret

    .p2align 4
    .globl hk_iat_thunk
hk_iat_thunk:
    jmp qword ptr [rip + __imp_hm_import_body]

    .p2align 4
    .globl hk_delay_thunk
hk_delay_thunk:
    jmp qword ptr [rip + hk_delay_iat]

    # The image's delay-load helper for that import, as its unbound slot
    # leads there: binds the slot to hk_delay_bound and goes on there.
    .p2align 4
    .globl hk_delay_helper
hk_delay_helper:
    mov rax, qword ptr [rip + hk_delay_bound]
    mov qword ptr [rip + hk_delay_iat], rax
    jmp rax

    .p2align 4
    .globl hk_iat_wine_thunk
hk_iat_wine_thunk:
    .byte 0x48, 0x8D, 0xA4, 0x24, 0x00, 0x00, 0x00, 0x00   # lea rsp,[rsp+0]
    jmp qword ptr [rip + __imp_hm_wine_body]

    .p2align 4
    .fill 11, 1, 0xCC
    .byte 0xE9
    .long hk_body_d - . - 4                                # jmp rel32 in the padding
    .globl hk_hot_patch
hk_hot_patch:
    .byte 0xEB, 0xF9                                       # jmp $-5
    .fill 3, 1, 0xCC

    # Another product's jmp rel8 into a stub of its own, which goes on behind
    # the jump: the bytes after it are code. int3 padding lies before it.
    .p2align 4, 0xCC
    .fill 8, 1, 0xCC
    .globl hk_short_entry
hk_short_entry:
    .byte 0xEB, hk_short_stub - . - 1
    .globl hk_short_entry_resume
hk_short_entry_resume:
    lea eax, [rcx + rcx * 2]
    ret
hk_short_stub:
    add ecx, 1
    .byte 0xEB, hk_short_entry_resume - . - 1

    .p2align 4
    .globl hk_foreign_a
hk_foreign_a:
    lea eax, [rcx + 100]
    nop
    nop
    ret

    .p2align 4
    .globl hk_foreign_b
hk_foreign_b:
    lea eax, [rcx + 200]
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
    .fill 3, 1, 0xCC

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
    .globl hk_branch_after_ret
    .seh_proc hk_branch_after_ret
hk_branch_after_ret:
    .seh_endprologue
    mov eax, ecx
    add eax, 1
    test edx, edx
    jnz 1f
    ret
1:  dec edx
    jmp hk_branch_after_ret + 2
    .seh_endproc

    # Unwind data written out by hand: the assembler cannot chain a fragment.
    .p2align 4
    .globl hk_cold_branch
hk_cold_branch:
    mov eax, ecx
    add eax, 1
    test edx, edx
    jnz hk_cold_part
    ret
hk_cold_branch_end:
    .fill 16, 1, 0xCC
hk_cold_part:
    dec edx
    jmp hk_cold_branch + 2
hk_cold_part_end:

    .section .xdata,"dr"
    .p2align 2
hk_cold_branch_unwind:
    .byte 1, 0, 0, 0                # version 1, no prologue
hk_cold_part_unwind:
    .byte 0x21, 0, 0, 0             # version 1, chained
    .rva hk_cold_branch, hk_cold_branch_end, hk_cold_branch_unwind
    .section .pdata,"dr"
    .rva hk_cold_branch, hk_cold_branch_end, hk_cold_branch_unwind
    .rva hk_cold_part, hk_cold_part_end, hk_cold_part_unwind
    .text

    .p2align 4
    .globl hk_gate_wait
hk_gate_wait:
1:  cmp byte ptr [rcx], 0
    .byte 0x74, 1b - . - 1          # je 1b (rel8)
    mov eax, 0x77
    ret

    .att_syntax
)");
