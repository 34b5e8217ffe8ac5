#pragma once
// Opens a file only when the handle is the file its path names. A path is a
// root, taken as it is, and the folders and the file below it. Below the
// root nothing may be a link: no folder and not the file is a reparse point
// (a junction, a mount point, a symbolic link), every handle's final path is
// the one intended, and the file has no other name (a hard link). The
// decision is made on open handles, never on an earlier look at the path:
// each folder is held open, so that it can be neither renamed nor removed,
// while the next one is opened, made or looked at.
//
// Nothing here allocates or loads a library once an ExactPath exists: the
// guard opens its files under the loader lock.
#include "base/unique_resource.h"

#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The deepest path below a root, and the longest path, that can be checked.
constexpr size_t kExactPathMaxDepth = 8;
constexpr size_t kExactPathMaxLength = 1024;

class ExactPath {
public:
    ExactPath() = default;
    // `below`: the folders and the file under `root`, separated by "\" or "/".
    // Empty (nothing can be opened) when either is empty, a step is "." or
    // "..", or the path is deeper or longer than can be checked.
    ExactPath(std::wstring_view root, std::wstring_view below);

    bool Empty() const { return levels_.empty(); }
    const std::wstring& Root() const { return root_; }
    // The folders below the root and then the file, each as a full path.
    size_t Depth() const { return levels_.size(); }
    const std::wstring& Level(size_t index) const { return levels_[index]; }
    // The whole path, as text; empty for an empty ExactPath.
    const std::wstring& Full() const;
    // Where each level's part below the root starts, at its separator.
    size_t BelowRoot() const { return belowRoot_; }

private:
    std::wstring root_;
    std::vector<std::wstring> levels_;
    size_t belowRoot_ = 0;
};

// `full` below `root` (compared without regard to case); empty when it does
// not lie below it.
ExactPath ExactPathUnder(std::wstring_view root, std::wstring_view full);
// A file named by its full path, checked from the folder it is in.
ExactPath ExactPathInItsFolder(const std::wstring& file);

enum class ExactPathStatus {
    Exact,         // the handle is the file the path names
    NoPath,        // an empty ExactPath
    OpenFailed,    // the root, a folder or the file could not be opened or made
    Linked,        // its final path is another one: a link on the way
    ReparsePoint,  // a folder below the root, or the file, is a reparse point
    HardLinked,    // the file has more than one name
    WrongKind,     // a file where a folder belongs, or a folder where the file does
};

struct ExactPathOutcome {
    ExactPathStatus status = ExactPathStatus::Exact;
    DWORD error = 0;   // OpenFailed: the system's error
    size_t level = 0;  // the level that failed (Depth() for the root)
    DWORD links = 0;   // HardLinked: how many names the file has

    explicit operator bool() const { return status == ExactPathStatus::Exact; }
};

// A few words for a trace or log line: "a reparse point" and so on.
const wchar_t* ExactPathProblem(ExactPathStatus status);

struct ExactOpen {
    DWORD access = GENERIC_READ | GENERIC_WRITE;
    DWORD share = FILE_SHARE_READ;
    bool createFile = true;       // a missing file is made, never through a link
    bool createFolders = false;   // missing folders are made for the owner alone (OwnerOnlySecurity)
    DWORD newFolderAttributes = 0;  // added to every folder made here
    // Asked when the file cannot be opened (`error`) for the `retry`-th
    // time, counting from 0: true to try again, the folders still held.
    bool (*retryOpen)(void* context, DWORD error, int retry) = nullptr;
    // For tests: called with each path just before it is opened or made.
    void (*beforeOpen)(void* context, const wchar_t* path) = nullptr;
    void* context = nullptr;
};

// Opens the file `path` names, as `how` says; `file` holds it only when the
// outcome is Exact.
ExactPathOutcome OpenExactFile(const ExactPath& path, const ExactOpen& how, UniqueFile& file);

// Opens (and, as `how` says, makes) every level of `path` as a folder.
ExactPathOutcome MakeExactFolders(const ExactPath& path, const ExactOpen& how);
