#pragma once
// name=value argument syntax shared by the commands.
#include <map>
#include <string>
#include <vector>

// Every value given for a name, in order; names compare code unit by code unit.
template <class Char>
using BasicArgumentMap = std::map<std::basic_string<Char>, std::vector<std::basic_string<Char>>>;
using ArgumentMap = BasicArgumentMap<char>;
using WideArgumentMap = BasicArgumentMap<wchar_t>;

// Splits "[/|--|-]name[=value]". The value is only written when the token has
// an "=", so a caller's value survives a bare name.
void ParseArgument(const std::string& token, std::string& name, std::string& value);
void ParseArgument(const std::wstring& token, std::wstring& name, std::wstring& value);

// A token without "=" records its name with one empty value.
ArgumentMap ParseArguments(const std::vector<std::string>& tokens);
WideArgumentMap ParseArguments(const std::vector<std::wstring>& tokens);

// Lookups used by the commands.
template <class Char>
bool HasParam(const BasicArgumentMap<Char>& map, const std::basic_string<Char>& name)
{
    return map.find(name) != map.end();
}

template <class Char>
std::basic_string<Char> GetParam(const BasicArgumentMap<Char>& map, const std::basic_string<Char>& name)
{
    auto it = map.find(name);
    return it == map.end() || it->second.empty() ? std::basic_string<Char>() : it->second.front();
}

template <class Char>
std::vector<std::basic_string<Char>> GetParamValues(const BasicArgumentMap<Char>& map,
                                                    const std::basic_string<Char>& name)
{
    auto it = map.find(name);
    return it == map.end() ? std::vector<std::basic_string<Char>>() : it->second;
}

// Removes every double-quote character.
std::string StripQuotes(std::string text);
std::wstring StripQuotes(std::wstring text);
