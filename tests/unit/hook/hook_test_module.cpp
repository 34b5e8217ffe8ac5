#include "hook_test_module.h"

#include <atomic>

namespace {
std::atomic<int> g_foreignCalls{0};
}

asm(R"(
    .intel_syntax noprefix
    .text
    .p2align 4
    .globl hm_import_body
hm_import_body:
    mov eax, ecx
    sub eax, 4
    ret

    .p2align 4
    .globl hm_wine_body
hm_wine_body:
    mov eax, ecx
    imul eax, eax, 3
    ret

    .section .drectve
    .ascii " -export:hm_import_body -export:hm_wine_body"
    .text
    .att_syntax
)");

extern "C" int hm_foreign_handler(int x, int)
{
    g_foreignCalls.fetch_add(1);
    return 7 * x;
}

extern "C" int hm_foreign_calls() { return g_foreignCalls.load(); }
