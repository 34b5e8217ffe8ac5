#pragma once
// The shell: one-shot "/c" mode and the interactive line loop.
#include "console/command.h"

#include <atomic>
#include <map>
#include <string>
#include <vector>

class LineSource;

// Command name (UTF-8, byte-wise, case-sensitive) to command; filled at
// start-up, never owning.
using CommandRegistryMap = std::map<std::string, ICommand*>;
extern CommandRegistryMap CommandRegistry;

// The synopsis of every registered command, under the same names.
extern std::map<std::string, CommandSynopsis> CommandSynopses;

// The command last looked up; kept after it returns, read by the interrupt
// handlers on other threads.
extern std::atomic<ICommand*> CurrentCommand;

// Raised while the interactive shell waits for its first line.
extern std::atomic<bool> AwaitingInput;

// Registers a command under the name it reports, with its synopsis.
void RegisterCommand(ICommand& command, const CommandSynopsis& synopsis);
void ClearCommandRegistry();

// Runs "/c" mode or the interactive shell on standard input, answering in the
// chosen output form. Returns the exit code: that of the output form after one
// command of "/c" mode, else 0.
int RunShell(int argc, wchar_t** argv);

// The interactive loop over any line source.
int RunInteractive(LineSource& input);

// Runs one tokenised line; false ends the interactive shell.
bool RunCommand(const std::vector<std::string>& tokens);
