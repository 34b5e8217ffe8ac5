#pragma once
// The shell's side of the two output forms: what surrounds each command (its
// result line or its document), the echo of input lines, and the cases in
// which no command runs.
#include "base/result_codes.h"
#include "console/command.h"
#include "console/command_output.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

class ShellOutput : public ICommandOutput {
public:
    virtual ~ShellOutput() = default;

    // Before a command runs: its data starts empty.
    virtual void BeginCommand() = 0;
    // After it has returned. Text: "error <code>" for a code other than 0
    // and 1223. JSON: the command's document. No name: nothing was looked up
    // (start-up failed, or the line held no word).
    virtual void EndCommand(const std::optional<std::string>& name, const ArgumentTokens& args, ResultCode code) = 0;
    // A line whose first word names no command. Text: "invalid command".
    // JSON: a document with result 1.
    virtual void InvalidCommand(const std::optional<std::string>& name, const ArgumentTokens& args) = 0;
    // An interactive line as read from input that is not a terminal (text:
    // echoed), and the end of that line's handling (text: a line end).
    virtual void EchoLine(std::wstring_view line) = 0;
    virtual void LineDone() = 0;
    // The agent connection did not start. JSON: a document without a command.
    virtual void StartupFailed(ResultCode code) = 0;
    // What the process exits with after one command of "/c" mode.
    virtual int OneShotExitCode() const = 0;
};

// The form the process answers in: the text form until the entry chooses
// another, before any command runs.
ShellOutput& OutputForm();
void UseOutputForm(ShellOutput& form);

// The console's words, at their moments.
ShellOutput& TextForm();
// One JSON object per command, one line each.
ShellOutput& JsonForm();
