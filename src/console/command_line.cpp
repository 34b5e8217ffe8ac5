#include "console/command_line.h"

#include <algorithm>

std::vector<std::string> SplitCommandLine(const std::string& line)
{
    std::vector<std::string> tokens;
    if (line.empty())
        return tokens;

    size_t quotesAfter = static_cast<size_t>(std::count(line.begin(), line.end(), '"'));
    size_t pieceStart = 0;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"') {
            --quotesAfter;
        } else if (line[i] == ' ' && quotesAfter % 2 == 0) {
            // Every piece before a separator is a token, even an empty one.
            tokens.push_back(line.substr(pieceStart, i - pieceStart));
            pieceStart = i + 1;
        }
    }
    // The piece after the last separator (or the whole line when there is
    // none) only counts when it is not empty.
    if (pieceStart < line.size())
        tokens.push_back(line.substr(pieceStart));

    for (auto& token : tokens) {
        if (token.size() >= 3 && token.front() == '"' && token.back() == '"')
            token = token.substr(1, token.size() - 2);
    }
    return tokens;
}
