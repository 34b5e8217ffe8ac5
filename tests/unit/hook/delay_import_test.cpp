// A jmp [rip+x] through a delay-load address table is an import thunk, and
// is followed once its slot is bound; the same jump through a slot no table
// describes, or through one that still leads to the image's delay-load
// helper, is hooked where it is.
#include <gtest/gtest.h>

#include "hook_test_module.h"
#include "hook_test_support.h"
#include "test_functions.h"

namespace hooktest {
namespace {

// Enters hk_delay_descriptors into this executable's delay-load directory
// for the lifetime of the object.
class DelayLoadDirectory {
public:
    DelayLoadDirectory()
    {
        auto* base = reinterpret_cast<uint8_t*>(::GetModuleHandleW(nullptr));
        auto* nt = reinterpret_cast<IMAGE_NT_HEADERS64*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
        entry_ = &nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT];
        saved_ = *entry_;
        const auto* table = reinterpret_cast<uint8_t*>(hk_delay_descriptors);
        written_ = Write({static_cast<DWORD>(table - base), sizeof hk_delay_descriptors});
    }
    DelayLoadDirectory(const DelayLoadDirectory&) = delete;
    DelayLoadDirectory& operator=(const DelayLoadDirectory&) = delete;
    ~DelayLoadDirectory() { Write(saved_); }
    bool written() const { return written_; }

private:
    bool Write(const IMAGE_DATA_DIRECTORY& value)
    {
        DWORD old;
        if (!::VirtualProtect(entry_, sizeof *entry_, PAGE_READWRITE, &old))
            return false;
        *entry_ = value;
        ::VirtualProtect(entry_, sizeof *entry_, old, &old);
        return true;
    }

    IMAGE_DATA_DIRECTORY* entry_ = nullptr;
    IMAGE_DATA_DIRECTORY saved_ = {};
    bool written_ = false;
};

// Puts the slot back as the image has it.
class DelayImportThunk : public ::testing::Test {
protected:
    ~DelayImportThunk() override
    {
        hk_delay_iat[0] = saved_;
        hk_delay_bound = nullptr;
    }
    TransactionGuard guard_;
    void* const saved_ = hk_delay_iat[0];
};

TEST_F(DelayImportThunk, IsFollowedThroughTheDelayLoadTableOnceBound)
{
    const TestFunction bound = ModuleExport("hm_import_body");
    hk_delay_iat[0] = Code(bound);
    const auto thunk = Bytes(Code(hk_delay_thunk), 6);
    const auto body = Bytes(Code(bound));
    DelayLoadDirectory directory;
    ASSERT_TRUE(directory.written());

    ASSERT_EQ(0, AttachSlot(0, hk_delay_thunk));
    EXPECT_EQ(thunk, Bytes(Code(hk_delay_thunk), 6));
    EXPECT_EQ(0xE9, Bytes(Code(bound))[0]);
    EXPECT_EQ(42 + kDetourBias, hk_delay_thunk(46, 0));
    EXPECT_EQ(42, g_slots[0].original(46, 0));
    ASSERT_EQ(0, DetachSlot(0));
    EXPECT_EQ(body, Bytes(Code(bound)));
}

// Not yet bound, the slot leads to the helper: hooking that would be
// bypassed from the first call on, which binds the slot to the function.
TEST_F(DelayImportThunk, NotYetBoundTheThunkIsHookedAndStaysHookedOnceBound)
{
    hk_delay_bound = Code(ModuleExport("hm_import_body"));
    hk_delay_iat[0] = Code(hk_delay_helper);
    const auto helper = Bytes(Code(hk_delay_helper));
    DelayLoadDirectory directory;
    ASSERT_TRUE(directory.written());

    g_slots[0].calls = 0;
    ASSERT_EQ(0, AttachSlot(0, hk_delay_thunk));
    EXPECT_EQ(helper, Bytes(Code(hk_delay_helper))) << "the helper is the image's, not the function";
    EXPECT_EQ(42 + kDetourBias, hk_delay_thunk(46, 0)) << "the first call binds the slot";
    EXPECT_EQ(hk_delay_bound, hk_delay_iat[0]);
    EXPECT_EQ(42 + kDetourBias, hk_delay_thunk(46, 0));
    EXPECT_EQ(2, g_slots[0].calls.load());
    ASSERT_EQ(0, DetachSlot(0));
    EXPECT_EQ(42, hk_delay_thunk(46, 0));
}

TEST_F(DelayImportThunk, WithoutTheTableTheJumpIsHookedWhereItIs)
{
    const auto thunk = Bytes(Code(hk_delay_thunk), 6);
    const auto body = Bytes(Code(hk_body_b));
    ASSERT_EQ(0, AttachSlot(0, hk_delay_thunk));
    EXPECT_NE(thunk, Bytes(Code(hk_delay_thunk), 6));
    EXPECT_EQ(body, Bytes(Code(hk_body_b)));
    EXPECT_EQ(42 + kDetourBias, hk_delay_thunk(46, 0));
    ASSERT_EQ(0, DetachSlot(0));
}

}  // namespace
}  // namespace hooktest
