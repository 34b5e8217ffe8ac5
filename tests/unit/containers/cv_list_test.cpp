#include "boundary/cv_list.h"
#include "boundary/cv_string.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

// The last block given back, so a test can see that an object was freed.
static std::atomic<void*> lastFreed{nullptr};

void* operator new(size_t size)
{
    if (void* block = HeapAlloc(GetProcessHeap(), 0, size != 0 ? size : 1))
        return block;
    throw std::bad_alloc();
}
void operator delete(void* block) noexcept
{
    lastFreed = block;
    if (block != nullptr)
        HeapFree(GetProcessHeap(), 0, block);
}
void operator delete(void* block, size_t) noexcept { operator delete(block); }

namespace {

using cv::IConstListEnum;
using cv::IList;
using cv::IListEnum;
using cv::List;

// The vtable slot a pointer to a virtual member function names (the
// Itanium ABI stores 1 + the slot's byte offset).
template <class MemberFunction>
size_t SlotOf(MemberFunction function)
{
    struct {
        uintptr_t pointer;
        ptrdiff_t adjustment;
    } representation;
    static_assert(sizeof(function) == sizeof(representation), "unexpected member pointer size");
    std::memcpy(&representation, &function, sizeof(representation));
    return (representation.pointer - 1) / sizeof(void*);
}

TEST(ListInterfaceTest, SlotsAreInTheAgentsOrder)
{
    using L = IList<int>;
    EXPECT_EQ(SlotOf(&L::PushBack), 0u);
    EXPECT_EQ(SlotOf(&L::PushFront), 1u);
    EXPECT_EQ(SlotOf(static_cast<int* (L::*)()>(&L::Back)), 2u);
    EXPECT_EQ(SlotOf(static_cast<const int* (L::*)() const>(&L::Back)), 3u);
    EXPECT_EQ(SlotOf(&L::GetBack), 4u);
    EXPECT_EQ(SlotOf(static_cast<int* (L::*)()>(&L::Front)), 5u);
    EXPECT_EQ(SlotOf(static_cast<const int* (L::*)() const>(&L::Front)), 6u);
    EXPECT_EQ(SlotOf(&L::GetFront), 7u);
    EXPECT_EQ(SlotOf(&L::Erase), 8u);
    EXPECT_EQ(SlotOf(&L::GetConstEnum), 9u);
    EXPECT_EQ(SlotOf(&L::GetEnum), 10u);
    EXPECT_EQ(SlotOf(&L::Clear), 11u);

    using E = IListEnum<int>;
    using C = IConstListEnum<int>;
    EXPECT_EQ(SlotOf(&E::HasCurrent), 0u);
    EXPECT_EQ(SlotOf(&E::MoveNext), 1u);
    EXPECT_EQ(SlotOf(&E::Current), 2u);
    EXPECT_EQ(SlotOf(&E::Release), 3u);
    EXPECT_EQ(SlotOf(&E::Reset), 4u);
    EXPECT_EQ(SlotOf(&E::Destroy), 5u);
    EXPECT_EQ(SlotOf(&C::HasCurrent), 0u);
    EXPECT_EQ(SlotOf(&C::MoveNext), 1u);
    EXPECT_EQ(SlotOf(&C::Current), 2u);
    EXPECT_EQ(SlotOf(&C::Release), 3u);
    EXPECT_EQ(SlotOf(&C::Reset), 4u);
    EXPECT_EQ(SlotOf(&C::Destroy), 5u);
}

// An enumerator driven as a component of another compiler drives it: through
// the raw table, the object first, slot 5 the destructor with its flag.
struct RawEnumerator {
    explicit RawEnumerator(void* object) : self(object), table(*static_cast<void* const* const*>(object)) {}

    template <class Function, class... Args>
    auto Call(size_t slot, Args... args) const
    {
        return reinterpret_cast<Function>(table[slot])(self, args...);
    }
    bool HasCurrent() const { return Call<bool (*)(void*)>(0); }
    void MoveNext() const { Call<void (*)(void*)>(1); }
    const int* Current() const { return static_cast<const int*>(Call<const void* (*)(void*)>(2)); }
    void Release() const { Call<void (*)(void*)>(3); }
    void Reset() const { Call<void (*)(void*)>(4); }
    void* Destroy(unsigned int flags) const { return Call<void* (*)(void*, unsigned int)>(5, flags); }

    void* self;
    void* const* table;
};

TEST(ListInterfaceTest, EnumeratorsAnswerEverySlotThroughTheRawTable)
{
    List<int> list{7, 8};
    for (const bool constant : {false, true}) {
        SCOPED_TRACE(constant ? "const" : "mutable");
        auto make = [&]() -> void* {
            return constant ? static_cast<void*>(list.GetConstEnum()) : static_cast<void*>(list.GetEnum());
        };
        const RawEnumerator walk(make());
        ASSERT_TRUE(walk.HasCurrent());
        EXPECT_EQ(*walk.Current(), 7);
        walk.MoveNext();
        EXPECT_EQ(*walk.Current(), 8);
        walk.MoveNext();
        EXPECT_FALSE(walk.HasCurrent());
        EXPECT_EQ(walk.Current(), nullptr);
        walk.Reset();
        EXPECT_EQ(*walk.Current(), 7);

        // Flag 1: destroyed and freed.
        lastFreed = nullptr;
        void* returned = walk.Destroy(1);
        void* freed = lastFreed.load();
        EXPECT_EQ(returned, walk.self);
        EXPECT_EQ(freed, walk.self);

        // Flag 0: destroyed, the memory left to the caller.
        const RawEnumerator kept(make());
        lastFreed = nullptr;
        returned = kept.Destroy(0);
        freed = lastFreed.load();
        EXPECT_EQ(returned, kept.self);
        EXPECT_EQ(freed, nullptr);
        ::operator delete(kept.self);

        const RawEnumerator released(make());
        lastFreed = nullptr;
        released.Release();
        freed = lastFreed.load();
        EXPECT_EQ(freed, released.self);
    }
}

std::vector<int> Walk(const IList<int>& list)
{
    std::vector<int> items;
    cv::EnumPtr<IConstListEnum<int>> position(list.GetConstEnum());
    for (; position->HasCurrent(); position->MoveNext())
        items.push_back(*position->Current());
    return items;
}

TEST(ListTest, EmptyListHasNoEndsAndGetLeavesTheOutValue)
{
    List<int> list;
    const IList<int>& constant = list;
    EXPECT_EQ(list.Back(), nullptr);
    EXPECT_EQ(list.Front(), nullptr);
    EXPECT_EQ(constant.Back(), nullptr);
    EXPECT_EQ(constant.Front(), nullptr);
    int out = 42;
    EXPECT_EQ(list.GetBack(out), 1168u);
    EXPECT_EQ(list.GetFront(out), 1168u);
    EXPECT_EQ(out, 42);
    cv::EnumPtr<IListEnum<int>> position(list.GetEnum());
    EXPECT_FALSE(position->HasCurrent());
    EXPECT_EQ(position->Current(), nullptr);
}

TEST(ListTest, PushesAtBothEndsAndCopiesOut)
{
    List<int> list;
    EXPECT_EQ(list.PushBack(2), 0u);
    EXPECT_EQ(list.PushBack(3), 0u);
    EXPECT_EQ(list.PushFront(1), 0u);
    EXPECT_EQ(Walk(list), (std::vector<int>{1, 2, 3}));
    int out = 0;
    EXPECT_EQ(list.GetBack(out), 0u);
    EXPECT_EQ(out, 3);
    EXPECT_EQ(list.GetFront(out), 0u);
    EXPECT_EQ(out, 1);
    *list.Back() = 30;
    EXPECT_EQ(*list.Back(), 30);
    list.Clear();
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(list.Front(), nullptr);
}

TEST(ListTest, EraseMovesTheEnumeratorToTheFollowingElement)
{
    List<int> list{1, 2, 3, 4};
    cv::EnumPtr<IListEnum<int>> position(list.GetEnum());
    position->MoveNext();
    list.Erase(position.get());
    ASSERT_TRUE(position->HasCurrent());
    EXPECT_EQ(*position->Current(), 3);
    EXPECT_EQ(Walk(list), (std::vector<int>{1, 3, 4}));

    position->Reset();
    while (position->HasCurrent())
        list.Erase(position.get());
    EXPECT_TRUE(list.empty());
    list.Erase(position.get());  // past the end: nothing to erase
    list.Erase(nullptr);
}

TEST(ListTest, EraseIgnoresAnotherListsEnumerator)
{
    List<int> list{1, 2};
    List<int> other{1, 2};
    cv::EnumPtr<IListEnum<int>> foreign(other.GetEnum());
    list.Erase(foreign.get());
    EXPECT_EQ(Walk(list), (std::vector<int>{1, 2}));
    EXPECT_EQ(Walk(other), (std::vector<int>{1, 2}));
}

TEST(ListTest, EnumeratorResetsAndStopsAtTheEnd)
{
    List<int> list{5, 6};
    cv::EnumPtr<IConstListEnum<int>> position(list.GetConstEnum());
    position->MoveNext();
    position->MoveNext();
    EXPECT_FALSE(position->HasCurrent());
    position->MoveNext();
    EXPECT_FALSE(position->HasCurrent());
    EXPECT_EQ(position->Current(), nullptr);
    position->Reset();
    ASSERT_TRUE(position->HasCurrent());
    EXPECT_EQ(*position->Current(), 5);
}

TEST(ListTest, StringElementsAreDeepCopies)
{
    cv::StringW name(L"scenario");
    List<cv::StringW> list;
    list.PushBack(name);
    name = L"changed";
    EXPECT_EQ(*list.Front(), L"scenario");
    EXPECT_NE(list.Front()->RawCharacters(), name.RawCharacters());

    List<cv::StringW> copy(list);
    *list.Front() = L"other";
    EXPECT_EQ(*copy.Front(), L"scenario");
    cv::StringW out;
    EXPECT_EQ(copy.GetBack(out), 0u);
    EXPECT_EQ(out, L"scenario");
}

}  // namespace
