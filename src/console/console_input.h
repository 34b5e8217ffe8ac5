#pragma once
// Line input for the interactive shell.
#include <memory>
#include <string>

class LineSource {
public:
    virtual ~LineSource() = default;
    // Reads one line without its line end; false at end of input or on error.
    virtual bool ReadLine(std::wstring& line) = 0;
    // True when the input is an interactive terminal (no echo then).
    virtual bool IsTerminal() const = 0;
};

// Standard input: a console is read with wide console input; a pipe or file is
// read as bytes, UTF-8 (an optional UTF-8 byte-order mark skipped) or, when it
// starts with FF FE, UTF-16LE. CR LF and LF both end a line; invalid bytes
// become U+FFFD.
std::unique_ptr<LineSource> OpenStandardInput();

// Decodes redirected input from any byte reader; exposed for tests.
class ByteReader {
public:
    virtual ~ByteReader() = default;
    // Reads up to `capacity` bytes; returns the count, 0 at end of input.
    virtual size_t Read(char* buffer, size_t capacity) = 0;
};
std::unique_ptr<LineSource> MakeRedirectedLineSource(std::unique_ptr<ByteReader> reader);
