#include "integration/boundary/cv_list.h"
#include "integration/boundary/cv_string.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

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
    EXPECT_EQ(SlotOf(&C::HasCurrent), 0u);
    EXPECT_EQ(SlotOf(&C::MoveNext), 1u);
    EXPECT_EQ(SlotOf(&C::Current), 2u);
    EXPECT_EQ(SlotOf(&C::Release), 3u);
    EXPECT_EQ(SlotOf(&C::Reset), 4u);
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
