#pragma once
// What a command tells its caller, in one of two forms chosen at start-up:
// the text form writes each piece of text at once, as the console always
// has (progress lines appear while a command waits); the JSON form keeps the
// values and writes one document once the command has returned. A command
// hands both to the same calls and never asks which form is on.
//
// Any thread may call in: notification handlers and Cancel do.
#include "base/result_codes.h"

#include <json/value.h>

#include <string>
#include <string_view>

class ICommandOutput {
public:
    // The text form's text, exactly as it is to appear; the JSON form drops it.
    virtual void Text(std::wstring_view text) = 0;
    // One member of the JSON form's "data" (a later value for the same key
    // replaces it); the text form drops it.
    virtual void Data(const char* key, Json::Value value) = 0;

protected:
    ~ICommandOutput() = default;
};

// The form the running process answers in (see shell_output.h).
ICommandOutput& CommandOutput();

// Text for the text form and a value for the JSON form, saying the same thing.
void Show(std::wstring_view text, const char* key, Json::Value value);

// A sentence that explains an outcome: a line of the text form, the
// "explanation" of the JSON form (without trailing blanks).
void Explain(std::wstring_view sentence);

// Strings for "data": always valid UTF-8, whatever the agent sent (invalid
// bytes and lone surrogates become U+FFFD).
Json::Value TextValue(std::wstring_view text);
Json::Value Utf8Value(std::string_view text);

// A result code in a document: its signed number.
Json::Value CodeValue(ResultCode code);
