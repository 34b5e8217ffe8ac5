#pragma once
// The console's commands: constructed once at start-up, registered under their
// names in a fixed order, destroyed in reverse order at teardown.
#include "console/command.h"

#include <memory>
#include <vector>

class ConsoleCommands {
public:
    explicit ConsoleCommands(TesdkRunner* runner);
    ~ConsoleCommands();
    ConsoleCommands(const ConsoleCommands&) = delete;
    ConsoleCommands& operator=(const ConsoleCommands&) = delete;

    // Registers every command under the name it reports, with its synopsis,
    // in table order.
    void RegisterAll();

private:
    struct Entry {
        std::unique_ptr<ICommand> command;
        CommandSynopsis synopsis;
    };
    // A command class without a `Synopsis` does not compile here.
    template <class Command>
    void Add(TesdkRunner* runner)
    {
        commands_.push_back({std::make_unique<Command>(runner), Command::Synopsis});
    }

    std::vector<Entry> commands_;
};
