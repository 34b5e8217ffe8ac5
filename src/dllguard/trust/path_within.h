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

// As LiesWithin, by the names alone: the directory need not exist.
bool PathContinues(std::wstring_view file, std::wstring_view directory);

// A path the loader takes as it stands, without any search or current
// directory, and normalises as NormalisePath does: "C:\..." or
// "\\server\share\...". Not bare or relative names, nor "C:x" (relative to
// the drive's current directory) or "\x" (relative to the current drive);
// nor device paths ("\\?\...", "\\.\..."), which the loader opens without
// resolving "." and "..".
bool IsFullyQualifiedPath(std::wstring_view path);

// The one spelling of a path that may be trusted for its place: a drive
// ("C:\...") or a share ("\\server\share\..."), then components joined by
// single "\", none empty, "." or "..", none ending in "." or " ", none
// holding ":" (a stream), "/", a wildcard or a control character; nothing the
// system's own normalisation would change; and, where a component holds a
// "~", no short (8.3) name (asked of the file system). Any other spelling
// names a file only once the system has resolved it.
bool IsCanonicalPath(std::wstring_view path);

// The path with its short (8.3) components in their long form when it
// contains a "~", the path itself otherwise; empty when the long form
// cannot be found.
std::wstring LongPathForm(const std::wstring& path);

}  // namespace dllguard
