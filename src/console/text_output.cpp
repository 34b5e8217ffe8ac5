// The text form: every piece goes to the console the moment it is handed over.
#include "console/shell_output.h"

#include "base/console_output.h"

#include <string>

namespace {

class TextOutput final : public ShellOutput {
public:
    void Text(std::wstring_view text) override { console::Write(text); }
    void Data(const char*, Json::Value) override {}

    void BeginCommand() override {}
    void EndCommand(const std::optional<std::string>&, const ArgumentTokens&, ResultCode code) override
    {
        // A cancelled command says nothing; its end is the shell's.
        if (code != result::Success && code != result::Cancelled)
            console::Write(L"error " + ResultCodeDecimal(code));
    }
    void InvalidCommand(const std::optional<std::string>&, const ArgumentTokens&) override
    {
        console::Write(L"invalid command");
    }
    void EchoLine(std::wstring_view line) override { console::WriteLine(line); }
    void LineDone() override { console::WriteLine(); }
    // The process exit code tells only whether the agent was reached.
    void StartupFailed(ResultCode) override {}
    int OneShotExitCode() const override { return 0; }
};

}  // namespace

ShellOutput& TextForm()
{
    static TextOutput form;
    return form;
}
