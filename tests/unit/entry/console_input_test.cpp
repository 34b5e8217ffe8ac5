#include "console/console_input.h"

#include "entry/interrupts.h"
#include "entry/shell.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

// Hands out the input in pieces of a fixed size, to cross every boundary.
class ChunkedReader : public ByteReader {
public:
    ChunkedReader(std::string data, size_t chunk) : data_(std::move(data)), chunk_(chunk) {}
    size_t Read(char* buffer, size_t capacity) override
    {
        const size_t count = std::min({chunk_, capacity, data_.size() - offset_});
        std::copy_n(data_.data() + offset_, count, buffer);
        offset_ += count;
        return count;
    }

private:
    std::string data_;
    size_t chunk_;
    size_t offset_ = 0;
};

std::vector<std::wstring> ReadAll(const std::string& bytes, size_t chunk)
{
    auto source = MakeRedirectedLineSource(std::make_unique<ChunkedReader>(bytes, chunk));
    std::vector<std::wstring> lines;
    std::wstring line;
    while (source->ReadLine(line))
        lines.push_back(line);
    return lines;
}

// A case's description as a test name.
std::string TestName(std::string name)
{
    for (auto& c : name)
        if (!isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}

struct InputCase {
    const char* name;
    std::string bytes;
    std::vector<std::wstring> lines;
};

class RedirectedInputTest : public testing::TestWithParam<InputCase> {};

TEST_P(RedirectedInputTest, DecodesLines)
{
    for (size_t chunk : {1u, 2u, 3u, 4096u})
        EXPECT_EQ(ReadAll(GetParam().bytes, chunk), GetParam().lines) << GetParam().name << ", chunk " << chunk;
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, RedirectedInputTest,
    testing::Values(
        InputCase{"empty", "", {}},
        InputCase{"lf", "Nope\nexit\n", {L"Nope", L"exit"}},
        InputCase{"crlf", "Nope\r\nexit\r\n", {L"Nope", L"exit"}},
        InputCase{"no final line end", "a\nb", {L"a", L"b"}},
        InputCase{"blank lines", "\n\r\n\n", {L"", L"", L""}},
        InputCase{"utf8", "caf\xC3\xA9 \xE2\x82\xAC\n", {L"caf\u00E9 \u20AC"}},
        InputCase{"utf8 bom", "\xEF\xBB\xBFx\n", {L"x"}},
        InputCase{"invalid utf8", "a\xFF" "b\n\xC3\n", {L"a\uFFFDb", L"\uFFFD"}},
        InputCase{"utf16le bom", std::string("\xFF\xFEx\0\r\0\n\0\xAC\x20\n\0", 12), {L"x", L"\u20AC"}},
        InputCase{"utf16le odd tail", std::string("\xFF\xFEy\0z", 5), {L"y\uFFFD"}},
        InputCase{"bom only", "\xEF\xBB\xBF", {}}),
    [](const auto& test) { return TestName(test.param.name); });

// Hands out only the chunks released so far, as a pipe kept open by its
// writer does. Asking for more than that would block a real reader: it is
// recorded as a stall and answered with no bytes.
class PacedReader : public ByteReader {
public:
    explicit PacedReader(bool& stalled) : stalled_(stalled) {}
    size_t Read(char* buffer, size_t capacity) override
    {
        if (pending_.empty()) {
            if (!ended_)
                stalled_ = true;
            return 0;
        }
        const size_t count = std::min(capacity, pending_.size());
        std::copy_n(pending_.data(), count, buffer);
        pending_.erase(0, count);
        return count;
    }
    std::string pending_;
    bool ended_ = false;

private:
    bool& stalled_;
};

struct PacedStep {
    std::string chunk;
    std::vector<std::wstring> lines;  // to be answered once the chunk is there
};

struct PacedCase {
    const char* name;
    std::vector<PacedStep> steps;
    std::vector<std::wstring> atEnd;  // left for the end of input
};

class PacedInputTest : public testing::TestWithParam<PacedCase> {};

TEST_P(PacedInputTest, AnswersEachLineAsSoonAsItsLineEndArrives)
{
    bool stalled = false;
    auto reader = std::make_unique<PacedReader>(stalled);
    PacedReader& pipe = *reader;
    auto source = MakeRedirectedLineSource(std::move(reader));
    std::wstring line;
    for (const auto& step : GetParam().steps) {
        pipe.pending_ += step.chunk;
        for (const auto& expected : step.lines) {
            ASSERT_TRUE(source->ReadLine(line));
            EXPECT_FALSE(stalled) << "waited for more input before answering \"" << testing::PrintToString(expected) << "\"";
            EXPECT_EQ(line, expected);
        }
    }
    pipe.ended_ = true;
    std::vector<std::wstring> rest;
    while (source->ReadLine(line))
        rest.push_back(line);
    EXPECT_EQ(rest, GetParam().atEnd);
    EXPECT_FALSE(stalled);
}

INSTANTIATE_TEST_SUITE_P(
    OpenPipe, PacedInputTest,
    testing::Values(
        PacedCase{"lf", {{"\n", {L""}}}, {}},
        PacedCase{"crlf", {{"\r\n", {L""}}}, {}},
        PacedCase{"one letter", {{"x\n", {L"x"}}, {"y\n", {L"y"}}}, {}},
        PacedCase{"line in two pieces", {{"a", {}}, {"b\n", {L"ab"}}}, {}},
        PacedCase{"utf8 bom in pieces", {{"\xEF\xBB", {}}, {"\xBF" "x\n", {L"x"}}}, {}},
        PacedCase{"utf8 bom byte by byte", {{"\xEF", {}}, {"\xBB", {}}, {"\xBF", {}}, {"\n", {L""}}}, {}},
        PacedCase{"utf16le bom in pieces", {{"\xFF", {}}, {std::string("\xFEx\0\n\0", 5), {L"x"}}}, {}},
        PacedCase{"bom prefix that is no bom", {{"\xEF\xBB", {}}, {"x\n", {L"\uFFFDx"}}}, {}},
        PacedCase{"lone ff", {{"\xFF", {}}, {"x\n", {L"\uFFFDx"}}}, {}},
        PacedCase{"bom prefix then end", {{"\xEF\xBB", {}}}, {L"\uFFFD"}},
        PacedCase{"bom then nothing", {{"\xEF\xBB\xBF", {}}}, {}}),
    [](const auto& test) { return TestName(test.param.name); });

// A console that answers with the scripted pieces, then with nothing (a read
// broken off by Ctrl+C, or a console that keeps returning no characters).
class ScriptedConsole : public ConsoleReader {
public:
    ScriptedConsole(std::vector<std::wstring> pieces, std::atomic<int>& reads) : pieces_(std::move(pieces)), reads_(reads) {}
    size_t Read(wchar_t* buffer, size_t capacity) override
    {
        ++reads_;
        if (next_ == pieces_.size())
            return 0;
        const std::wstring& piece = pieces_[next_++];
        const size_t count = std::min(capacity, piece.size());
        std::copy_n(piece.data(), count, buffer);
        return count;
    }

private:
    std::vector<std::wstring> pieces_;
    size_t next_ = 0;
    std::atomic<int>& reads_;
};

class CancelRecorder : public ICommand {
public:
    std::string& GetName(std::string& name) const override { return name = "Recorder"; }
    ResultCode Execute(const ArgumentTokens&) override { return result::Success; }
    bool Cancel() override
    {
        cancelled = true;
        return true;
    }
    std::atomic<bool> cancelled{false};
};

TEST(ConsoleInputTest, ReadBrokenOffByCtrlCEndsInputAfterTheLastCommandIsCancelled)
{
    CancelRecorder last;
    CurrentCommand = &last;
    AwaitingInput = false;
    std::atomic<int> reads{0};
    auto source = MakeConsoleLineSource(std::make_unique<ScriptedConsole>(std::vector<std::wstring>{L"a", L"b\r\n"}, reads),
                                        std::chrono::seconds(30));
    std::wstring line;
    ASSERT_TRUE(source->ReadLine(line));
    EXPECT_EQ(line, L"ab");

    // The handler runs on its own thread and may come after the read has
    // returned.
    std::thread handler([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_EQ(ConsoleCtrlHandler(CTRL_C_EVENT), TRUE);
    });
    EXPECT_FALSE(source->ReadLine(line));
    EXPECT_TRUE(last.cancelled.load());
    handler.join();
    EXPECT_EQ(reads.load(), 3);
    CurrentCommand = nullptr;
}

TEST(ConsoleInputTest, ConsoleReturningNothingEndsInputWithoutSpinning)
{
    std::atomic<int> reads{0};
    auto source = MakeConsoleLineSource(std::make_unique<ScriptedConsole>(std::vector<std::wstring>{L"x\r\ny"}, reads),
                                        std::chrono::milliseconds(1));
    std::wstring line;
    ASSERT_TRUE(source->ReadLine(line));
    EXPECT_EQ(line, L"x");
    EXPECT_FALSE(source->ReadLine(line));
    EXPECT_EQ(reads.load(), 2);
}

}  // namespace
