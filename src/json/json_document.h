#pragma once
// Parsing of the agent's JSON text without exceptions and within a bounded
// stack.
#include <json/value.h>

#include <cstddef>
#include <string_view>

// The parser recurses once per level; this bound keeps a hostile document
// from exhausting the stack of whichever thread parses it. Values may sit at
// most this many levels below the root.
constexpr size_t MaxJsonNesting = 256;

// Parses UTF-8 JSON text into `out` with the plain reader's rules (comments
// allowed and collected, no trailing commas, anything after the first value
// ignored). False, with `out` null, when the text is not JSON or nests
// deeper than MaxJsonNesting; the parser's exceptions never leave here.
[[nodiscard]] bool ParseJsonDocument(std::string_view text, Json::Value& out);
