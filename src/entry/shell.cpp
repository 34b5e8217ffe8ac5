#include "entry/shell.h"

#include "console/command_line.h"
#include "entry/command_run.h"
#include "console/console_input.h"
#include "entry/usage.h"
#include "console/shell_output.h"
#include "base/result_codes.h"
#include "base/text_conversion.h"

CommandRegistryMap CommandRegistry;
std::map<std::string, CommandSynopsis> CommandSynopses;
std::atomic<ICommand*> CurrentCommand{nullptr};
std::atomic<bool> AwaitingInput{false};

void RegisterCommand(ICommand& command, const CommandSynopsis& synopsis)
{
    std::string name;
    command.GetName(name);
    CommandRegistry[name] = &command;
    CommandSynopses[name] = synopsis;
}

void ClearCommandRegistry()
{
    CommandRegistry.clear();
    CommandSynopses.clear();
}

bool RunCommand(const std::vector<std::string>& tokens)
{
    ShellOutput& output = OutputForm();
    if (tokens.empty()) {
        output.InvalidCommand(std::nullopt, {});
        return true;
    }
    const auto found = CommandRegistry.find(tokens.front());
    ICommand* command = found == CommandRegistry.end() ? nullptr : found->second;
    CurrentCommand.store(command);
    const ArgumentTokens args(tokens.begin() + 1, tokens.end());
    if (command == nullptr) {
        output.InvalidCommand(tokens.front(), args);
        return true;
    }

    output.BeginCommand();
    const ResultCode code = ExecuteAndReport(*command, tokens.front(), args);
    output.EndCommand(tokens.front(), args, code);
    return code != result::Cancelled;
}

int RunInteractive(LineSource& input)
{
    ShellOutput& output = OutputForm();
    AwaitingInput.exchange(true);
    std::wstring line;
    while (input.ReadLine(line)) {
        if (!input.IsTerminal())
            output.EchoLine(line);  // scripted input is echoed
        AwaitingInput.exchange(false);

        const std::string utf8 = WideToUtf8(line);
        if (utf8 == "exit")
            break;
        if (utf8 == "help") {
            AnswerUsage("help");
        } else {
            const auto tokens = SplitCommandLine(utf8);
            if (!tokens.empty() && !RunCommand(tokens))
                break;
        }
        output.LineDone();
    }
    AwaitingInput.exchange(false);
    return 0;
}

int RunShell(int argc, wchar_t** argv)
{
    AwaitingInput.exchange(false);
    if (argc >= 3 && std::wstring(argv[1]) == L"/c") {
        std::vector<std::string> tokens;
        for (int i = 2; i < argc; ++i)
            tokens.push_back(WideToUtf8(argv[i]));
        RunCommand(tokens);
        return OutputForm().OneShotExitCode();
    }
    const auto input = OpenStandardInput();
    return RunInteractive(*input);
}
