#pragma once
// Text from a system call that fills a caller's buffer and answers with the
// length written (without the null), with the size it needs (null included)
// when the buffer is too small, or with 0 on failure: GetFullPathNameW,
// GetLongPathNameW, GetFinalPathNameByHandleW, GetEnvironmentVariableW.
#include <windows.h>

#include <string>

// `fill(buffer, size)` makes the call; the text, or empty on failure.
template <class Fill>
std::wstring SystemText(Fill fill)
{
    std::wstring text(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = fill(text.data(), static_cast<DWORD>(text.size()));
        if (length == 0)
            return {};
        if (length < text.size()) {
            text.resize(length);
            return text;
        }
        // Always grow, so that an answer of exactly the buffer's size cannot loop.
        text.resize(length > text.size() ? length : text.size() + 1);
    }
}
