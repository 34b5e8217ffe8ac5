#pragma once
// Slash paths naming a node below a JSON value.
//
// Grammar: one leading "/" or "\" is skipped; then segments, each a name
// (anything but "/", "\", "[", possibly empty) optionally followed by an index
// "[digits]". A segment without an index ends at a separator (consumed) or at
// the end; one with an index ends after its "]" (a separator right after it
// is consumed too, so "a[0]/b" is "a[0]" then "b"). The index is read like
// atoi ("[]" is 0, a negative number means no index). Invalid: an empty
// path, an empty name without an index ("a//b"), a "[" without "]", and more
// than MaxPathSegments segments. A lone separator names the root itself.
#include <json/value.h>

#include <cstddef>
#include <string_view>

enum class PathMode {
    // Every step must exist: names in objects, indexes valid in arrays; a
    // final null node counts as not found.
    Read,
    // Missing members and elements are created null; a node that is not an
    // object gets replaced by an empty object when a name is taken from it;
    // a null node becomes an array when indexed. The final node is returned
    // even when null. Fails only for an invalid path, or for an index into
    // an object, string, number or boolean (which the JSON library refuses).
    Create,
};

// Deep paths are refused so that no single path builds a document deeper
// than the parser accepts (MaxJsonNesting).
constexpr size_t MaxPathSegments = 256;

bool IsValidPath(std::string_view path);

// Null when not found (or `root` is null).
Json::Value* FindPath(Json::Value* root, std::string_view path, PathMode mode);
// Read mode over a constant value.
const Json::Value* FindPath(const Json::Value* root, std::string_view path);
// The path as UTF-16, always in create mode.
Json::Value* FindPath(Json::Value* root, std::wstring_view path);
