#include "json/json_values.h"

#include "json/json_path.h"
#include "base/text_conversion.h"

#include <cstdio>

namespace {

// Decimal text of an integer node, or the string itself.
bool ReadText(const Json::Value& root, std::string_view path, std::string& out)
{
    out.clear();
    const Json::Value* node = FindPath(&root, path);
    if (node == nullptr)
        return false;
    const char* begin = nullptr;
    const char* end = nullptr;
    if (node->isString()) {
        if (node->getString(&begin, &end))
            out.assign(begin, end);
        return true;
    }
    char digits[20];
    int written;
    if (node->isInt())
        written = std::snprintf(digits, sizeof(digits), "%d", node->asInt());
    else if (node->isUInt())
        written = std::snprintf(digits, sizeof(digits), "%u", node->asUInt());
    else
        return false;
    if (written <= 0)
        return false;
    out.assign(digits, static_cast<size_t>(written));
    return true;
}

// The value is built before the lookup: its source may live inside `root`,
// which creating the path can change.
bool Replace(Json::Value& root, std::string_view path, Json::Value value)
{
    Json::Value* node = FindPath(&root, path, PathMode::Create);
    if (node == nullptr)
        return false;
    *node = Json::Value();
    node->swap(value);
    return true;
}

}  // namespace

bool GetInt32(int32_t& out, const Json::Value& root, std::string_view path)
{
    out = 0;
    const Json::Value* node = FindPath(&root, path);
    if (node == nullptr)
        return false;
    if (node->isInt())
        out = node->asInt();
    else if (node->isUInt())
        out = static_cast<int32_t>(node->asUInt());
    else
        return false;
    return true;
}

bool GetBool(bool& out, const Json::Value& root, std::string_view path)
{
    out = false;
    const Json::Value* node = FindPath(&root, path);
    if (node == nullptr)
        return false;
    if (node->isBool())
        out = node->asBool();
    else if (node->isInt())
        out = node->asInt() != 0;
    else if (node->isUInt())
        out = node->asUInt() != 0;
    else
        return false;
    return true;
}

bool GetUInt64(uint64_t& out, const Json::Value& root, std::string_view path)
{
    out = 0;
    const Json::Value* node = FindPath(&root, path);
    if (node == nullptr || !node->isUInt64())
        return false;
    out = node->asUInt64();
    return true;
}

bool GetInt64(int64_t& out, const Json::Value& root, std::string_view path)
{
    out = 0;
    const Json::Value* node = FindPath(&root, path);
    if (node == nullptr)
        return false;
    if (node->isInt64())
        out = node->asInt64();
    else if (node->isUInt64())
        out = static_cast<int64_t>(node->asUInt64());
    else
        return false;
    return true;
}

bool GetUtf8String(std::string& out, const Json::Value& root, std::string_view path)
{
    return ReadText(root, path, out);
}

bool GetUtf8String(cv::StringA& out, const Json::Value& root, std::string_view path)
{
    out.Release();
    std::string text;
    if (!ReadText(root, path, text))
        return false;
    return out.Assign(text.data(), text.size());
}

bool GetWideString(std::wstring& out, const Json::Value& root, std::string_view path)
{
    out.clear();
    std::string text;
    if (!ReadText(root, path, text))
        return false;
    out = Utf8ToWide(text);
    return true;
}

bool GetWideString(cv::StringW& out, const Json::Value& root, std::string_view path)
{
    out.Release();
    std::string text;
    if (!ReadText(root, path, text))
        return false;
    const std::wstring wide = Utf8ToWide(text);
    return out.Assign(wide.data(), wide.size());
}

bool SetUtf8String(Json::Value& root, std::string_view path, std::string_view value)
{
    return Replace(root, path, Json::Value(value.data(), value.data() + value.size()));
}

bool SetWideString(Json::Value& root, std::string_view path, std::wstring_view value)
{
    const std::string text = WideToUtf8(value);
    return SetUtf8String(root, path, text);
}

bool SetBool(Json::Value& root, std::string_view path, bool value)
{
    return Replace(root, path, Json::Value(value));
}

bool SetInt32(Json::Value& root, std::string_view path, int32_t value)
{
    return Replace(root, path, Json::Value(static_cast<Json::Int>(value)));
}

bool SetUInt64(Json::Value& root, std::string_view path, uint64_t value)
{
    return Replace(root, path, Json::Value(static_cast<Json::UInt64>(value)));
}

bool SetInt64(Json::Value& root, std::string_view path, int64_t value)
{
    return Replace(root, path, Json::Value(static_cast<Json::Int64>(value)));
}

bool SetValue(Json::Value& root, std::string_view path, const Json::Value& value)
{
    return Replace(root, path, Json::Value(value));
}

cv::StringA FormatCvStringV(const char* format, va_list args)
{
    cv::StringA result;
    if (format == nullptr)
        return result;
    va_list measure;
    va_copy(measure, args);
    const int needed = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (needed < 0)
        return result;
    char* buffer = result.PrepareBuffer(static_cast<size_t>(needed));
    if (buffer == nullptr)
        return result;
    std::vsnprintf(buffer, static_cast<size_t>(needed) + 1, format, args);
    return result;
}

cv::StringA FormatCvString(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    cv::StringA result = FormatCvStringV(format, args);
    va_end(args);
    return result;
}

std::string FormatString(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const cv::StringA result = FormatCvStringV(format, args);
    va_end(args);
    return std::string(result.view());
}
