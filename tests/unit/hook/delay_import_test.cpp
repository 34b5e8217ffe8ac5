// A jmp [rip+x] through a delay-load address table is an import thunk, and
// is followed; the same jump through a slot no table describes is not.
#include <gtest/gtest.h>

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

class DelayImportThunk : public ::testing::Test {
protected:
    TransactionGuard guard_;
};

TEST_F(DelayImportThunk, IsFollowedThroughTheDelayLoadTable)
{
    const auto thunk = Bytes(Code(hk_delay_thunk), 6);
    const auto body = Bytes(Code(hk_body_b));
    DelayLoadDirectory directory;
    ASSERT_TRUE(directory.written());

    ASSERT_EQ(0, AttachSlot(0, hk_delay_thunk));
    EXPECT_EQ(thunk, Bytes(Code(hk_delay_thunk), 6));
    EXPECT_EQ(0xE9, Bytes(Code(hk_body_b))[0]);
    EXPECT_EQ(42 + kDetourBias, hk_delay_thunk(46, 0));
    EXPECT_EQ(42, g_slots[0].original(46, 0));
    ASSERT_EQ(0, DetachSlot(0));
    EXPECT_EQ(body, Bytes(Code(hk_body_b)));
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
