// Transaction rules: all or nothing, one transaction at a time driven by the
// thread that began it, and the misuses the engine refuses.
#include <gtest/gtest.h>

#include "hook_test_module.h"
#include "hook_test_support.h"
#include "test_functions.h"

namespace hooktest {
namespace {

class HookTransaction : public ::testing::Test {
protected:
    TransactionGuard guard_;
};

TEST_F(HookTransaction, FailedAttachLeavesEveryFunctionUnpatched)
{
    const auto first = Bytes(Code(hk_rip_load));
    const auto second = Bytes(Code(ModuleExport("hm_wine_body")));
    const auto refused = Bytes(Code(hk_ret_inside));
    g_slots[0].original = hk_rip_load;
    g_slots[1].original = hk_iat_wine_thunk;
    g_slots[2].original = hk_ret_inside;

    ASSERT_EQ(0, hooking::TransactionBegin());
    ASSERT_EQ(0, hooking::Attach(&g_slots[0].original, DetourFor(0)));
    ASSERT_EQ(0, hooking::Attach(&g_slots[1].original, DetourFor(1)));
    EXPECT_EQ(ERROR_INVALID_BLOCK, hooking::Attach(&g_slots[2].original, DetourFor(2)));
    g_slots[3].original = hk_body_c;
    EXPECT_EQ(ERROR_INVALID_BLOCK, hooking::Attach(&g_slots[3].original, DetourFor(3)))
        << "after a failure the transaction only reports it";
    EXPECT_EQ(ERROR_INVALID_BLOCK, hooking::TransactionCommit());

    EXPECT_EQ(first, Bytes(Code(hk_rip_load)));
    EXPECT_EQ(second, Bytes(Code(ModuleExport("hm_wine_body"))));
    EXPECT_EQ(refused, Bytes(Code(hk_ret_inside)));
    EXPECT_EQ(hk_rip_load, g_slots[0].original);
    EXPECT_EQ(hk_iat_wine_thunk, g_slots[1].original);
    EXPECT_EQ(42, hk_rip_load(2, 0));
}

TEST_F(HookTransaction, AbortLeavesEveryFunctionUnpatched)
{
    const auto before = Bytes(Code(hk_lea_rip));
    g_slots[0].original = hk_lea_rip;
    ASSERT_EQ(0, hooking::TransactionBegin());
    ASSERT_EQ(0, hooking::Attach(&g_slots[0].original, DetourFor(0)));
    EXPECT_EQ(0, hooking::TransactionAbort());
    EXPECT_EQ(before, Bytes(Code(hk_lea_rip)));
    EXPECT_EQ(hk_lea_rip, g_slots[0].original);
}

TEST_F(HookTransaction, CommitInstallsAllHooksTogether)
{
    g_slots[0].original = hk_rip_load;
    g_slots[1].original = hk_rel32_thunk;
    ASSERT_EQ(0, hooking::TransactionBegin());
    ASSERT_EQ(0, hooking::Attach(&g_slots[0].original, DetourFor(0)));
    ASSERT_EQ(0, hooking::Attach(&g_slots[1].original, DetourFor(1)));
    EXPECT_EQ(42, hk_rip_load(2, 0)) << "nothing changes before the commit";
    ASSERT_EQ(0, hooking::TransactionCommit());
    EXPECT_EQ(42 + kDetourBias, hk_rip_load(2, 0));
    EXPECT_EQ(42 + kDetourBias, hk_rel32_thunk(0x5A ^ 42, 0));

    ASSERT_EQ(0, hooking::TransactionBegin());
    ASSERT_EQ(0, hooking::Detach(&g_slots[0].original, DetourFor(0)));
    ASSERT_EQ(0, hooking::Detach(&g_slots[1].original, DetourFor(1)));
    ASSERT_EQ(0, hooking::TransactionCommit());
    EXPECT_EQ(42, hk_rip_load(2, 0));
    EXPECT_EQ(42, hk_rel32_thunk(0x5A ^ 42, 0));
}

TEST_F(HookTransaction, OperationsNeedAnOpenTransactionOfTheirOwnThread)
{
    g_slots[0].original = hk_rip_load;
    EXPECT_EQ(ERROR_INVALID_OPERATION, hooking::Attach(&g_slots[0].original, DetourFor(0)));
    EXPECT_EQ(ERROR_INVALID_OPERATION, hooking::Detach(&g_slots[0].original, DetourFor(0)));
    EXPECT_EQ(ERROR_INVALID_OPERATION, hooking::UpdateThread(::GetCurrentThread()));
    EXPECT_EQ(ERROR_INVALID_OPERATION, hooking::TransactionCommit());
    EXPECT_EQ(ERROR_INVALID_OPERATION, hooking::TransactionAbort());

    ASSERT_EQ(0, hooking::TransactionBegin());
    EXPECT_EQ(ERROR_INVALID_OPERATION, hooking::TransactionBegin());
    LONG fromOther[3] = {};
    std::thread other([&] {
        fromOther[0] = hooking::TransactionBegin();
        fromOther[1] = hooking::Attach(&g_slots[0].original, DetourFor(0));
        fromOther[2] = hooking::TransactionCommit();
    });
    other.join();
    EXPECT_EQ(ERROR_INVALID_OPERATION, fromOther[0]);
    EXPECT_EQ(ERROR_INVALID_OPERATION, fromOther[1]);
    EXPECT_EQ(ERROR_INVALID_OPERATION, fromOther[2]);
    EXPECT_EQ(0, hooking::TransactionCommit()) << "an empty transaction commits";
}

TEST_F(HookTransaction, RefusesBadArguments)
{
    struct {
        const char* what;
        LONG (*attempt)();
        LONG expected;
    } const cases[] = {
        {"null target", [] { return hooking::Attach(nullptr, Code(DetourFor(0))); }, ERROR_INVALID_PARAMETER},
        {"null function",
         [] {
             g_slots[0].original = nullptr;
             return hooking::Attach(&g_slots[0].original, DetourFor(0));
         },
         ERROR_INVALID_PARAMETER},
        {"null detour",
         [] {
             g_slots[0].original = hk_rip_load;
             return hooking::Attach(&g_slots[0].original, TestFunction{});
         },
         ERROR_INVALID_PARAMETER},
        {"detach of a function never hooked",
         [] {
             g_slots[0].original = hk_rip_load;
             return hooking::Detach(&g_slots[0].original, DetourFor(0));
         },
         ERROR_NOT_FOUND},
        {"invalid thread handle", [] { return hooking::UpdateThread(nullptr); }, ERROR_INVALID_HANDLE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(0, hooking::TransactionBegin());
        EXPECT_EQ(c.expected, c.attempt());
        EXPECT_EQ(c.expected, hooking::TransactionCommit()) << "the failure ends the transaction";
    }
}

TEST_F(HookTransaction, EnlistingTheCurrentThreadIsAccepted)
{
    g_slots[0].original = hk_lea_rip;
    ASSERT_EQ(0, hooking::TransactionBegin());
    EXPECT_EQ(0, hooking::UpdateThread(::GetCurrentThread()));
    ASSERT_EQ(0, hooking::Attach(&g_slots[0].original, DetourFor(0)));
    ASSERT_EQ(0, hooking::TransactionCommit());
    EXPECT_EQ(30 + kDetourBias, hk_lea_rip(2, 0));
    ASSERT_EQ(0, DetachSlot(0));
}

TEST_F(HookTransaction, AnEnlistedThreadThatEndedIsLeftOut)
{
    TestThread ended = StartThread([] {});
    ended.thread.join();
    g_slots[0].original = hk_lea_rip;
    ASSERT_EQ(0, hooking::TransactionBegin());
    EXPECT_EQ(0, hooking::UpdateThread(ended.handle.get()));
    ASSERT_EQ(0, hooking::Attach(&g_slots[0].original, DetourFor(0)));
    ASSERT_EQ(0, hooking::TransactionCommit());
    EXPECT_EQ(30 + kDetourBias, hk_lea_rip(2, 0));
    ASSERT_EQ(0, DetachSlot(0));
}

TEST_F(HookTransaction, AFunctionIsHookedOnlyOnce)
{
    // Twice in one transaction, and again through a thunk that leads to it.
    g_slots[0].original = hm_wine_body;
    g_slots[1].original = hm_wine_body;
    ASSERT_EQ(0, hooking::TransactionBegin());
    ASSERT_EQ(0, hooking::Attach(&g_slots[0].original, DetourFor(0)));
    EXPECT_EQ(ERROR_ALREADY_EXISTS, hooking::Attach(&g_slots[1].original, DetourFor(1)));
    EXPECT_EQ(0, hooking::TransactionAbort());

    ASSERT_EQ(0, AttachSlot(0, hm_wine_body));
    const auto hooked = Bytes(Code(ModuleExport("hm_wine_body")));
    EXPECT_EQ(ERROR_ALREADY_EXISTS, AttachSlot(1, hk_iat_wine_thunk));
    EXPECT_EQ(hooked, Bytes(Code(ModuleExport("hm_wine_body"))));
    EXPECT_EQ(42 + kDetourBias, hk_iat_wine_thunk(14, 0));
    ASSERT_EQ(0, DetachSlot(0));
}

TEST_F(HookTransaction, FailedDetachKeepsTheHook)
{
    ASSERT_EQ(0, AttachSlot(0, hk_body_b));
    const auto hooked = Bytes(Code(hk_body_b));
    ASSERT_EQ(0, hooking::TransactionBegin());
    EXPECT_EQ(ERROR_INVALID_PARAMETER, hooking::Detach(&g_slots[0].original, DetourFor(1)))
        << "not the replacement that was attached";
    EXPECT_EQ(ERROR_INVALID_PARAMETER, hooking::TransactionCommit());
    EXPECT_EQ(hooked, Bytes(Code(hk_body_b)));
    EXPECT_EQ(42 + kDetourBias, hk_body_b(46, 0));
    ASSERT_EQ(0, DetachSlot(0));
    EXPECT_EQ(42, hk_body_b(46, 0));
}

TEST_F(HookTransaction, HookingAgainTakesUpTheSameTrampoline)
{
    ASSERT_EQ(0, AttachSlot(0, hk_body_c));
    const TestFunction first = g_slots[0].original;
    ASSERT_EQ(0, DetachSlot(0));
    ASSERT_EQ(0, AttachSlot(0, hk_body_c));
    EXPECT_EQ(first, g_slots[0].original);
    EXPECT_EQ(42, first(0x5A ^ 42, 0));
    ASSERT_EQ(0, DetachSlot(0));
}

}  // namespace
}  // namespace hooktest
