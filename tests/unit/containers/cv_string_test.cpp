#include "boundary/cv_string.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using cv::StringA;
using cv::StringControlBlock;
using cv::StringW;
namespace block = cv::string_block;

constexpr int CorruptedStringExitCode = static_cast<int>(0xC0000409u);

const unsigned char* BlockStart(const void* characters)
{
    return static_cast<const unsigned char*>(characters) - block::HeaderSize;
}

uint32_t WordAt(const void* characters, size_t offset)
{
    uint32_t word;
    std::memcpy(&word, BlockStart(characters) + offset, sizeof(word));
    return word;
}

StringControlBlock* ControlAt(const void* characters)
{
    StringControlBlock* control;
    std::memcpy(&control, BlockStart(characters) + block::ControlOffset, sizeof(control));
    return control;
}

size_t TrailerOffset(size_t capacity, size_t charSize) { return block::HeaderSize + (capacity + 1) * charSize; }

// A manager standing for the agent's: records what the strings ask of it and
// can refuse.
class RecordingMemMgr final : public cv::IMemMgr {
public:
    void* Allocate(size_t size) override
    {
        calls.push_back("Allocate " + std::to_string(size));
        return refuseAllocate ? nullptr : std::malloc(size);
    }
    void* Reallocate(void* old, size_t size) override
    {
        calls.push_back("Reallocate " + std::to_string(size));
        return refuseReallocate ? nullptr : std::realloc(old, size);
    }
    void Free(void* old) override
    {
        calls.push_back("Free");
        freed.push_back(old);
        std::free(old);
    }
    void Release() override { calls.push_back("Release"); }

    std::vector<std::string> calls;
    std::vector<void*> freed;
    bool refuseAllocate = false;
    bool refuseReallocate = false;
};

// Builds a wide string block the way another party would hand it over.
struct ForeignString {
    ForeignString(cv::IMemMgr* manager, const wchar_t* text, size_t capacity, bool blockOwned,
                  StringControlBlock* control)
    {
        const size_t size = block::BlockSize(capacity, sizeof(wchar_t));
        bytes = static_cast<unsigned char*>(blockOwned ? manager->Allocate(size) : std::malloc(size));
        *control = StringControlBlock{manager, std::wcslen(text), capacity, 64, blockOwned ? uint8_t(1) : uint8_t(0),
                                      0, {}};
        const uint32_t guard = block::GuardWord;
        std::memcpy(bytes, &guard, 4);
        std::memcpy(bytes + 4, &control, 8);
        std::memcpy(bytes + 12, &guard, 4);
        std::memcpy(bytes + 16, text, (std::wcslen(text) + 1) * sizeof(wchar_t));
        std::memcpy(bytes + TrailerOffset(capacity, sizeof(wchar_t)), &guard, 4);
        characters = reinterpret_cast<wchar_t*>(bytes + 16);
    }
    unsigned char* bytes;
    wchar_t* characters;
};

TEST(StringLayoutTest, ControlBlockFieldsSitWhereTheAgentReadsThem)
{
    EXPECT_EQ(offsetof(StringControlBlock, manager), 0u);
    EXPECT_EQ(offsetof(StringControlBlock, length), 8u);
    EXPECT_EQ(offsetof(StringControlBlock, capacity), 16u);
    EXPECT_EQ(offsetof(StringControlBlock, growthStep), 24u);
    EXPECT_EQ(offsetof(StringControlBlock, blockOwned), 32u);
    EXPECT_EQ(offsetof(StringControlBlock, controlBlockOwned), 33u);
    EXPECT_EQ(sizeof(StringControlBlock), 40u);
    EXPECT_EQ(block::BlockSize(64, sizeof(wchar_t)), 2u * 64 + 22);
    EXPECT_EQ(block::BlockSize(64, sizeof(char)), 64u + 21);
}

TEST(StringLayoutTest, WideBlockHasGuardsControlPointerAndCharactersAt16)
{
    const StringW text(L"abc");
    const wchar_t* characters = text.RawCharacters();
    ASSERT_NE(characters, nullptr);
    EXPECT_EQ(WordAt(characters, 0), 0xABCDu);
    EXPECT_EQ(WordAt(characters, 12), 0xABCDu);
    EXPECT_EQ(WordAt(characters, TrailerOffset(64, sizeof(wchar_t))), 0xABCDu);
    EXPECT_EQ(std::wstring(characters), L"abc");
    EXPECT_EQ(characters[64], L'\0');

    const StringControlBlock* control = ControlAt(characters);
    EXPECT_EQ(control->manager, cv::StringMemMgr::Instance());
    EXPECT_EQ(control->length, 3u);
    EXPECT_EQ(control->capacity, 64u);
    EXPECT_EQ(control->growthStep, 64u);
    EXPECT_EQ(control->blockOwned, 1);
    EXPECT_EQ(control->controlBlockOwned, 1);
    for (uint8_t byte : control->reserved)
        EXPECT_EQ(byte, 0);
}

TEST(StringLayoutTest, NarrowBlockTrailerFollowsTheLastSlotUnaligned)
{
    const StringA text("xyz");
    const char* characters = text.RawCharacters();
    EXPECT_EQ(WordAt(characters, 0), 0xABCDu);
    EXPECT_EQ(WordAt(characters, 12), 0xABCDu);
    EXPECT_EQ(WordAt(characters, TrailerOffset(64, 1)), 0xABCDu);
    EXPECT_EQ(TrailerOffset(64, 1), 81u);
    EXPECT_EQ(ControlAt(characters)->capacity, 64u);
}

TEST(StringTest, NeverAssignedStringIsNullAndReadsEmpty)
{
    StringW text;
    EXPECT_EQ(text.RawCharacters(), nullptr);
    EXPECT_STREQ(text.c_str(), L"");
    EXPECT_EQ(text.length(), 0u);
    EXPECT_TRUE(text.empty());
    EXPECT_EQ(text.capacity(), 0u);
    text.Release();
    EXPECT_EQ(text.RawCharacters(), nullptr);
    const StringW copy(text);
    EXPECT_EQ(copy.RawCharacters(), nullptr);
}

struct GrowthCase {
    uint64_t capacity;
    uint64_t needed;
    uint64_t grown;
};

class GrowthRuleTest : public testing::TestWithParam<GrowthCase> {};

TEST_P(GrowthRuleTest, GrowsByStepDoublingOrThousands)
{
    EXPECT_EQ(block::GrownCapacity(GetParam().capacity, GetParam().needed, 64), GetParam().grown);
}

INSTANTIATE_TEST_SUITE_P(Capacities, GrowthRuleTest,
                         testing::Values(GrowthCase{0, 0, 64}, GrowthCase{0, 10, 64}, GrowthCase{0, 65, 65},
                                         GrowthCase{64, 100, 128}, GrowthCase{128, 300, 300},
                                         GrowthCase{600, 700, 1200}, GrowthCase{1023, 1100, 2046},
                                         GrowthCase{1024, 1100, 2048}, GrowthCase{2048, 5000, 5000},
                                         GrowthCase{UINT64_MAX - 10, UINT64_MAX, UINT64_MAX}));

TEST(StringTest, AssignmentsGrowCapacity64Then128Then300)
{
    StringW text;
    const struct {
        size_t length;
        size_t capacity;
    } steps[] = {{10, 64}, {100, 128}, {300, 300}, {20, 300}};
    for (const auto& step : steps) {
        const std::wstring content(step.length, L'q');
        ASSERT_TRUE(text.Assign(content.c_str()));
        EXPECT_EQ(text.capacity(), step.capacity) << step.length;
        EXPECT_EQ(text.length(), step.length);
        EXPECT_EQ(text.view(), content);
        EXPECT_EQ(WordAt(text.RawCharacters(), TrailerOffset(step.capacity, sizeof(wchar_t))), 0xABCDu);
    }
}

TEST(StringTest, EmptyAssignmentTakesStorage)
{
    StringA text("");
    EXPECT_NE(text.RawCharacters(), nullptr);
    EXPECT_EQ(text.capacity(), 64u);
    EXPECT_TRUE(text.empty());
}

TEST(StringTest, CopiesAreDeep)
{
    StringW original(L"first");
    StringW copy(original);
    EXPECT_NE(copy.RawCharacters(), original.RawCharacters());
    EXPECT_NE(ControlAt(copy.RawCharacters()), ControlAt(original.RawCharacters()));
    original = L"second";
    EXPECT_EQ(copy, L"first");

    StringW assigned;
    assigned = original;
    original.Release();
    EXPECT_EQ(assigned, L"second");

    assigned = StringW();
    EXPECT_EQ(assigned.RawCharacters(), nullptr);
}

TEST(StringTest, MoveHandsOverTheBlock)
{
    StringW source(L"moved");
    const wchar_t* characters = source.RawCharacters();
    StringW target(std::move(source));
    EXPECT_EQ(source.RawCharacters(), nullptr);
    EXPECT_EQ(target.RawCharacters(), characters);
    StringW other(L"x");
    other = std::move(target);
    EXPECT_EQ(other.RawCharacters(), characters);
    EXPECT_EQ(other, L"moved");
}

TEST(StringTest, ComparesWithStringsViewsAndPointers)
{
    const StringW text(L"Tesdk");
    EXPECT_TRUE(text == StringW(L"Tesdk"));
    EXPECT_TRUE(text != StringW(L"tesdk"));
    EXPECT_TRUE(text == std::wstring_view(L"Tesdk"));
    EXPECT_TRUE(std::wstring_view(L"Tesdk") == text);
    EXPECT_TRUE(text != std::wstring(L"Tesd"));
    EXPECT_TRUE(text == L"Tesdk");
    EXPECT_TRUE(L"Tesdk" == text);
    EXPECT_TRUE(StringW() == L"");
    EXPECT_TRUE(StringW(L"a") < StringW(L"b"));
    const std::wstring_view view = text;
    EXPECT_EQ(view, L"Tesdk");
}

TEST(StringTest, KeepsEmbeddedNulsAndAssignsFromItself)
{
    StringA text(std::string_view("a\0b", 3));
    EXPECT_EQ(text.length(), 3u);
    EXPECT_EQ(text.view(), std::string_view("a\0b", 3));

    StringW self(L"0123456789");
    self = self.view().substr(2, 3);
    EXPECT_EQ(self, L"234");
    const std::wstring longer(200, L'z');
    self = longer.c_str();
    self = self.view().substr(1);
    EXPECT_EQ(self.view(), longer.substr(1));
}

TEST(StringTest, NullPointerAssignmentReleases)
{
    StringA text("x");
    text = static_cast<const char*>(nullptr);
    EXPECT_EQ(text.RawCharacters(), nullptr);
    EXPECT_FALSE(text.Assign(nullptr, 3));
}

TEST(StringTest, PrepareBufferSizesForTheCaller)
{
    StringA text;
    char* buffer = text.PrepareBuffer(5);
    ASSERT_NE(buffer, nullptr);
    std::memcpy(buffer, "hello", 5);
    EXPECT_EQ(text, "hello");
    EXPECT_EQ(text.length(), 5u);
    EXPECT_EQ(text.c_str()[5], '\0');
}

TEST(StringManagerTest, ForeignStringIsResizedAndReleasedThroughItsOwnManager)
{
    RecordingMemMgr manager;
    StringControlBlock control;
    ForeignString foreign(&manager, L"agent", 8, true, &control);
    manager.calls.clear();
    {
        StringW text = StringW::Adopt(foreign.characters);
        EXPECT_EQ(text, L"agent");
        EXPECT_EQ(text.capacity(), 8u);
        text = L"0123456789";  // 10 > 8: grows to 8 + max(64, 8)
        EXPECT_EQ(text.capacity(), 72u);
        EXPECT_EQ(ControlAt(text.RawCharacters()), &control);
        EXPECT_EQ(manager.calls, std::vector<std::string>{"Reallocate " + std::to_string(2 * 72 + 22)});
        manager.calls.clear();
    }
    // The control block was not malloc'ed by a string: it stays.
    EXPECT_EQ(manager.calls, (std::vector<std::string>{"Free", "Release"}));
}

TEST(StringManagerTest, BlockNotOwnedIsCopiedAndLeftAlone)
{
    RecordingMemMgr manager;
    StringControlBlock control;
    ForeignString foreign(&manager, L"shared", 6, false, &control);
    {
        StringW text = StringW::Adopt(foreign.characters);
        text = L"a longer text";
        EXPECT_NE(text.RawCharacters(), foreign.characters);
        EXPECT_EQ(text, L"a longer text");
        EXPECT_EQ(control.blockOwned, 1);
        EXPECT_EQ(manager.calls, std::vector<std::string>{"Allocate " + std::to_string(2 * 70 + 22)});
    }
    EXPECT_EQ(std::wstring(foreign.characters), L"shared");
    EXPECT_EQ(manager.freed.size(), 1u);
    EXPECT_NE(manager.freed[0], foreign.bytes);
    std::free(foreign.bytes);
}

TEST(StringManagerTest, RefusedReallocationFallsBackToAllocateAndFree)
{
    RecordingMemMgr manager;
    manager.refuseReallocate = true;
    StringControlBlock control;
    ForeignString foreign(&manager, L"x", 4, true, &control);
    manager.calls.clear();
    StringW text = StringW::Adopt(foreign.characters);
    text = L"grown";
    EXPECT_EQ(text, L"grown");
    EXPECT_EQ(manager.calls, (std::vector<std::string>{"Reallocate " + std::to_string(2 * 68 + 22),
                                                       "Allocate " + std::to_string(2 * 68 + 22), "Free"}));
    EXPECT_EQ(manager.freed[0], foreign.bytes);
}

TEST(StringManagerTest, RefusedAllocationLeavesTheStringUnchanged)
{
    RecordingMemMgr manager;
    StringControlBlock control;
    ForeignString foreign(&manager, L"keep", 4, true, &control);
    manager.refuseAllocate = true;
    manager.refuseReallocate = true;
    StringW text = StringW::Adopt(foreign.characters);
    EXPECT_FALSE(text.Assign(L"too long for four"));
    EXPECT_EQ(text.RawCharacters(), foreign.characters);
    EXPECT_EQ(text, L"keep");
    EXPECT_EQ(text.capacity(), 4u);
}

TEST(StringManagerTest, ImpossibleSizeFailsWithoutAllocating)
{
    StringW text(L"x");
    EXPECT_FALSE(text.Assign(L"y", SIZE_MAX / 2));
    EXPECT_EQ(text, L"x");
    EXPECT_EQ(text.PrepareBuffer(SIZE_MAX), nullptr);
    EXPECT_EQ(text, L"x");
}

class StringGuardDeathTest : public testing::TestWithParam<size_t> {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

// Overwrites one guard word and checks that `use` ends the process; the
// word is restored afterwards so the test's own teardown stays valid.
template <class String, class Use>
void ExpectGuardEndsProcess(String& text, size_t offset, Use use)
{
    unsigned char* at = const_cast<unsigned char*>(BlockStart(text.RawCharacters())) + offset;
    uint32_t saved;
    std::memcpy(&saved, at, 4);
    const uint32_t overwritten = 0xABCC;
    std::memcpy(at, &overwritten, 4);
    EXPECT_EXIT(use(), testing::ExitedWithCode(CorruptedStringExitCode), "");
    std::memcpy(at, &saved, 4);
}

TEST_P(StringGuardDeathTest, OverwrittenWideGuardEndsTheProcessOnRead)
{
    StringW text(L"guarded");
    const size_t offset = GetParam() == 0 ? 0 : GetParam() == 1 ? 12 : TrailerOffset(64, sizeof(wchar_t));
    ExpectGuardEndsProcess(text, offset, [&] { (void)text.c_str(); });
}

TEST_P(StringGuardDeathTest, OverwrittenNarrowGuardEndsTheProcessOnRead)
{
    StringA text("guarded");
    const size_t offset = GetParam() == 0 ? 0 : GetParam() == 1 ? 12 : TrailerOffset(64, 1);
    ExpectGuardEndsProcess(text, offset, [&] { (void)text.length(); });
}

INSTANTIATE_TEST_SUITE_P(GuardWords, StringGuardDeathTest, testing::Values(0, 1, 2));

TEST(StringGuardDeathTest, EveryUseChecksTheGuards)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    StringW text(L"guarded");
    const size_t trailer = TrailerOffset(64, sizeof(wchar_t));
    ExpectGuardEndsProcess(text, trailer, [&] { StringW copy(text); });
    ExpectGuardEndsProcess(text, trailer, [&] { text = L"reassigned"; });
    ExpectGuardEndsProcess(text, trailer, [&] { (void)text.PrepareBuffer(500); });
    ExpectGuardEndsProcess(text, trailer, [&] { text.Release(); });
    ExpectGuardEndsProcess(text, trailer, [&] { (void)(text == L"guarded"); });
    EXPECT_EQ(text, L"guarded");
}

}  // namespace
