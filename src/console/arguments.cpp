#include "console/arguments.h"

#include <algorithm>

namespace {

template <class Char>
void ParseArgumentT(const std::basic_string<Char>& token, std::basic_string<Char>& name,
                    std::basic_string<Char>& value)
{
    // Prefix alternatives in the order "/", "--", "-".
    size_t start = 0;
    if (token.size() >= 1 && token[0] == Char('/'))
        start = 1;
    else if (token.size() >= 2 && token[0] == Char('-') && token[1] == Char('-'))
        start = 2;
    else if (token.size() >= 1 && token[0] == Char('-'))
        start = 1;

    const size_t equals = token.find(Char('='), start);
    if (equals == std::basic_string<Char>::npos) {
        name = token.substr(start);
        return;
    }
    name = token.substr(start, equals - start);
    value = token.substr(equals + 1);
}

template <class Char>
BasicArgumentMap<Char> ParseArgumentsT(const std::vector<std::basic_string<Char>>& tokens)
{
    BasicArgumentMap<Char> map;
    for (const auto& token : tokens) {
        std::basic_string<Char> name, value;
        ParseArgumentT(token, name, value);
        map[name].push_back(std::move(value));
    }
    return map;
}

template <class Char>
std::basic_string<Char> StripQuotesT(std::basic_string<Char> text)
{
    text.erase(std::remove(text.begin(), text.end(), Char('"')), text.end());
    return text;
}

}  // namespace

void ParseArgument(const std::string& token, std::string& name, std::string& value)
{
    ParseArgumentT(token, name, value);
}

void ParseArgument(const std::wstring& token, std::wstring& name, std::wstring& value)
{
    ParseArgumentT(token, name, value);
}

ArgumentMap ParseArguments(const std::vector<std::string>& tokens) { return ParseArgumentsT(tokens); }

WideArgumentMap ParseArguments(const std::vector<std::wstring>& tokens) { return ParseArgumentsT(tokens); }

std::string StripQuotes(std::string text) { return StripQuotesT(std::move(text)); }

std::wstring StripQuotes(std::wstring text) { return StripQuotesT(std::move(text)); }
