#pragma once
// Line input for the interactive shell.
#include <chrono>
#include <memory>
#include <string>

class LineSource {
public:
    virtual ~LineSource() = default;
    // Reads one line without its line end; false at end of input or on error.
    virtual bool ReadLine(std::wstring& line) = 0;
    // True when the input is a terminal to the runtime (`_isatty`): a console
    // or another character device. Such input is not echoed.
    virtual bool IsTerminal() const = 0;
};

// Standard input: a console is read with wide console input, and a read that
// Ctrl+C breaks off ends it. Anything else is read as bytes, UTF-8 (an
// optional UTF-8 byte-order mark skipped) or, when it starts with FF FE,
// UTF-16LE. CR LF and LF both end a line; invalid bytes become U+FFFD.
std::unique_ptr<LineSource> OpenStandardInput();

// Decodes redirected input from any byte reader; exposed for tests.
class ByteReader {
public:
    virtual ~ByteReader() = default;
    // Reads up to `capacity` bytes; returns the count, 0 at end of input.
    virtual size_t Read(char* buffer, size_t capacity) = 0;
};
std::unique_ptr<LineSource> MakeRedirectedLineSource(std::unique_ptr<ByteReader> reader, bool terminal = false);

// Reads a console's wide input; exposed for tests.
class ConsoleReader {
public:
    virtual ~ConsoleReader() = default;
    // Reads up to `capacity` characters; returns the count, 0 when the read
    // failed or was broken off.
    virtual size_t Read(wchar_t* buffer, size_t capacity) = 0;
};
// A read that returns nothing ends the input after waiting, at most
// `interruptLimit`, for the interrupt handler to finish the event behind it.
std::unique_ptr<LineSource> MakeConsoleLineSource(std::unique_ptr<ConsoleReader> reader,
                                                  std::chrono::milliseconds interruptLimit);
