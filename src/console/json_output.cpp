// The JSON form: a command's values are kept while it runs and written as one
// object on one line once it has returned; nothing else reaches the console.
#include "console/shell_output.h"

#include "base/console_output.h"
#include "base/text_conversion.h"

#include <json/writer.h>

#include <memory>
#include <mutex>
#include <sstream>

namespace {

// Tools that read the documents check it before anything else.
constexpr int SchemaVersion = 1;

// A line that names no command.
constexpr ResultCode InvalidCommandResult{1};
constexpr char InvalidCommandMessage[] = "invalid command";

class JsonOutput final : public ShellOutput {
public:
    JsonOutput()
    {
        Json::StreamWriterBuilder builder;
        builder["indentation"] = "";
        builder["emitUTF8"] = true;
        writer_.reset(builder.newStreamWriter());
    }

    void Text(std::wstring_view) override {}

    void Data(const char* key, Json::Value value) override
    {
        std::lock_guard<std::mutex> guard(lock_);
        // A handler that speaks after its command has returned is too late.
        if (open_)
            data_[key] = std::move(value);
    }

    void BeginCommand() override
    {
        std::lock_guard<std::mutex> guard(lock_);
        data_ = Json::Value(Json::objectValue);
        open_ = true;
    }

    void EndCommand(const std::optional<std::string>& name, const ArgumentTokens& args, ResultCode code) override
    {
        Json::Value data;
        {
            std::lock_guard<std::mutex> guard(lock_);
            open_ = false;
            data.swap(data_);
        }
        Write(name, args, code, ResultCodeMessage(code), std::move(data));
    }

    void InvalidCommand(const std::optional<std::string>& name, const ArgumentTokens& args) override
    {
        Write(name, args, InvalidCommandResult, InvalidCommandMessage, Json::Value(Json::objectValue));
    }

    void EchoLine(std::wstring_view) override {}
    void LineDone() override {}

    void StartupFailed(ResultCode code) override { EndCommand(std::nullopt, {}, code); }

    // With /json the one command's result is the exit code as well.
    int OneShotExitCode() const override { return static_cast<int32_t>(lastResult_); }

private:
    void Write(const std::optional<std::string>& name, const ArgumentTokens& args, ResultCode code,
               const std::string& message, Json::Value data)
    {
        Json::Value document(Json::objectValue);
        document["schemaVersion"] = SchemaVersion;
        document["command"] = name ? Utf8Value(*name) : Json::Value(Json::nullValue);
        Json::Value& arguments = document["arguments"] = Json::Value(Json::arrayValue);
        for (const std::string& arg : args)
            arguments.append(Utf8Value(arg));
        document["result"] = CodeValue(code);
        document["message"] = message;
        document["data"] = data.isObject() ? std::move(data) : Json::Value(Json::objectValue);
        lastResult_ = code;

        std::ostringstream text;
        writer_->write(document, &text);
        // The document holds valid UTF-8 only; its conversion cannot lose a character.
        console::WriteLine(Utf8ToWide(text.str()));
    }

    std::mutex lock_;
    Json::Value data_{Json::objectValue};
    bool open_ = false;
    ResultCode lastResult_;
    std::unique_ptr<Json::StreamWriter> writer_;
};

}  // namespace

ShellOutput& JsonForm()
{
    static JsonOutput form;
    return form;
}
