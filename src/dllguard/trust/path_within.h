#pragma once
// Whether a file lies within a directory: both made absolute and normalised
// ("\" and "/" alike, "." and ".." resolved), the directory existing, and the
// file's path continuing the directory's component by component (letter case
// ignored, as the file system does).
#include <string>
#include <string_view>

namespace dllguard {

// The absolute form of `path` with "\" separators, without a "\\?\" prefix
// or a trailing separator (except after a drive root); empty on failure.
std::wstring NormalisePath(std::wstring_view path);

bool LiesWithin(std::wstring_view file, std::wstring_view directory);

}  // namespace dllguard
