#include "console/console_input.h"

#include <gtest/gtest.h>

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
    [](const auto& info) {
        std::string name = info.param.name;
        for (auto& c : name)
            if (!isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return name;
    });

}  // namespace
