#pragma once
// Typed reads and writes of JSON values at a path (see json_path.h).
//
// Getters look the path up in read mode and accept only the node types
// listed; the out value is reset first (0, false, empty) and keeps that on
// failure. They never throw: a range accessor of the JSON library is called
// only after its type test has passed.
//
// Setters look the path up in create mode and replace the node with a new
// value of the given type; false only when the path cannot be resolved.
#include "boundary/cv_string.h"

#include <json/value.h>

#include <cstdarg>
#include <cstdint>
#include <string>
#include <string_view>

// int, else unsigned int (its 32 bits).
[[nodiscard]] bool GetInt32(int32_t& out, const Json::Value& root, std::string_view path);
// bool, else int or unsigned int (non-zero is true).
[[nodiscard]] bool GetBool(bool& out, const Json::Value& root, std::string_view path);
// unsigned 64-bit only.
[[nodiscard]] bool GetUInt64(uint64_t& out, const Json::Value& root, std::string_view path);
// signed 64-bit, else unsigned 64-bit (its 64 bits).
[[nodiscard]] bool GetInt64(int64_t& out, const Json::Value& root, std::string_view path);
// string, else int or unsigned int as decimal text.
[[nodiscard]] bool GetUtf8String(std::string& out, const Json::Value& root, std::string_view path);
[[nodiscard]] bool GetUtf8String(cv::StringA& out, const Json::Value& root, std::string_view path);
// As GetUtf8String, converted to UTF-16 (invalid bytes become U+FFFD).
[[nodiscard]] bool GetWideString(std::wstring& out, const Json::Value& root, std::string_view path);
[[nodiscard]] bool GetWideString(cv::StringW& out, const Json::Value& root, std::string_view path);

bool SetUtf8String(Json::Value& root, std::string_view path, std::string_view value);
bool SetWideString(Json::Value& root, std::string_view path, std::wstring_view value);
bool SetBool(Json::Value& root, std::string_view path, bool value);
bool SetInt32(Json::Value& root, std::string_view path, int32_t value);
bool SetUInt64(Json::Value& root, std::string_view path, uint64_t value);
bool SetInt64(Json::Value& root, std::string_view path, int64_t value);
// A deep copy of `value` (which may itself live inside `root`).
bool SetValue(Json::Value& root, std::string_view path, const Json::Value& value);

// printf-style formatting with no length limit; empty when the format fails.
std::string FormatString(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));
cv::StringA FormatCvString(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));
cv::StringA FormatCvStringV(const char* format, va_list args) __attribute__((format(gnu_printf, 1, 0)));
