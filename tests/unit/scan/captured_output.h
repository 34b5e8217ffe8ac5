#pragma once
// Captures the wide standard output, where the console writes, for the life
// of the object.
#include <iostream>
#include <sstream>
#include <string>

class CapturedOutput {
public:
    CapturedOutput() : previous_(std::wcout.rdbuf(buffer_.rdbuf())) {}
    ~CapturedOutput() { std::wcout.rdbuf(previous_); }
    CapturedOutput(const CapturedOutput&) = delete;
    CapturedOutput& operator=(const CapturedOutput&) = delete;

    std::wstring Text() const { return buffer_.str(); }

private:
    std::wostringstream buffer_;
    std::wstreambuf* previous_;
};
