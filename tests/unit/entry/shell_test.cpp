#include "result_code_printer.h"

#include "entry/shell.h"

#include "console/console_input.h"
#include "console/shell_output.h"
#include "json/json_document.h"
#include "base/text_conversion.h"

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
    static constexpr CommandSynopsis Synopsis = {"", "a command of the test"};

    void SetUp() override
    {
        ClearCommandRegistry();
        RegisterCommand(ok, Synopsis);
        RegisterCommand(failing, Synopsis);
        RegisterCommand(cancelled, Synopsis);
        CurrentCommand = nullptr;
    }
    void TearDown() override { ClearCommandRegistry(); }

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
    [](const auto& test) { return std::string(test.param.name); });

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

// Chooses the JSON form for the life of the object.
class JsonFormChosen {
public:
    JsonFormChosen() { UseOutputForm(JsonForm()); }
    ~JsonFormChosen() { UseOutputForm(TextForm()); }
};

// The documents of a JSON-form run: one per line, each line ended.
std::vector<Json::Value> Documents(const std::wstring& text)
{
    std::vector<Json::Value> documents;
    size_t start = 0;
    for (size_t end; (end = text.find(L'\n', start)) != std::wstring::npos; start = end + 1) {
        Json::Value document;
        EXPECT_TRUE(ParseJsonDocument(WideToUtf8(text.substr(start, end - start)), document)) << WideToUtf8(text);
        documents.push_back(document);
    }
    EXPECT_EQ(start, text.size()) << "the last line has no line end";
    return documents;
}

// A command that says something in both forms, also after it has returned.
class TalkingCommand : public ICommand {
public:
    std::string& GetName(std::string& name) const override { return name = "Talks"; }
    ResultCode Execute(const ArgumentTokens&) override
    {
        Show(L"said", "said", "\xC3\xA9 \xFF\x01\"");  // invalid UTF-8 and a control character
        CommandOutput().Text(L"only for people");
        return result::Success;
    }
    bool Cancel() override { return false; }
};

TEST_F(ShellTest, JsonFormAnswersEveryCommandLineWithOneDocumentAndNothingElse)
{
    TalkingCommand talking;
    RegisterCommand(talking, Synopsis);
    CapturedOutput output;
    JsonFormChosen json;
    ScriptedLines input({L"Talks x", L"", L"nope a", L" ", L"Fails \"b c\"", L"help", L"Cancels", L"Fails"}, false);
    EXPECT_EQ(RunInteractive(input), 0);
    // A handler that speaks after its command's document is too late for it.
    Show(L"late", "late", 1);

    const std::vector<Json::Value> documents = Documents(output.Text());
    ASSERT_EQ(documents.size(), 6u) << WideToUtf8(output.Text());
    const char* expected[] = {
        R"({"schemaVersion":1,"command":"Talks","arguments":["x"],"result":0,"message":"success",)"
        R"("data":{"said":"\u00e9 \ufffd\u0001\""}})",
        R"({"schemaVersion":1,"command":"nope","arguments":["a"],"result":1,"message":"invalid command","data":{}})",
        R"({"schemaVersion":1,"command":"","arguments":[],"result":1,"message":"invalid command","data":{}})",
        R"({"schemaVersion":1,"command":"Fails","arguments":["b c"],"result":87,"message":"invalid parameter",)"
        R"("data":{}})",
        nullptr,  // the usage
        R"({"schemaVersion":1,"command":"Cancels","arguments":[],"result":1223,"message":"cancelled","data":{}})",
    };
    for (size_t i = 0; i < documents.size(); ++i) {
        if (expected[i] == nullptr)
            continue;
        Json::Value wanted;
        ASSERT_TRUE(ParseJsonDocument(expected[i], wanted)) << expected[i];
        EXPECT_EQ(documents[i], wanted) << i;
    }
    EXPECT_EQ(documents[4]["command"], "help");
    EXPECT_EQ(documents[4]["data"]["commands"].size(), 4u);
    // The cancelled command ended the shell: the last line never ran.
    EXPECT_EQ(failing.calls.size(), 1u);
}

TEST_F(ShellTest, OneShotJsonFormExitsWithTheResult)
{
    const struct {
        const wchar_t* name;
        int exitCode;
    } cases[] = {{L"Fails", 87}, {L"Support.GetState", 0}, {L"Cancels", 1223}, {L"Nope", 1}};
    for (const auto& one : cases) {
        CapturedOutput output;
        JsonFormChosen json;
        wchar_t program[] = L"/json", slashC[] = L"/c";
        std::wstring name = one.name;
        wchar_t* argv[] = {program, slashC, name.data()};
        EXPECT_EQ(RunShell(3, argv), one.exitCode) << WideToUtf8(one.name);
        EXPECT_EQ(Documents(output.Text()).size(), 1u);
    }
    // The text form's exit code does not tell.
    CapturedOutput output;
    wchar_t program[] = L"x", slashC[] = L"/c", name[] = L"Fails";
    wchar_t* argv[] = {program, slashC, name};
    EXPECT_EQ(RunShell(3, argv), 0);
}

TEST(OutputForms, AStartThatFailedIsADocumentWithoutACommand)
{
    CapturedOutput output;
    JsonForm().StartupFailed(ResultCode(126));
    TextForm().StartupFailed(ResultCode(126));
    const std::vector<Json::Value> documents = Documents(output.Text());
    ASSERT_EQ(documents.size(), 1u);
    EXPECT_TRUE(documents[0]["command"].isNull());
    EXPECT_EQ(documents[0]["result"], 126);
    EXPECT_EQ(documents[0]["message"], "126");
    EXPECT_EQ(JsonForm().OneShotExitCode(), 126);
}

TEST(OutputForms, TextValuesAreValidUtf8WhateverTheyCameFrom)
{
    EXPECT_EQ(Utf8Value("a\x80" "b\xC3(\xFF"), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD(\xEF\xBF\xBD");
    EXPECT_EQ(TextValue(L"\xD800x\xDC00\u00E9"), "\xEF\xBF\xBDx\xEF\xBF\xBD\xC3\xA9");
    EXPECT_EQ(TextValue(L""), "");
}

}  // namespace
