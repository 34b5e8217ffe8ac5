#pragma once
#include <string>
#include <vector>

// Splits an interactive line into tokens. A space separates tokens only when
// an even number of double quotes follows it on the line, so quoted spaces
// stay inside their token; tabs never split. Tokens of three or more bytes
// wrapped in double quotes lose that outer pair.
std::vector<std::string> SplitCommandLine(const std::string& line);
