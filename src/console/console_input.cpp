#include "console/console_input.h"

#include "base/text_conversion.h"
#include "console/handled_interrupts.h"

#include <windows.h>

#include <io.h>

namespace {

// How long a broken-off console read waits for the interrupt handler.
constexpr std::chrono::milliseconds kInterruptHandlingLimit{2000};

class HandleByteReader : public ByteReader {
public:
    explicit HandleByteReader(HANDLE handle) : handle_(handle) {}

    size_t Read(char* buffer, size_t capacity) override
    {
        DWORD read = 0;
        const DWORD request = capacity > 65536 ? 65536 : static_cast<DWORD>(capacity);
        // A closed pipe (ERROR_BROKEN_PIPE) is the writer's end of input.
        if (!ReadFile(handle_, buffer, request, &read, nullptr))
            return 0;
        return read;
    }

private:
    HANDLE handle_;  // standard input; not ours to close
};

class RedirectedLineSource : public LineSource {
public:
    RedirectedLineSource(std::unique_ptr<ByteReader> reader, bool terminal)
        : reader_(std::move(reader)), terminal_(terminal)
    {
    }

    bool IsTerminal() const override { return terminal_; }

    bool ReadLine(std::wstring& line) override
    {
        if (!encodingKnown_)
            DetectEncoding();
        return utf16_ ? ReadUtf16Line(line) : ReadUtf8Line(line);
    }

private:
    // Drops what was consumed and appends the next chunk of input; returns
    // how many bytes of the buffer were dropped.
    size_t ReadChunk()
    {
        const size_t dropped = position_;
        buffer_.erase(0, position_);
        position_ = 0;
        char chunk[4096];
        const size_t read = reader_->Read(chunk, sizeof chunk);
        if (read == 0)
            ended_ = true;
        else
            buffer_.append(chunk, read);
        return dropped;
    }

    // Makes sure at least `count` unread bytes are buffered, unless input ends.
    bool Fill(size_t count)
    {
        while (buffer_.size() - position_ < count && !ended_)
            ReadChunk();
        return buffer_.size() - position_ >= count;
    }

    // Looks for a byte-order mark only in what has arrived. More input is
    // awaited only while that could still be the start of a mark; such bytes
    // hold no line end, so a short first line is answered as soon as it ends.
    void DetectEncoding()
    {
        static constexpr std::string_view utf8Bom("\xEF\xBB\xBF");
        static constexpr std::string_view utf16LeBom("\xFF\xFE");
        for (;;) {
            const std::string_view head(buffer_.data() + position_, buffer_.size() - position_);
            if (head.substr(0, utf8Bom.size()) == utf8Bom) {
                position_ += utf8Bom.size();
                break;
            }
            if (head.substr(0, utf16LeBom.size()) == utf16LeBom) {
                position_ += utf16LeBom.size();
                utf16_ = true;
                break;
            }
            const bool markMayFollow = utf8Bom.substr(0, head.size()) == head || utf16LeBom.substr(0, head.size()) == head;
            if (ended_ || !markMayFollow)
                break;
            ReadChunk();
        }
        encodingKnown_ = true;
    }

    bool ReadUtf8Line(std::wstring& line)
    {
        size_t searchFrom = position_;
        for (;;) {
            const size_t newline = buffer_.find('\n', searchFrom);
            if (newline != std::string::npos) {
                std::string_view bytes(buffer_.data() + position_, newline - position_);
                position_ = newline + 1;
                line = DecodeUtf8(bytes);
                return true;
            }
            if (ended_)
                break;
            searchFrom = buffer_.size();
            searchFrom -= ReadChunk();
        }
        if (position_ >= buffer_.size())
            return false;
        // The last line may end without a line end.
        line = DecodeUtf8(std::string_view(buffer_.data() + position_, buffer_.size() - position_));
        position_ = buffer_.size();
        return true;
    }

    bool ReadUtf16Line(std::wstring& line)
    {
        line.clear();
        bool any = false;
        for (;;) {
            if (!Fill(2)) {
                // A lone trailing byte is not a character.
                if (position_ < buffer_.size()) {
                    position_ = buffer_.size();
                    line += L'\xFFFD';
                    any = true;
                }
                break;
            }
            const auto low = static_cast<unsigned char>(buffer_[position_]);
            const auto high = static_cast<unsigned char>(buffer_[position_ + 1]);
            position_ += 2;
            any = true;
            const wchar_t unit = static_cast<wchar_t>(low | (high << 8));
            if (unit == L'\n') {
                if (!line.empty() && line.back() == L'\r')
                    line.pop_back();
                return true;
            }
            line += unit;
        }
        if (!line.empty() && line.back() == L'\r')
            line.pop_back();
        return any;
    }

    static std::wstring DecodeUtf8(std::string_view bytes)
    {
        if (!bytes.empty() && bytes.back() == '\r')
            bytes.remove_suffix(1);
        return Utf8ToWide(bytes);
    }

    std::unique_ptr<ByteReader> reader_;
    const bool terminal_;
    std::string buffer_;
    size_t position_ = 0;
    bool ended_ = false;
    bool encodingKnown_ = false;
    bool utf16_ = false;
};

class HandleConsoleReader : public ConsoleReader {
public:
    explicit HandleConsoleReader(HANDLE handle) : handle_(handle) {}

    size_t Read(wchar_t* buffer, size_t capacity) override
    {
        DWORD read = 0;
        const DWORD request = capacity > 16384 ? 16384 : static_cast<DWORD>(capacity);
        if (!ReadConsoleW(handle_, buffer, request, &read, nullptr))
            return 0;
        return read;
    }

private:
    HANDLE handle_;  // standard input; not ours to close
};

class ConsoleLineSource : public LineSource {
public:
    ConsoleLineSource(std::unique_ptr<ConsoleReader> reader, std::chrono::milliseconds interruptLimit)
        : reader_(std::move(reader)), interruptLimit_(interruptLimit)
    {
    }

    bool IsTerminal() const override { return true; }

    bool ReadLine(std::wstring& line) override
    {
        line.clear();
        for (;;) {
            const size_t newline = pending_.find(L'\n');
            if (newline != std::wstring::npos) {
                line = pending_.substr(0, newline);
                pending_.erase(0, newline + 1);
                if (!line.empty() && line.back() == L'\r')
                    line.pop_back();
                // Ctrl+Z at the start of a line ends console input.
                return line.empty() || line.front() != L'\x1A';
            }
            wchar_t chunk[1024];
            const unsigned interruptsBefore = HandledInterrupts();
            const size_t read = reader_->Read(chunk, ARRAYSIZE(chunk));
            if (read == 0) {
                // Broken off by Ctrl+C (or the console went away): the input
                // ends, once the handler has cancelled the last command.
                WaitForHandledInterrupt(interruptsBefore, interruptLimit_);
                return false;
            }
            pending_.append(chunk, read);
        }
    }

private:
    std::unique_ptr<ConsoleReader> reader_;
    const std::chrono::milliseconds interruptLimit_;
    std::wstring pending_;
};

}  // namespace

std::unique_ptr<LineSource> MakeRedirectedLineSource(std::unique_ptr<ByteReader> reader, bool terminal)
{
    return std::make_unique<RedirectedLineSource>(std::move(reader), terminal);
}

std::unique_ptr<LineSource> MakeConsoleLineSource(std::unique_ptr<ConsoleReader> reader,
                                                  std::chrono::milliseconds interruptLimit)
{
    return std::make_unique<ConsoleLineSource>(std::move(reader), interruptLimit);
}

std::unique_ptr<LineSource> OpenStandardInput()
{
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (GetConsoleMode(input, &mode))
        return MakeConsoleLineSource(std::make_unique<HandleConsoleReader>(input), kInterruptHandlingLimit);
    // A character device that is no console (NUL, a serial line) is read as
    // bytes but, being a terminal to the runtime, not echoed.
    return MakeRedirectedLineSource(std::make_unique<HandleByteReader>(input), _isatty(0) != 0);
}
