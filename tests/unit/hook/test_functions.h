#pragma once
// Functions with hand-written prologues (test_functions.cpp), each taking two
// ints in ecx and edx and returning an int.
#include <cstdint>

extern "C" {
// Movable prologues.
int hk_rip_load(int x, int unused);      // hk_data_value + x: mov eax,[rip+x] first
int hk_lea_rip(int i, int unused);       // hk_table[i]: lea rax,[rip+x] first
int hk_jcc_out(int x, int unused);       // x < 0 ? -1 : 2x: js rel8 leaving the moved bytes
int hk_jmp_in(int x, int unused);        // x + 11: jmp rel8 to the next moved instruction
int hk_loop_in(int n, int start);        // start + n(n+1)/2: a loop wholly inside the moved bytes
int hk_call_first(int x, int unused);    // 2x + 1: call rel32 first
int hk_long_first(int x, int unused);    // x + 0x12345678: one 6-byte instruction, then ret
int hk_at_16_6(int x, int unused);       // x + 6, starting 6 bytes into a 16-byte block
int hk_at_16_13(int x, int unused);      // x + 13, starting 13 bytes into a 16-byte block
// Prologues of the shapes the system's own entry points take.
int hk_save_rbx(int x, int y);           // x + 2y: mov [rsp+8],rbx; push rdi; sub rsp,20h
int hk_r11_frame(int x, int y);          // x * y + 1: mov r11,rsp; mov [r11+8],rbx; ...
int hk_stack_cookie(int x, int y);       // x + y: sub rsp,28h; mov rax,[rip+cookie]; xor rax,rsp
int hk_cfg_check(int x, int y);          // x + y + 7: call [rip+x] (the check adds 7 to y) first
// Thunks the system places, and the bodies they lead to.
int hk_iat_thunk(int x, int unused);       // jmp [rip+__imp_hm_import_body]
int hk_iat_wine_thunk(int x, int unused);  // lea rsp,[rsp+0]; jmp [rip+__imp_hm_wine_body]
int hk_hot_patch(int x, int unused);       // jmp $-5 onto a jmp rel32 to hk_body_d
// jmp [rip+x] through the slot hk_delay_iat[0] of the address table of
// hk_delay_descriptors, which the toolchain does not enter into the image's
// delay-load directory. hk_delay_helper stands for the image's delay-load
// helper: it binds the slot to hk_delay_bound and goes on there.
int hk_delay_thunk(int x, int unused);
int hk_delay_helper(int x, int unused);
// Jumps placed by someone else: hooked where they are.
int hk_wine_thunk(int x, int unused);    // lea rsp,[rsp+0]; jmp [rip+hk_wine_thunk_slot] (hk_body_a)
int hk_import_thunk(int x, int unused);  // jmp [rip+hk_import_thunk_slot] (hk_body_b)
int hk_rel32_thunk(int x, int unused);   // jmp rel32 to hk_body_c
int hk_short_thunk(int x, int unused);   // jmp rel8 to hk_body_d, int3 padding after it
// 3(x + 1): another product's jmp rel8 into its stub (x + 1), which goes on at
// hk_short_entry_resume (3x) right behind the jump; int3 padding before it.
int hk_short_entry(int x, int unused);
int hk_short_entry_resume(int x, int unused);
int hk_foreign_a(int x, int unused);     // x + 100, until another product hooks it
int hk_foreign_b(int x, int unused);     // x + 200, likewise
int hk_body_a(int x, int unused);        // 3x
int hk_body_b(int x, int unused);        // x - 4
int hk_body_c(int x, int unused);        // x ^ 0x5A
int hk_body_d(int x, int unused);        // x * 5
// Prologues that cannot be moved.
int hk_too_short(int x, int unused);     // mov eax,ecx; ret
int hk_ret_inside(int x, int unused);    // xor eax,eax; inc eax; ret
int hk_loop_back(int n, int unused);     // a loop from after the patch back into it
int hk_jrcxz_first(int x, int unused);   // jrcxz rel8 first
int hk_jmp_away(int x, int unused);      // xor eax,eax; jmp rel8 out of the patch; nops
int hk_int3_inside(int x, int unused);   // mov eax,ecx; int3 ...
// x + n + 1, looping back into the patch from code that follows a ret: in
// the function itself, and from a cold fragment its unwind data chains to it.
int hk_branch_after_ret(int x, int n);
int hk_cold_branch(int x, int n);

// Spins while *gate is 0, then returns 0x77. The whole loop is the 5 bytes
// a patch displaces: cmp byte [rcx],0; je back.
int hk_gate_wait(volatile char* gate);

extern int hk_data_value;
extern void* hk_import_thunk_slot;
extern char hk_delay_descriptors[64];
extern void* hk_delay_iat[2];
extern void* hk_delay_bound;
extern int hk_table[4];
}
