#include "result_code_printer.h"

#include "console/entry/shell.h"

#include "console/console_input.h"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

namespace {

// Captures the wide standard output for the life of the object.
class CapturedOutput {
public:
    CapturedOutput() : previous_(std::wcout.rdbuf(buffer_.rdbuf())) {}
    ~CapturedOutput() { std::wcout.rdbuf(previous_); }
    std::wstring Text() const { return buffer_.str(); }

private:
    std::wostringstream buffer_;
    std::wstreambuf* previous_;
};

class FakeCommand : public ICommand {
public:
    FakeCommand(std::string name, int32_t result) : name_(std::move(name)), result_(result) {}
    std::string& GetName(std::string& name) const override { return name = name_; }
    ResultCode Execute(const ArgumentTokens& args) override
    {
        calls.push_back(args);
        sawAwaitingInput = AwaitingInput.load();
        return result_;
    }
    bool Cancel() override { return false; }

    std::vector<ArgumentTokens> calls;
    bool sawAwaitingInput = true;

private:
    std::string name_;
    ResultCode result_;
};

class ScriptedLines : public LineSource {
public:
    ScriptedLines(std::vector<std::wstring> lines, bool terminal) : lines_(std::move(lines)), terminal_(terminal) {}
    bool ReadLine(std::wstring& line) override
    {
        if (next_ == lines_.size())
            return false;
        line = lines_[next_++];
        return true;
    }
    bool IsTerminal() const override { return terminal_; }

private:
    std::vector<std::wstring> lines_;
    size_t next_ = 0;
    bool terminal_;
};

class ShellTest : public testing::Test {
protected:
    void SetUp() override
    {
        CommandRegistry.clear();
        RegisterCommand(ok);
        RegisterCommand(failing);
        RegisterCommand(cancelled);
        CurrentCommand = nullptr;
    }
    void TearDown() override { CommandRegistry.clear(); }

    FakeCommand ok{"Support.GetState", 0};
    FakeCommand failing{"Fails", 87};
    FakeCommand cancelled{"Cancels", 1223};
};

struct ShellCase {
    const char* name;
    std::vector<std::wstring> lines;
    bool terminal;
    std::wstring output;
};

class ShellLinesTest : public ShellTest, public testing::WithParamInterface<ShellCase> {};

TEST_P(ShellLinesTest, PrintsExactly)
{
    CapturedOutput output;
    ScriptedLines input(GetParam().lines, GetParam().terminal);
    EXPECT_EQ(RunInteractive(input), 0);
    EXPECT_EQ(output.Text(), GetParam().output);
    EXPECT_FALSE(AwaitingInput.load());
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ShellLinesTest,
    testing::Values(
        ShellCase{"command_then_blank_line", {L"Support.GetState"}, true, L"\n"},
        ShellCase{"echoed_when_scripted", {L"Support.GetState", L"exit"}, false, L"Support.GetState\n\nexit\n"},
        ShellCase{"names_are_case_sensitive", {L"support.getstate"}, true, L"invalid command\n"},
        ShellCase{"leading_space_is_an_empty_token", {L" Support.GetState"}, true, L"invalid command\n"},
        ShellCase{"exit_with_space_is_not_exit", {L"exit ", L"Fails"}, true, L"invalid command\nerror 87\n"},
        ShellCase{"empty_line_prints_a_line_end", {L"", L"exit", L"Fails"}, true, L"\n"},
        ShellCase{"failure_prints_error_and_goes_on", {L"Fails", L"Support.GetState"}, true, L"error 87\n\n"},
        ShellCase{"cancelled_ends_the_shell", {L"Cancels", L"Fails"}, false, L"Cancels\n"},
        ShellCase{"end_of_input_ends_the_shell", {}, false, L""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ShellTest, PassesArgumentTokensAndKeepsCurrentCommand)
{
    CapturedOutput output;
    ScriptedLines input({L"Fails a=\"b c\" -v", L"nope"}, true);
    RunInteractive(input);
    ASSERT_EQ(failing.calls.size(), 1u);
    EXPECT_EQ(failing.calls[0], (ArgumentTokens{"a=\"b c\"", "-v"}));
    EXPECT_FALSE(failing.sawAwaitingInput);
    // An unknown name clears the current command.
    EXPECT_EQ(CurrentCommand.load(), nullptr);
}

TEST_F(ShellTest, OneShotModeRunsOneCommandWithoutSplitting)
{
    CapturedOutput output;
    wchar_t program[] = L"Product.Console.exe", slashC[] = L"/c", name[] = L"Fails", arg[] = L"a b \"c\"";
    wchar_t* argv[] = {program, slashC, name, arg};
    EXPECT_EQ(RunShell(4, argv), 0);
    ASSERT_EQ(failing.calls.size(), 1u);
    EXPECT_EQ(failing.calls[0], (ArgumentTokens{"a b \"c\""}));
    EXPECT_EQ(output.Text(), L"error 87");
    EXPECT_EQ(CurrentCommand.load(), &failing);
}

TEST_F(ShellTest, UnicodeArgumentsReachTheCommandAsUtf8)
{
    CapturedOutput output;
    wchar_t program[] = L"x", slashC[] = L"/c", name[] = L"Support.GetState", arg[] = L"path=C:\\\u00E9\u20AC";
    wchar_t* argv[] = {program, slashC, name, arg};
    RunShell(4, argv);
    ASSERT_EQ(ok.calls.size(), 1u);
    EXPECT_EQ(ok.calls[0], (ArgumentTokens{"path=C:\\\xC3\xA9\xE2\x82\xAC"}));
    EXPECT_EQ(output.Text(), L"");
}

TEST_F(ShellTest, EmptyTokenListIsAnInvalidCommand)
{
    CapturedOutput output;
    EXPECT_TRUE(RunCommand({}));
    EXPECT_EQ(output.Text(), L"invalid command");
}

}  // namespace
