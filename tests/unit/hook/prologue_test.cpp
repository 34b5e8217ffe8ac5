// Attach and detach on functions whose first instructions need each kind of
// relocation, and refusal of those that cannot be moved safely.
#include <gtest/gtest.h>

#include "hook_test_module.h"
#include "hook_test_support.h"
#include "test_functions.h"

namespace hooktest {
namespace {

struct MovableCase {
    const char* name;
    TestFunction function;  // what the caller hooks
    TestFunction body;      // where the patch must go (the function itself unless it is a thunk)
    int a, b;
    int expected;
};

void PrintTo(const MovableCase& c, std::ostream* os) { *os << c.name; }

const MovableCase kMovable[] = {
    {"rip_relative_load", hk_rip_load, hk_rip_load, 2, 0, 42},
    {"rip_relative_lea", hk_lea_rip, hk_lea_rip, 2, 0, 30},
    {"short_jcc_leaving_taken", hk_jcc_out, hk_jcc_out, -5, 0, -1},
    {"short_jcc_leaving_not_taken", hk_jcc_out, hk_jcc_out, 21, 0, 42},
    {"short_jmp_inside", hk_jmp_in, hk_jmp_in, 31, 0, 42},
    {"loop_inside", hk_loop_in, hk_loop_in, 4, 100, 110},
    {"call_rel32_first", hk_call_first, hk_call_first, 20, 0, 41},
    {"one_long_instruction", hk_long_first, hk_long_first, 1, 0, 0x12345679},
    {"patch_across_8_byte_words", hk_at_16_6, hk_at_16_6, 36, 0, 42},
    {"patch_across_16_byte_blocks", hk_at_16_13, hk_at_16_13, 29, 0, 42},
    // The shapes of the system's own entry points.
    {"save_rbx_in_home_slot", hk_save_rbx, hk_save_rbx, 2, 20, 42},
    {"frame_through_r11", hk_r11_frame, hk_r11_frame, 5, 8, 41},
    {"stack_cookie_load", hk_stack_cookie, hk_stack_cookie, 30, 12, 42},
    {"cfg_check_call_first", hk_cfg_check, hk_cfg_check, 30, 5, 42},
    // Thunks the loader or the system's hot-patching placed are followed.
    {"import_thunk", hk_iat_thunk, ModuleExport("hm_import_body"), 46, 0, 42},
    {"wine_import_thunk", hk_iat_wine_thunk, ModuleExport("hm_wine_body"), 14, 0, 42},
    {"import_stub_of_this_executable", hm_import_body, ModuleExport("hm_import_body"), 46, 0, 42},
    {"hot_patch_jump", hk_hot_patch, hk_body_d, 9, 0, 45},
    // Any other jump is hooked where it is and still leads where it led.
    {"foreign_slot_jump_after_filler", hk_wine_thunk, hk_wine_thunk, 14, 0, 42},
    {"foreign_slot_jump", hk_import_thunk, hk_import_thunk, 46, 0, 42},
    {"foreign_rel32_jump", hk_rel32_thunk, hk_rel32_thunk, 0x5A ^ 42, 0, 42},
    {"foreign_rel8_jump_before_padding", hk_short_thunk, hk_short_thunk, 9, 0, 45},
};

class MovablePrologue : public ::testing::TestWithParam<MovableCase> {
protected:
    TransactionGuard guard_;
};

TEST_P(MovablePrologue, HookRunsAndTrampolineGivesOriginalAndDetachRestoresBytes)
{
    const MovableCase& c = GetParam();
    const auto bodyBefore = Bytes(Code(c.body));
    const auto thunkBefore = Bytes(Code(c.function), 8);
    HookSlot& slot = g_slots[0];
    slot.calls = 0;

    ASSERT_EQ(0, AttachSlot(0, c.function));
    EXPECT_NE(Code(c.function), Code(slot.original));
    EXPECT_EQ(0xE9, Bytes(Code(c.body))[0]);
    if (c.body != c.function) {
        EXPECT_EQ(thunkBefore, Bytes(Code(c.function), 8)) << "the thunk itself stays untouched";
    } else {
        EXPECT_NE(bodyBefore, Bytes(Code(c.body))) << "the patch is at the function itself";
    }

    EXPECT_EQ(c.expected + kDetourBias, c.function(c.a, c.b));
    EXPECT_EQ(c.expected + kDetourBias, c.body(c.a, c.b));
    EXPECT_EQ(2, slot.calls.load());
    EXPECT_EQ(c.expected, slot.original(c.a, c.b));
    EXPECT_EQ(2, slot.calls.load());

    ASSERT_EQ(0, DetachSlot(0));
    EXPECT_EQ(Code(c.function), Code(slot.original));
    EXPECT_EQ(bodyBefore, Bytes(Code(c.body)));
    EXPECT_EQ(c.expected, c.function(c.a, c.b));
    EXPECT_EQ(2, slot.calls.load());
}

INSTANTIATE_TEST_SUITE_P(Prologues, MovablePrologue, ::testing::ValuesIn(kMovable),
                         [](const auto& test) { return std::string(test.param.name); });

struct RefusedCase {
    const char* name;
    TestFunction function;
};

void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.name; }

const RefusedCase kRefused[] = {
    {"too_short", hk_too_short},
    {"ret_inside_patch", hk_ret_inside},
    {"branch_back_into_patch", hk_loop_back},
    {"jrcxz", hk_jrcxz_first},
    {"jump_out_before_patch_end", hk_jmp_away},
    {"int3_inside_patch", hk_int3_inside},
    {"branch_back_after_ret", hk_branch_after_ret},
    {"branch_back_from_cold_fragment", hk_cold_branch},
};

class RefusedPrologue : public ::testing::TestWithParam<RefusedCase> {
protected:
    TransactionGuard guard_;
};

TEST_P(RefusedPrologue, AttachFailsAndNothingIsPatched)
{
    const RefusedCase& c = GetParam();
    const auto before = Bytes(Code(c.function));
    TestFunction original = c.function;

    ASSERT_EQ(0, hooking::TransactionBegin());
    EXPECT_EQ(ERROR_INVALID_BLOCK, hooking::Attach(&original, DetourFor(0)));
    EXPECT_EQ(ERROR_INVALID_BLOCK, hooking::TransactionCommit());

    EXPECT_EQ(before, Bytes(Code(c.function)));
    EXPECT_EQ(c.function, original);
    EXPECT_EQ(0, hooking::TransactionBegin()) << "the failed commit ended the transaction";
    EXPECT_EQ(0, hooking::TransactionAbort());
}

INSTANTIATE_TEST_SUITE_P(Prologues, RefusedPrologue, ::testing::ValuesIn(kRefused),
                         [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace hooktest
