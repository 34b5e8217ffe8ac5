#include "json/json_document.h"

#include <json/reader.h>

#include <memory>

namespace {

std::unique_ptr<Json::CharReader> MakeReader()
{
    // The features of Json::Reader, with a nesting limit of our own.
    Json::CharReaderBuilder builder;
    builder["collectComments"] = true;
    builder["allowComments"] = true;
    builder["allowTrailingCommas"] = false;
    builder["strictRoot"] = false;
    builder["allowDroppedNullPlaceholders"] = false;
    builder["allowNumericKeys"] = false;
    builder["allowSingleQuotes"] = false;
    // The reader counts the root as one level.
    builder["stackLimit"] = static_cast<Json::UInt>(MaxJsonNesting + 1);
    builder["failIfExtra"] = false;
    builder["rejectDupKeys"] = false;
    builder["allowSpecialFloats"] = false;
    builder["skipBom"] = false;
    return std::unique_ptr<Json::CharReader>(builder.newCharReader());
}

}  // namespace

bool ParseJsonDocument(std::string_view text, Json::Value& out)
{
    out = Json::Value();
    const char* begin = text.empty() ? "" : text.data();
    try {
        const std::unique_ptr<Json::CharReader> reader = MakeReader();
        if (reader->parse(begin, begin + text.size(), &out, nullptr))
            return true;
    } catch (...) {
        // Thrown past the nesting limit.
    }
    out = Json::Value();
    return false;
}
