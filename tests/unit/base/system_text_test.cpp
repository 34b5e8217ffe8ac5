#include "base/system_text.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A system call's answers, scripted: what it writes when the buffer is large
// enough, and what it answers otherwise.
struct ScriptedCall {
    explicit ScriptedCall(std::wstring text_, bool fails_ = false, bool answersBufferSize_ = false)
        : text(std::move(text_)), fails(fails_), answersBufferSize(answersBufferSize_)
    {
    }

    std::wstring text;
    bool fails;
    bool answersBufferSize;  // a faulty first answer: "needs exactly what you gave"
    std::vector<DWORD> sizesSeen;

    DWORD operator()(wchar_t* buffer, DWORD size)
    {
        sizesSeen.push_back(size);
        if (fails)
            return 0;
        if (text.size() + 1 > size)
            return answersBufferSize && sizesSeen.size() == 1 ? size : static_cast<DWORD>(text.size() + 1);
        text.copy(buffer, text.size());
        buffer[text.size()] = L'\0';
        return static_cast<DWORD>(text.size());
    }
};

TEST(SystemTextTest, ShortTextInOneCall)
{
    ScriptedCall call(L"C:\\Windows");
    EXPECT_EQ(SystemText(std::ref(call)), L"C:\\Windows");
    EXPECT_EQ(call.sizesSeen, std::vector<DWORD>{MAX_PATH});
}

TEST(SystemTextTest, LongTextGrowsToTheSizeAskedFor)
{
    ScriptedCall call(std::wstring(1000, L'x'));
    EXPECT_EQ(SystemText(std::ref(call)), std::wstring(1000, L'x'));
    EXPECT_EQ(call.sizesSeen, (std::vector<DWORD>{MAX_PATH, 1001}));
}

TEST(SystemTextTest, TextOfExactlyTheFirstBufferMinusItsNull)
{
    ScriptedCall call(std::wstring(MAX_PATH - 1, L'y'));
    EXPECT_EQ(SystemText(std::ref(call)), std::wstring(MAX_PATH - 1, L'y'));
    ScriptedCall longer(std::wstring(MAX_PATH, L'y'));
    EXPECT_EQ(SystemText(std::ref(longer)), std::wstring(MAX_PATH, L'y'));
    EXPECT_EQ(longer.sizesSeen, (std::vector<DWORD>{MAX_PATH, MAX_PATH + 1}));
}

TEST(SystemTextTest, FailureIsEmpty)
{
    ScriptedCall call(L"anything", true);
    EXPECT_EQ(SystemText(std::ref(call)), L"");
}

TEST(SystemTextTest, AnAnswerOfTheBufferSizeStillGrows)
{
    ScriptedCall call(std::wstring(600, L'z'), false, true);
    EXPECT_EQ(SystemText(std::ref(call)), std::wstring(600, L'z'));
    EXPECT_EQ(call.sizesSeen, (std::vector<DWORD>{MAX_PATH, MAX_PATH + 1, 601}));
}

}  // namespace
