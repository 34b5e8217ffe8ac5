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

    // Registers every command under the name it reports, in table order.
    void RegisterAll();

private:
    std::vector<std::unique_ptr<ICommand>> commands_;
};
