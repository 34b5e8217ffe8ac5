// The usage comes from the command table: every registered command is in it,
// and in the operator's reference.
#include "recorded_output.h"

#include "entry/command_table.h"
#include "entry/shell.h"
#include "entry/usage.h"
#include "base/text_conversion.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

namespace {

std::string ReadText(const char* path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The names of the reference's second-level headings, but its first.
std::set<std::string> ReferenceHeadings(const std::string& reference)
{
    std::set<std::string> headings;
    std::istringstream lines(reference);
    bool first = true;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("## ", 0) != 0)
            continue;
        if (!first)
            headings.insert(line.substr(3));
        first = false;
    }
    return headings;
}

TEST(Usage, NamesEveryRegisteredCommandAsTheReferenceDoes)
{
    ConsoleCommands commands(nullptr);
    commands.RegisterAll();
    RecordedOutput recorded;
    AnswerUsage("/?");
    const std::wstring text = recorded.Text();
    const Json::Value data = recorded.Data();

    std::set<std::string> registered, listed;
    for (const auto& entry : CommandRegistry)
        registered.insert(entry.first);
    for (const Json::Value& command : data["commands"])
        listed.insert(command["name"].asString());
    EXPECT_EQ(registered.size(), 14u);
    EXPECT_EQ(listed, registered);
    for (const std::string& name : registered) {
        const std::wstring wide = Utf8ToWide(name);
        EXPECT_TRUE(text.find(L"\n  " + wide + L" ") != std::wstring::npos ||
                    text.find(L"\n  " + wide + L"\n") != std::wstring::npos)
            << name;
    }
    const std::string reference = ReadText(PRODUCT_COMMAND_REFERENCE);
    ASSERT_FALSE(reference.empty()) << PRODUCT_COMMAND_REFERENCE;
    EXPECT_EQ(ReferenceHeadings(reference), registered);
}

TEST(Usage, SaysHowToStartTheConsoleAndWhatTheCodesMean)
{
    ConsoleCommands commands(nullptr);
    commands.RegisterAll();
    RecordedOutput recorded;
    AnswerUsage("help");
    const std::wstring text = recorded.Text();
    for (const wchar_t* expected : {L"Product.Console.exe /c <command> [arguments]\n", L"Product.Console.exe /json\n",
                                    L"Product.Console.exe /?\n", L"  1460   response timeout\n", L"commands.md"})
        EXPECT_NE(text.find(expected), std::wstring::npos) << WideToUtf8(expected);
    const Json::Value codes = recorded.Data()["resultCodes"];
    ASSERT_EQ(codes.size(), 12u);
    EXPECT_EQ(codes[0]["code"], 0);
    EXPECT_EQ(codes[0]["message"], "success");
    EXPECT_EQ(text.back(), L'\n');
}

}  // namespace
