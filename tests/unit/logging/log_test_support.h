#pragma once
// A log folder of the test's own (PRODUCT_LOG_DIR) and the lines that the
// log.dll stand-in wrote there.
#include "temp_folder.h"

#include <string>
#include <vector>

struct LogLine {
    std::string time;
    unsigned long processId = 0;
    unsigned long threadId = 0;
    std::string level;
    std::string module;
    std::string function;
    std::string message;  // with its indentation
};

// Splits one line of the stand-in's format; false when it is not one.
bool ParseLogLine(const std::string& text, LogLine& line);

class LogFolder {
public:
    LogFolder();
    ~LogFolder();
    LogFolder(const LogFolder&) = delete;
    LogFolder& operator=(const LogFolder&) = delete;

    const std::wstring& Path() const { return folder_.Path(); }
    // The whole log file of this program (<program>.log).
    std::string Text() const;
    // Every line; a line that does not parse fails the test.
    std::vector<LogLine> Lines() const;

private:
    TempFolder folder_;
};

// log.dll beside the test executable is loaded in this process.
bool LogLibraryLoaded();
