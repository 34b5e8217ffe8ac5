#include "console/command_output.h"

#include "base/text_conversion.h"
#include "console/shell_output.h"

#include <atomic>

namespace {

std::atomic<ShellOutput*>& Current()
{
    static std::atomic<ShellOutput*> current{&TextForm()};
    return current;
}

}  // namespace

ShellOutput& OutputForm() { return *Current().load(); }

void UseOutputForm(ShellOutput& form) { Current().store(&form); }

ICommandOutput& CommandOutput() { return OutputForm(); }

void Show(std::wstring_view text, const char* key, Json::Value value)
{
    ICommandOutput& output = CommandOutput();
    output.Text(text);
    output.Data(key, std::move(value));
}

void Explain(std::wstring_view sentence)
{
    std::wstring line(sentence);
    line += L'\n';
    const size_t end = sentence.find_last_not_of(L' ');
    Show(line, "explanation", TextValue(sentence.substr(0, end == std::wstring_view::npos ? 0 : end + 1)));
}

Json::Value TextValue(std::wstring_view text) { return Json::Value(WideToUtf8(text)); }

Json::Value Utf8Value(std::string_view text) { return TextValue(Utf8ToWide(text)); }

Json::Value CodeValue(ResultCode code) { return Json::Value(static_cast<int32_t>(code)); }
