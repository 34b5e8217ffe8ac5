#include "entry/usage.h"

#include "entry/shell.h"
#include "console/shell_output.h"
#include "base/result_codes.h"
#include "base/text_conversion.h"

#include <algorithm>
#include <string>

namespace {

struct StartForm {
    const char* commandLine;
    const char* meaning;
};

constexpr StartForm StartForms[] = {
    {"Product.Console.exe /c <command> [arguments]", "runs one command, then exits"},
    {"Product.Console.exe", "runs one command per line of input; \"help\" lists the commands, \"exit\" ends"},
    {"Product.Console.exe /json /c <command> [arguments]",
     "as /c, answering with one JSON object; exits with the command's result code"},
    {"Product.Console.exe /json", "one command per line, one JSON object per command"},
    {"Product.Console.exe /?", "this text; /json /? gives it as one JSON object"},
};

constexpr char Reference[] = "commands.md";

std::wstring Wide(const char* text) { return Utf8ToWide(text); }

void AddLine(std::wstring& text, const std::wstring& line) { text += line + L"\n"; }

void AddStartForms(std::wstring& text, Json::Value& data)
{
    AddLine(text, L"Usage:");
    Json::Value& forms = data["usage"] = Json::Value(Json::arrayValue);
    for (const StartForm& form : StartForms) {
        AddLine(text, L"  " + Wide(form.commandLine));
        AddLine(text, L"      " + Wide(form.meaning));
        Json::Value entry(Json::objectValue);
        entry["commandLine"] = form.commandLine;
        entry["meaning"] = form.meaning;
        forms.append(std::move(entry));
    }
}

void AddCommands(std::wstring& text, Json::Value& data)
{
    AddLine(text, L"Commands:");
    Json::Value& commands = data["commands"] = Json::Value(Json::arrayValue);
    for (const auto& [name, synopsis] : CommandSynopses) {
        std::wstring line = L"  " + Utf8ToWide(name);
        if (*synopsis.arguments != '\0')
            line += L" " + Wide(synopsis.arguments);
        AddLine(text, line);
        AddLine(text, L"      " + Wide(synopsis.summary));
        Json::Value entry(Json::objectValue);
        entry["name"] = name;
        entry["arguments"] = synopsis.arguments;
        entry["summary"] = synopsis.summary;
        commands.append(std::move(entry));
    }
    AddLine(text, L"");
    AddLine(text, L"Arguments are name=value, also written /name=value, -name=value or --name=value;");
    AddLine(text, L"names are case-sensitive.");
}

void AddResultCodes(std::wstring& text, Json::Value& data)
{
    AddLine(text, L"Result codes (a failing command prints \"error <code>\"):");
    std::vector<ResultCodeMessageEntry> codes = ResultCodesWithMessages();
    std::sort(codes.begin(), codes.end(), [](const auto& a, const auto& b) { return a.code < b.code; });
    Json::Value& listed = data["resultCodes"] = Json::Value(Json::arrayValue);
    for (const ResultCodeMessageEntry& entry : codes) {
        std::wstring code = ResultCodeDecimal(entry.code);
        code.resize(std::max<size_t>(code.size(), 6), L' ');
        AddLine(text, L"  " + code + L" " + Wide(entry.message));
        Json::Value item(Json::objectValue);
        item["code"] = CodeValue(entry.code);
        item["message"] = entry.message;
        listed.append(std::move(item));
    }
    AddLine(text, L"  Any other code is a Windows error number, or the agent's own negated code.");
    AddLine(text, L"  With /json, 1 means \"invalid command\".");
}

}  // namespace

void AnswerUsage(const char* asked)
{
    std::wstring text = L"Product.Console: the command-line console of the security agent.\n\n";
    Json::Value data(Json::objectValue);
    AddStartForms(text, data);
    text += L"\n";
    AddCommands(text, data);
    text += L"\n";
    AddResultCodes(text, data);
    text += L"\nThe reference of every command: " + Wide(Reference) + L", beside this program.\n";
    data["reference"] = Reference;

    ShellOutput& output = OutputForm();
    output.BeginCommand();
    output.Text(text);
    for (const auto& key : data.getMemberNames())
        output.Data(key.c_str(), data[key]);
    output.EndCommand(std::string(asked), {}, result::Success);
}
