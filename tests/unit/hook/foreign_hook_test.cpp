// Functions that another product has already hooked with a jump of its own:
// our hook goes in front of that jump, the other product's handler goes on
// running behind it, and its code is never touched.
#include <gtest/gtest.h>

#include "dllguard/hook/code_memory.h"
#include "dllguard/hook/x64_jump.h"
#include "hook_test_module.h"
#include "hook_test_support.h"
#include "test_functions.h"

namespace hooktest {
namespace {

// Another product's inline hooks: a jmp rel32 over the first bytes of each
// function, into its handler in another module; removed at the end.
class ForeignHooks {
public:
    ForeignHooks(std::initializer_list<TestFunction> functions)
    {
        for (TestFunction function : functions) {
            auto* at = static_cast<uint8_t*>(Code(function));
            saved_.push_back({at, Bytes(at, hooking::kJumpRel32Size)});
            uint8_t jump[hooking::kJumpRel32Size];
            if (hooking::EncodeJumpRel32(jump, reinterpret_cast<uintptr_t>(at),
                                         reinterpret_cast<uintptr_t>(&hm_foreign_handler)))
                hooking::WriteCode(at, jump, sizeof jump);
            else
                reachable_ = false;
        }
    }
    ForeignHooks(const ForeignHooks&) = delete;
    ForeignHooks& operator=(const ForeignHooks&) = delete;
    ~ForeignHooks()
    {
        for (const auto& s : saved_)
            hooking::WriteCode(s.first, s.second.data(), s.second.size());
    }
    bool installed() const { return reachable_; }

private:
    bool reachable_ = true;
    std::vector<std::pair<uint8_t*, std::vector<uint8_t>>> saved_;
};

class ForeignHook : public ::testing::Test {
protected:
    TransactionGuard guard_;
};

TEST_F(ForeignHook, IsHookedInPlaceAndItsHandlerStillRuns)
{
    ForeignHooks foreign{hk_foreign_a};
    ASSERT_TRUE(foreign.installed()) << "the test module lies out of rel32 reach";
    const auto handler = Bytes(Code(hm_foreign_handler), 32);
    const auto foreignJump = Bytes(Code(hk_foreign_a), 8);
    ASSERT_EQ(70, hk_foreign_a(10, 0));
    g_slots[0].calls = 0;

    ASSERT_EQ(0, AttachSlot(0, hk_foreign_a));
    EXPECT_EQ(handler, Bytes(Code(hm_foreign_handler), 32)) << "the other product's code is not ours to patch";
    EXPECT_NE(foreignJump, Bytes(Code(hk_foreign_a), 8));

    const int before = hm_foreign_calls();
    EXPECT_EQ(70 + kDetourBias, hk_foreign_a(10, 0));
    EXPECT_EQ(1, g_slots[0].calls.load());
    EXPECT_EQ(before + 1, hm_foreign_calls()) << "the chain to the other product is intact";
    EXPECT_EQ(35, g_slots[0].original(5, 0)) << "the trampoline leads to the other product's handler";
    EXPECT_EQ(before + 2, hm_foreign_calls());

    ASSERT_EQ(0, DetachSlot(0));
    EXPECT_EQ(foreignJump, Bytes(Code(hk_foreign_a), 8)) << "the other product's jump is back";
    EXPECT_EQ(70, hk_foreign_a(10, 0));
}

// A jmp rel8 with code behind it that the other product's stub goes on at:
// only the jump is rewritten (to the padding nearby, which jumps on), and the
// code behind it stays as it is.
TEST_F(ForeignHook, ShortJumpIsHookedInPlaceAndTheCodeBehindItStays)
{
    const auto entry = reinterpret_cast<uintptr_t>(Code(hk_short_entry));
    const auto* const padding = reinterpret_cast<const uint8_t*>(entry - 8);
    const auto around = Bytes(padding, 16);
    const auto behind = Bytes(Code(hk_short_entry_resume), 4);
    ASSERT_EQ(21, hk_short_entry(6, 0));
    g_slots[0].calls = 0;

    ASSERT_EQ(0, AttachSlot(0, hk_short_entry));
    EXPECT_EQ(behind, Bytes(Code(hk_short_entry_resume), 4)) << "code behind the jump is not ours to patch";
    EXPECT_EQ(0xEB, Bytes(Code(hk_short_entry), 1)[0]);
    EXPECT_EQ(21 + kDetourBias, hk_short_entry(6, 0));
    EXPECT_EQ(1, g_slots[0].calls.load());
    EXPECT_EQ(15, hk_short_entry_resume(5, 0)) << "the code behind the jump still runs";
    EXPECT_EQ(21, g_slots[0].original(6, 0)) << "the trampoline leads into the other product's stub";

    ASSERT_EQ(0, DetachSlot(0));
    EXPECT_EQ(around, Bytes(padding, 16)) << "the jump and the padding are back";
    EXPECT_EQ(21, hk_short_entry(6, 0));
}

// Two targets leading into one shared handler are two hooks, not one.
TEST_F(ForeignHook, TwoTargetsSharingOneHandlerAreBothHooked)
{
    ForeignHooks foreign{hk_foreign_a, hk_foreign_b};
    ASSERT_TRUE(foreign.installed());
    g_slots[0].original = hk_foreign_a;
    g_slots[1].original = hk_foreign_b;
    ASSERT_EQ(0, hooking::TransactionBegin());
    ASSERT_EQ(0, hooking::Attach(&g_slots[0].original, DetourFor(0)));
    ASSERT_EQ(0, hooking::Attach(&g_slots[1].original, DetourFor(1)));
    ASSERT_EQ(0, hooking::TransactionCommit());

    EXPECT_EQ(14 + kDetourBias, hk_foreign_a(2, 0));
    EXPECT_EQ(21 + kDetourBias, hk_foreign_b(3, 0));
    EXPECT_EQ(0, DetachSlot(0));
    EXPECT_EQ(0, DetachSlot(1));
    EXPECT_EQ(14, hk_foreign_a(2, 0));
}

// The trampoline jumps through the other product's own slot, so a later
// change of that slot still takes effect behind our hook.
TEST_F(ForeignHook, SlotJumpKeepsReadingTheSlot)
{
    ASSERT_EQ(0, AttachSlot(0, hk_import_thunk));
    EXPECT_EQ(42 + kDetourBias, hk_import_thunk(46, 0));
    void* const saved = hk_import_thunk_slot;
    hk_import_thunk_slot = Code(hk_body_a);
    EXPECT_EQ(42 + kDetourBias, hk_import_thunk(14, 0));
    EXPECT_EQ(42, g_slots[0].original(14, 0));
    hk_import_thunk_slot = saved;
    ASSERT_EQ(0, DetachSlot(0));
    EXPECT_EQ(42, hk_import_thunk(46, 0));
}

}  // namespace
}  // namespace hooktest
