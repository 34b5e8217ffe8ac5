#include "console/entry/shell.h"

#include "console/command_line.h"
#include "console/entry/command_run.h"
#include "console/console_input.h"
#include "base/console_output.h"
#include "base/result_codes.h"
#include "base/text_conversion.h"

CommandRegistryMap CommandRegistry;
std::atomic<ICommand*> CurrentCommand{nullptr};
std::atomic<bool> AwaitingInput{false};

void RegisterCommand(ICommand& command)
{
    std::string name;
    command.GetName(name);
    CommandRegistry[name] = &command;
}

bool RunCommand(const std::vector<std::string>& tokens)
{
    if (tokens.empty()) {
        console::Write(L"invalid command");
        return true;
    }
    const auto found = CommandRegistry.find(tokens.front());
    ICommand* command = found == CommandRegistry.end() ? nullptr : found->second;
    CurrentCommand.store(command);
    if (command == nullptr) {
        console::Write(L"invalid command");
        return true;
    }

    const ArgumentTokens args(tokens.begin() + 1, tokens.end());
    const ResultCode code = ExecuteAndReport(*command, tokens.front(), args);

    if (code == result::Cancelled)
        return false;
    if (code != result::Success)
        console::Write(L"error " + ResultCodeDecimal(code));
    return true;
}

int RunInteractive(LineSource& input)
{
    AwaitingInput.exchange(true);
    std::wstring line;
    while (input.ReadLine(line)) {
        if (!input.IsTerminal())
            console::WriteLine(line);  // scripted input is echoed
        AwaitingInput.exchange(false);

        const std::string utf8 = WideToUtf8(line);
        if (utf8 == "exit")
            break;
        const auto tokens = SplitCommandLine(utf8);
        if (!tokens.empty() && !RunCommand(tokens))
            break;
        console::WriteLine();
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
        return 0;
    }
    const auto input = OpenStandardInput();
    return RunInteractive(*input);
}
