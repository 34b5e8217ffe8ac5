#include "dllguard/trace/trace_line.h"

#include <fmt/format.h>
#include <fmt/xchar.h>

namespace dllguard::trace {
namespace {

template <class Char>
std::basic_string<Char> Build(std::basic_string<Char> line, std::basic_string_view<Char> prefix,
                              std::basic_string_view<Char> text)
{
    line.append(prefix).append(text);
    if (line.size() > kMaxLineLength - 1)
        line.resize(kMaxLineLength - 1);
    line.push_back(Char('\n'));
    return line;
}

template <class Char>
void XorAll(std::basic_string<Char>& text, uint8_t key)
{
    if (key == 0)
        return;
    for (Char& c : text)
        c = static_cast<Char>(c ^ key);
}

}  // namespace

std::string BuildLine(uint32_t tickCount, uint32_t threadId, std::string_view prefix, std::string_view text)
{
    return Build(fmt::format("[{:010}][{:06}] x ", tickCount, threadId), prefix, text);
}

std::wstring BuildLine(uint32_t tickCount, uint32_t threadId, std::wstring_view prefix, std::wstring_view text)
{
    return Build(fmt::format(L"[{:010}][{:06}] x ", tickCount, threadId), prefix, text);
}

void Scramble(std::string& text, uint8_t key) { XorAll(text, key); }
void Scramble(std::wstring& text, uint8_t key) { XorAll(text, key); }

}  // namespace dllguard::trace
