#pragma once
// The command interface that the shell runs and the interrupt handlers cancel.
#include "base/result_codes.h"

#include <string>
#include <vector>

class TesdkRunner;

// The words of a command line after the command name, UTF-8.
using ArgumentTokens = std::vector<std::string>;

// What the usage and "help" say of a command. Every command class has one, as
// its `Synopsis`; the command table registers it with the command.
struct CommandSynopsis {
    const char* arguments;  // as typed after the name; empty when it takes none
    const char* summary;    // what it does, in a few words
};

class ICommand {
public:
    // Writes the command's registry name into `name` and returns it.
    virtual std::string& GetName(std::string& name) const = 0;
    // Runs the command on the main thread; returns a Windows error code.
    virtual ResultCode Execute(const ArgumentTokens& args) = 0;
    // May be called from any thread, at any time, any number of times.
    // Returns whether the command winds down by itself.
    virtual bool Cancel() = 0;
    virtual ~ICommand() = default;
};

// Base of every command: access to the process-wide agent connection.
class CommandBase : public ICommand {
public:
    explicit CommandBase(TesdkRunner* runner) : runner_(runner) {}

    // Default cancel: stops the shared connection (a request in flight is
    // waited for, not cut short). It stays stopped for the rest of the run.
    bool Cancel() override;

protected:
    TesdkRunner* Runner() const { return runner_; }

private:
    TesdkRunner* runner_;
};
